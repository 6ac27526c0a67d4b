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

TempFolder::TempFolder()
{
    // create_directory fails on a name that exists, as mkdtemp does; the
    // folder is then made the test's alone, as mkdtemp's is.
    std::random_device random;
    const auto fresh = [&] { return fs::temp_directory_path() / ("vellomar-test-" + std::to_string(random())); };
    for (int attempt = 0; !fs::create_directory(path_ = fresh()); ++attempt)
        if (attempt == 100)
            throw std::runtime_error("no scratch folder could be made");
    fs::permissions(path_, fs::perms::owner_all);
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

std::string ReadBytes(const fs::path& file)
{
    return {std::istreambuf_iterator<char>(std::ifstream(file, std::ios::binary).rdbuf()), {}};
}

void WriteBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

fs::path PathFromUtf8(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace vellomar::testing
