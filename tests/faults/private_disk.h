// Small file systems of the test's own, in a mount namespace nobody else sees,
// so that a test can fill a disk or make it read-only under the program.
#pragma once

#include <filesystem>
#include <string>

namespace vellomar::testing {

// A fresh mount namespace whose mounts reach no further (for an ordinary user, inside a user namespace of its
// own); call from main() before any thread starts.
bool EnterPrivateMounts();

class PrivateDisk {
public:
    // Mounts a file system of the type and size ("64k"; ramfs ignores it) on folder, made if missing.
    PrivateDisk(std::filesystem::path folder, const std::string& size, std::string type = "tmpfs");
    ~PrivateDisk();
    PrivateDisk(const PrivateDisk&) = delete;
    PrivateDisk& operator=(const PrivateDisk&) = delete;

    bool Mounted() const { return mounted_; }
    bool SetReadOnly(bool readOnly);
    // Fills every free byte with a file of its own; false if it could not. Free gives them back.
    bool Fill();
    void Free() { std::filesystem::remove(Filler()); }

private:
    std::filesystem::path Filler() const { return folder_ / "filler.bin"; }
    std::filesystem::path folder_;
    std::string options_, type_;
    bool mounted_ = false;
};

}  // namespace vellomar::testing
