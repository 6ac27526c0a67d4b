// A probe window without a screen, remembering what a cycle did to it.
#pragma once

#include <string>
#include <vector>

#include "probe_log.h"

namespace vellomar::testing {

class FakeWindow : public ProbeWindow {
public:
    std::string address = "127.0.0.1";
    std::vector<std::string> list;
    std::vector<std::string> events;
    std::string outFile;

    void RunPendingEvents() override { events.push_back("events"); }
    std::string ProbeAddress() const override { return address; }
    void ShowOutFile(const std::string& path) override
    {
        outFile = path;
        events.push_back("label");
    }
    int ListCount() const override { return static_cast<int>(list.size()); }
    void ListClear() override
    {
        list.clear();
        events.push_back("clear");
    }
    void ListAddItem(const std::string& line) override
    {
        list.push_back(line);
        events.push_back("add");
    }
};

}  // namespace vellomar::testing
