// The monitor without its window, for trying the end-to-end script: reads
// Vellomar.ini beside itself, runs two probe cycles into the daily log there
// and exits. What it proves is the file and probe layers in a real program
// folder; the window's own part is vellomar.exe's test.
#include <cstdio>

#include "files.h"
#include "host_config.h"
#include "probe_log.h"

int main()
{
    const std::filesystem::path folder = vellomar::platform::ProgramFolder();
    const vellomar::HostConfig config = vellomar::ReadHostConfig(folder / "Vellomar.ini");
    if (config.outcome != vellomar::HostConfig::Outcome::HostLine) {
        std::fprintf(stderr, "no host line in Vellomar.ini\n");
        return 1;
    }
    vellomar::ProbeLog log(folder);
    log.PingOnce(config.address);
    log.PingOnce(config.address);
    return 0;
}
