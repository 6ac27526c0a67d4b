// A window face without a screen for the window logic's tests: it keeps the captions and List1, writes down
// timer starts and stops, message boxes and list changes in order, keeps what the tray was told, and queues
// posted closures until the test pumps them as an event loop would.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "window_face.h"

namespace vellomar::testing {

class FakeFace : public WindowFace {
public:
    std::map<Label, std::string> captions {
        {Label::HostName, "Host"}, {Label::IPAddress, "IP"}, {Label::OutFile, "lblOutFile"}};
    std::vector<std::string> list, trace;
    bool enabled = false;
    int interval = 0;
    std::optional<TrayColour> colourAtMessage;  // the tray's colour when a message box last opened
    std::vector<TrayState> trayStates;
    std::vector<std::pair<std::string, std::string>> notices;  // title, text

    std::string Caption(Label label) const override { return captions.at(label); }
    void SetCaption(Label label, const std::string& caption) override { captions[label] = caption; }
    int ListCount() const override { return static_cast<int>(list.size()); }
    void ListClear() override { list.clear(), trace.push_back("clear"); }
    void ListAddItem(const std::string& item) override { list.push_back(item), trace.push_back(item); }
    void SetTimerInterval(int milliseconds) override { interval = milliseconds; }
    void SetTimerEnabled(bool on) override { enabled = on, trace.push_back(on ? "started" : "stopped"); }
    void ShowMessageBox(const std::string& text, const std::string& title) override
    {
        trace.push_back(title + ": " + text);
        colourAtMessage = trayStates.back().colour;
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
