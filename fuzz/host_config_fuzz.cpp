// Arbitrary bytes as Vellomar.ini: the reader must end with a host line, no
// host line or a failure, and must stop reading at the end of the first host line.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>

#include "host_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using vellomar::HostConfig;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::istringstream in(bytes);
    const HostConfig config = vellomar::ReadHostConfig(in);
    const std::streamoff consumed = in.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);

    if (consumed < 0 || static_cast<size_t>(consumed) > size)
        std::abort();
    // Reading stops only at a line end or at the end of the file...
    if (static_cast<size_t>(consumed) < size) {
        char last = consumed > 0 ? bytes[consumed - 1] : '\0';
        if (config.outcome == HostConfig::Outcome::NoHostLine || (last != '\n' && last != '\r'))
            std::abort();
    }
    // ...and what it read decides the outcome alone.
    std::istringstream prefix(bytes.substr(0, consumed));
    const auto fields = [](const HostConfig& c) { return std::tie(c.outcome, c.hostName, c.address); };
    if (fields(vellomar::ReadHostConfig(prefix)) != fields(config))
        std::abort();
    if (config.outcome == HostConfig::Outcome::HostLine &&
        (config.hostName.find_first_of("\r\n") != std::string::npos ||
         config.address.find_first_of("\r\n") != std::string::npos))
        std::abort();
    // A line the installers are told is good reads back as the same host.
    if (const auto checked = vellomar::CheckHostLine(bytes)) {
        std::istringstream written(*checked);
        if (config.outcome != HostConfig::Outcome::HostLine ||
            fields(vellomar::ReadHostConfig(written)) != fields(config))
            std::abort();
    }
    return 0;
}
