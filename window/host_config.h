// Reads Vellomar.ini, the file that names the one watched host.
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <string_view>

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

// Text from the file as UTF-8: kept when it already is UTF-8, otherwise read as
// the Central European code page Windows-1250 that older files were written in.
std::string IniTextToUtf8(std::string_view bytes);

}  // namespace vellomar
