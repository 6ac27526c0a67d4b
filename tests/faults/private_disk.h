// Small file systems of the test's own, in a mount namespace nobody else sees,
// so that a test can fill a disk or make it read-only under the program.
#pragma once

#include <filesystem>
#include <string>

namespace vellomar::testing {

// Moves the process into a fresh mount namespace whose mounts do not reach the
// rest of the machine. Call from main() before any thread starts.
bool EnterPrivateMounts();

class PrivateDisk {
public:
    // Mounts a tmpfs of the given size (e.g. "64k") on folder, which must
    // exist, or a file system of another type (ramfs ignores the size).
    PrivateDisk(std::filesystem::path folder, const std::string& size, std::string type = "tmpfs");
    ~PrivateDisk();
    PrivateDisk(const PrivateDisk&) = delete;
    PrivateDisk& operator=(const PrivateDisk&) = delete;

    bool Mounted() const { return mounted_; }
    bool SetReadOnly(bool readOnly);
    // Fills every free byte with a file of its own; false if it could not.
    bool Fill();
    // Frees what Fill took.
    void Free();

private:
    std::filesystem::path folder_;
    std::string size_;
    std::string type_;
    bool mounted_ = false;
};

}  // namespace vellomar::testing
