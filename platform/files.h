// The file operations the program's logs and report are made of, with the
// guarantees they rely on (whole writes, flushes that reach the disk, a
// replace that is all or nothing). Paths are std::filesystem::path, wide on
// Windows, so that a folder name outside the ANSI code page still works.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

namespace vellomar::platform {

// One open file, closed on every way out.
class File {
public:
    // Opened for appending only; created when absent.
    static File OpenForAppend(const std::filesystem::path& path);
    static File OpenForReading(const std::filesystem::path& path);
    // Opened for writing, created when absent and emptied when present.
    static File CreateEmpty(const std::filesystem::path& path);
    // The process's standard output, as a file of its own.
    static File StandardOutput();

    File() = default;
    File(File&& other) noexcept : native_(std::exchange(other.native_, kNone)) {}
    File& operator=(File&& other) noexcept
    {
        if (this != &other) {
            Close();
            native_ = std::exchange(other.native_, kNone);
        }
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }

    bool IsOpen() const { return native_ != kNone; }

    // Writes all of bytes, going on after partial writes; false when the system
    // refused part of them (how much was written is then unknown to the caller).
    bool WriteAll(std::string_view bytes);
    // Up to size bytes into buffer: their count, 0 at the end, -1 on an error.
    std::ptrdiff_t Read(char* buffer, size_t size);
    // Starts what was written so far on its way to the disk and returns at
    // once, so that a later Flush has less to wait for. Only a hint: some
    // systems have no such thing.
    void StartFlush();
    // Waits until what was written is on the disk.
    bool Flush();
    std::optional<uint64_t> Size() const;
    // Cuts the file back to size bytes.
    bool Truncate(uint64_t size);
    // Closes now; false when the close reported a delayed write error.
    bool Close();

private:
    static constexpr intptr_t kNone = -1;
    explicit File(intptr_t native) : native_(native) {}

    intptr_t native_ = kNone;  // a descriptor or a handle
};

// Puts source in target's place in one step and makes the change durable;
// target is replaced when it exists. On failure both stay as they were.
bool ReplaceByMoving(const std::filesystem::path& source, const std::filesystem::path& target);

// The running executable, as the system names it (any bytes on Linux); empty
// when the system will not say.
std::filesystem::path ProgramPath();
// The folder that holds it: where the program keeps its files, and its ping
// helper. The working folder when the executable's own path is unknown.
std::filesystem::path ProgramFolder();

}  // namespace vellomar::platform
