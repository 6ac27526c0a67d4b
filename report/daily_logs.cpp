#include "daily_logs.h"

#include <algorithm>
#include <charconv>

#include "stamp.h"
#include "stamp_text.h"

namespace vellomar::report {
namespace {

constexpr std::string_view kPrefix = daily_log::kNamePrefix;
constexpr std::string_view kSuffix = daily_log::kNameSuffix;

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

}  // namespace

bool NameBefore(std::string_view a, std::string_view b)
{
    const auto lowerBefore = [](char x, char y) {
        return static_cast<unsigned char>(AsciiLower(x)) < static_cast<unsigned char>(AsciiLower(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lowerBefore)) {
        return true;
    }
    return !std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lowerBefore) && a < b;
}

bool IsDailyLogName(std::string_view name)
{
    return name.size() >= kPrefix.size() + kSuffix.size() &&
           EqualIgnoringCase(name.substr(0, kPrefix.size()), kPrefix) &&
           EqualIgnoringCase(name.substr(name.size() - kSuffix.size()), kSuffix);
}

platform::Outcome<std::vector<FolderEntry>> ListDailyLogs(const std::filesystem::path& folder)
{
    auto logs = ListFiles(folder, IsDailyLogName);
    if (logs) {
        // A listing comes in whatever order the file system keeps; outages run
        // on from one log into the next, so the logs must be read in date
        // order, which for PING_yyyymmdd.txt is the order of the names.
        std::sort(logs->begin(), logs->end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return NameBefore(a.name, b.name); });
    }
    return logs;
}

std::string DateFromLogName(std::string_view name)
{
    constexpr std::size_t kDigits = 8;
    if (name.size() != kPrefix.size() + kDigits + kSuffix.size() || !IsDailyLogName(name)) {
        return {};
    }
    const std::string_view digits = name.substr(kPrefix.size(), kDigits);
    unsigned number = 0;
    if (std::from_chars(digits.data(), digits.data() + kDigits, number).ptr != digits.data() + kDigits) {
        return {};
    }
    const std::string date = DateText(static_cast<int>(number / 10000), static_cast<int>(number / 100 % 100),
                                      static_cast<int>(number % 100));
    return ParseDate(date.data()) ? date : std::string();
}

}  // namespace vellomar::report
