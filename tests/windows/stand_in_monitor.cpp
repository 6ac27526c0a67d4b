// The monitor without its window, for trying the end-to-end script: reads
// Vellomar.ini beside itself, runs two probe cycles into the daily log there
// and exits. What it proves is the file and probe layers in a real program
// folder; the window's own part is vellomar.exe's test.
#include <cstdio>
#include <string>
#include <vector>

#include "files.h"
#include "host_config.h"
#include "probe_log.h"

namespace {

class HeadlessWindow : public vellomar::ProbeWindow {
public:
    explicit HeadlessWindow(std::string address) : address_(std::move(address)) {}
    void RunPendingEvents() override {}
    std::string ProbeAddress() const override { return address_; }
    void ShowOutFile(const std::string&) override {}
    int ListCount() const override { return static_cast<int>(list_.size()); }
    void ListClear() override { list_.clear(); }
    void ListAddItem(const std::string& line) override { list_.push_back(line); }

private:
    std::string address_;
    std::vector<std::string> list_;
};

}  // namespace

int main()
{
    const std::filesystem::path folder = vellomar::platform::ProgramFolder();
    const vellomar::HostConfig config = vellomar::ReadHostConfig(folder / "Vellomar.ini");
    if (config.outcome != vellomar::HostConfig::Outcome::HostLine) {
        std::fprintf(stderr, "no host line in Vellomar.ini\n");
        return 1;
    }
    HeadlessWindow window(config.address);
    vellomar::ProbeLog log(folder, window);
    log.PingOnce();
    log.PingOnce();
    return 0;
}
