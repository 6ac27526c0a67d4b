#include "daily_logs.h"

#include <algorithm>
#include <system_error>

#include "stamp.h"

namespace vellomar::report {
namespace {

constexpr std::string_view kPrefix = "PING_";
constexpr std::string_view kSuffix = ".txt";

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// Name order regardless of case (ping_20150128.TXT between PING_20150127.txt
// and PING_20150129.txt); names that differ only in case in byte order.
bool NameBefore(const std::string& a, const std::string& b)
{
    const auto lowerBefore = [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lowerBefore)) {
        return true;
    }
    return !std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lowerBefore) && a < b;
}

}  // namespace

bool IsDailyLogName(std::string_view name)
{
    return name.size() >= kPrefix.size() + kSuffix.size() &&
           EqualIgnoringCase(name.substr(0, kPrefix.size()), kPrefix) &&
           EqualIgnoringCase(name.substr(name.size() - kSuffix.size()), kSuffix);
}

std::optional<std::vector<std::string>> ListDailyLogs(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::directory_iterator entry(folder, error);
    std::vector<std::string> names;
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::string name = entry->path().filename().string();
        std::error_code typeError;  // an entry gone since the listing is simply not a log
        if (IsDailyLogName(name) && entry->is_regular_file(typeError)) {
            names.push_back(std::move(name));
        }
    }
    if (error) {
        return std::nullopt;
    }
    // A listing comes in whatever order the file system keeps; outages run on
    // from one log into the next, so the logs must be read in date order,
    // which for PING_yyyymmdd.txt is the order of the names.
    std::sort(names.begin(), names.end(), NameBefore);
    return names;
}

std::string DateFromLogName(std::string_view name)
{
    constexpr std::size_t kDigits = 8;
    if (name.size() != kPrefix.size() + kDigits + kSuffix.size() || !IsDailyLogName(name)) {
        return {};
    }
    const std::string_view digits = name.substr(kPrefix.size(), kDigits);
    std::string date;
    date.append(digits.substr(0, 4)).append("/").append(digits.substr(4, 2)).append("/").append(digits.substr(6, 2));
    return ParseDate(date.data()) ? date : std::string();
}

}  // namespace vellomar::report
