// The file operations the program's logs and report are made of, with the
// guarantees they rely on (whole writes, flushes that reach the disk, a
// replace that is all or nothing). Paths are std::filesystem::path, wide on
// Windows, so that a folder name outside the ANSI code page still works.
// Every failure says which file and the system's reason:
// "ERR_list.csv.tmp: No space left on device (errno 28)".
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "outcome.h"
#include "owned.h"

namespace vellomar::platform {

// One open file, closed on every way out.
class File {
public:
    // Opened for appending only; created when absent.
    static Outcome<File> OpenForAppend(const std::filesystem::path& path);
    static Outcome<File> OpenForReading(const std::filesystem::path& path);
    // Opened for writing, created when absent and emptied when present.
    static Outcome<File> CreateEmpty(const std::filesystem::path& path);
    // The process's standard output, as a file of its own.
    static Outcome<File> StandardOutput();

    File() = default;

    bool IsOpen() const { return native_.IsOpen(); }

    // Writes all of bytes, going on after partial writes; fails when the
    // system refused part of them (how much was written is then unknown).
    Done WriteAll(std::string_view bytes);
    // Up to size bytes into buffer: their count, 0 at the end.
    Outcome<std::size_t> Read(char* buffer, std::size_t size);
    // Starts what was written so far on its way to the disk and returns at
    // once, so that a later Flush has less to wait for. Only a hint: some
    // systems have no such thing.
    void StartFlush();
    // Waits until what was written is on the disk.
    Done Flush();
    Outcome<std::uint64_t> Size() const;
    // Cuts the file back to size bytes.
    Done Truncate(std::uint64_t size);
    // Closes now; fails when the close reported a delayed write error.
    Done Close() { return native_.Close(name_); }

private:
    File(OwnedFile native, std::string name) : native_(std::move(native)), name_(std::move(name)) {}
    static Outcome<File> Opened(OwnedFile::Native native, const std::filesystem::path& path);
    Failure Failed() const { return SystemFailure(name_); }

    OwnedFile native_;
    std::string name_;  // the file's own name, UTF-8, for the reasons it gives
};

// Puts source in target's place in one step and makes the change durable;
// target is replaced when it exists. When the move fails both stay as they
// were; when only the flush of the folder fails, the move is made but may not
// survive a power cut, and that is a failure too.
Done ReplaceByMoving(const std::filesystem::path& source, const std::filesystem::path& target);

// The running executable, as the system names it (any bytes on Linux); empty
// when the system will not say.
std::filesystem::path ProgramPath();
// The folder that holds it: where the program keeps its files, and its ping
// helper. The working folder when the executable's own path is unknown.
std::filesystem::path ProgramFolder();

// A file or folder's last name as UTF-8 text, whatever the system's code page.
std::string NameOf(const std::filesystem::path& path);

// What tests put between the program and the disk, to count the flushes that
// make records durable or to refuse a flush or a rename as a failing disk
// would. Each is asked, with the file's name (the target's for a rename),
// before the system does the work; false makes it fail with an I/O error.
struct DiskChecks {
    std::function<bool(const std::string& name)> flush;
    std::function<bool(const std::string& target)> rename;
};
// In force until the next call; empty checks let everything through.
void CheckDiskCalls(DiskChecks checks);

namespace disk {
// Whether the checks in force let the call go on to the system; a refused
// call fails with the system's I/O error.
bool MayFlush(const std::string& name);
bool MayRename(const std::string& target);
}  // namespace disk

}  // namespace vellomar::platform
