// A fresh folder under the system's temporary folder that no other user can have made or linked
// (mkdtemp's rules on every system), removed with everything in it when the test is over.
#pragma once

#include <filesystem>
#include <string>

namespace vellomar::testing {

// Removes path and everything in it, whatever permissions a test left on them.
void RemoveAll(const std::filesystem::path& path);

class TempFolder {
public:
    TempFolder();
    ~TempFolder() { RemoveAll(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);

// A path as the program shows it: UTF-8.
std::string Utf8(const std::filesystem::path& path);
// A name given in UTF-8 in the source, as a path.
std::filesystem::path PathFromUtf8(const std::string& utf8);

// Files, sockets and other kernel objects the process holds open now.
int OpenHandleCount();

}  // namespace vellomar::testing
