#include "temp_folder.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vellomar::testing {

namespace fs = std::filesystem;

fs::path MakeScratchFolder(const std::string& prefix)
{
    // create_directory fails on a name that exists, as mkdtemp does; the
    // folder is then made the test's alone, as mkdtemp's is.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / (prefix + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            fs::permissions(candidate, fs::perms::owner_all);
            return candidate;
        }
    }
    throw std::runtime_error("no scratch folder could be made");
}

int OpenHandleCount()
{
#ifdef _WIN32
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
#else
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
#endif
}

TempFolder::TempFolder() : path_(MakeScratchFolder("vellomar-test-"))
{}

void RemoveAll(const fs::path& path)
{
    // Windows will not remove a read-only file, nor Linux a file in a folder
    // that may not be written: a test may have left either.
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto entry = fs::recursive_directory_iterator(path, ignored); entry != fs::recursive_directory_iterator();
         entry.increment(ignored))
        fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow,
                        ignored);
    fs::remove_all(path, ignored);
}

TempFolder::~TempFolder()
{
    RemoveAll(path_);
}

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path PathFromUtf8(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace vellomar::testing
