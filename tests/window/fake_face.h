// A window face without a screen for the window logic's tests: it keeps the captions,
// what the tray was told, and queues posted closures until the test pumps them
// as an event loop would.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "window_face.h"

namespace vellomar::testing {

class FakeFace : public WindowFace {
public:
    std::map<Label, std::string> captions {
        {Label::HostName, "Host"}, {Label::IPAddress, "IP"}, {Label::OutFile, "lblOutFile"}};
    int listCount = 0;
    std::function<void()> whileMessageBoxOpen;
    std::vector<TrayState> trayStates;
    std::vector<std::pair<std::string, std::string>> notices;  // title, text

    std::string Caption(Label label) const override { return captions.at(label); }
    void SetCaption(Label label, const std::string& caption) override { captions[label] = caption; }
    int ListCount() const override { return listCount; }
    void ListClear() override { listCount = 0; }
    void ListAddItem(const std::string&) override { ++listCount; }
    void SetTimerInterval(int) override {}
    void SetTimerEnabled(bool) override {}
    void ShowMessageBox(const std::string&, const std::string&) override
    {
        if (whileMessageBoxOpen)
            std::exchange(whileMessageBoxOpen, nullptr)();
    }
    void ShowTrayState(const TrayState& state) override { trayStates.push_back(state); }
    void Notify(const std::string& title, const std::string& text) override { notices.emplace_back(title, text); }
    void Post(std::function<void()> closure) override
    {
        {
            std::lock_guard lock(mutex_);
            posted_.push_back(std::move(closure));
        }
        arrived_.notify_one();
    }

    // Runs posted closures one at a time until done() holds; false when none
    // arrives for ten seconds.
    bool PumpUntil(const std::function<bool()>& done)
    {
        while (!done()) {
            std::function<void()> next;
            {
                std::unique_lock lock(mutex_);
                if (!arrived_.wait_for(lock, std::chrono::seconds(10), [this] { return !posted_.empty(); }))
                    return false;
                next = std::move(posted_.front());
                posted_.pop_front();
            }
            next();
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace vellomar::testing
