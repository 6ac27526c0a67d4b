// Reads Vellomar.ini, the file that names the one watched host.
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <string_view>

#include "outcome.h"

namespace vellomar {

struct HostConfig {
    enum class Outcome {
        HostLine,    // hostName and address were read
        NoHostLine,  // the file holds only comments and short lines
        Failed,      // missing, unreadable, not a file, or the host line has no comma
    };
    Outcome outcome = Outcome::Failed;
    std::string hostName;  // UTF-8
    std::string address;   // UTF-8
};

HostConfig ReadHostConfig(const std::filesystem::path& file);
HostConfig ReadHostConfig(std::istream& in);

// A host line an installer is about to write, checked as the monitor reads
// the file, with a name and an address the probe takes as meant: four decimal
// numbers 0-255 with dots (a leading zero would be read as octal). The line
// as it will be written, "NAME, ADDRESS", or why it is refused.
platform::Outcome<std::string> CheckHostLine(std::string_view line);

// Text from the file as UTF-8: kept when it already is UTF-8, otherwise read as
// the Central European code page Windows-1250 that older files were written in.
std::string IniTextToUtf8(std::string_view bytes);

}  // namespace vellomar
