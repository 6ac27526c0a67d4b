#include "companion_log.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "daily_log_format.h"
#include "daily_logs.h"

namespace vellomar::report {
namespace {

bool SkipDigits(const char*& at, const char* end)
{
    const char* const first = at;
    while (at != end && *at >= '0' && *at <= '9') {
        ++at;
    }
    return at != first;
}

// Four numbers 0-255 of one to three digits, joined by dots.
bool IsDottedQuad(std::string_view text)
{
    const char* at = text.data();
    const char* const end = at + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at == end || *at++ != '.')) {
            return false;
        }
        unsigned value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc {} || next - at > 3 || value > 255) {
            return false;
        }
        at = next;
    }
    return at == end;
}

}  // namespace

bool IsCompanionLogName(std::string_view name)
{
    constexpr std::string_view prefix = companion_log::kNamePrefix, suffix = companion_log::kNameSuffix;
    const auto equalIgnoringCase = [](std::string_view text, std::string_view upper) {
        return std::equal(text.begin(), text.end(), upper.begin(), upper.end(), [](char a, char b) {
            return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) ==
                   (b >= 'a' && b <= 'z' ? static_cast<char>(b - 'a' + 'A') : b);
        });
    };
    return name.size() >= prefix.size() + suffix.size() && equalIgnoringCase(name.substr(0, prefix.size()), prefix) &&
           equalIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
}

std::string CompanionNameOf(std::string_view logName)
{
    const std::string date = DateFromLogName(logName);
    if (date.empty()) {
        return {};
    }
    std::string name(companion_log::kNamePrefix);
    name.append(date, 0, 4).append(date, 5, 2).append(date, 8, 2);
    return name.append(companion_log::kNameSuffix);
}

std::optional<std::int64_t> DayOfCompanionName(std::string_view name)
{
    if (!IsCompanionLogName(name)) {
        return std::nullopt;
    }
    // The daily log of that day, by the same rule its own name is read.
    const std::string logName =
        std::string(daily_log::kNamePrefix) +
        std::string(name.substr(companion_log::kNamePrefix.size(),
                                name.size() - companion_log::kNamePrefix.size() - companion_log::kNameSuffix.size())) +
        std::string(daily_log::kNameSuffix);
    const std::string date = DateFromLogName(logName);
    return date.empty() ? std::nullopt : ParseDate(date.data());
}

std::optional<CompanionLine> ParseCompanionLine(std::string_view line, StampParser& stamps)
{
    if (line.size() <= kStampLength || line[kStampLength] != ',') {
        return std::nullopt;
    }
    const char* at = line.data() + kStampLength + 1;
    const char* const end = line.data() + line.size();
    if (!SkipDigits(at, end) || at == end || *at != ',') {
        return std::nullopt;  // the round trip
    }
    std::int32_t status = 0;
    const auto [statusEnd, error] = std::from_chars(++at, end, status);
    if (error != std::errc {} || statusEnd == end || *statusEnd != ',') {
        return std::nullopt;
    }
    const std::string_view hop(statusEnd + 1, static_cast<std::size_t>(end - statusEnd - 1));
    if (!hop.empty() && !IsDottedQuad(hop)) {
        return std::nullopt;
    }
    const auto seconds = stamps.Parse(line.data());
    if (!seconds) {
        return std::nullopt;
    }
    return CompanionLine {*seconds, companion_log::HopAnswerOf(status, !hop.empty())};
}

std::vector<PlaceCount> CountTicks(const std::vector<TimedOutTick>& ticks, std::size_t outages)
{
    std::vector<PlaceCount> places(outages);
    for (const TimedOutTick& tick : ticks) {
        ++places[tick.outage].ticks;
    }
    return places;
}

void JoinCompanionLog(LineReader& reader, const std::filesystem::path& file, std::vector<TimedOutTick> ticks,
                      std::vector<PlaceCount>& places)
{
    std::stable_sort(ticks.begin(), ticks.end(),
                     [](const TimedOutTick& a, const TimedOutTick& b) { return a.seconds < b.seconds; });
    std::vector<bool> matched(ticks.size());
    std::vector<PlaceCount> joined = places;
    StampParser stamps;
    // Most lines stand beside records that did not time out: their stamp
    // alone tells, and the rest of them is not read. The lines come in the
    // order of their stamps, as the ticks now do, unless the clock was set
    // back: the search goes on from where the last one ended.
    auto from = ticks.begin();
    StampSeconds previous = INT64_MIN;
    const auto unmatchedTick = [&](std::string_view line) {
        const auto seconds = line.size() > kStampLength ? stamps.Parse(line.data()) : std::nullopt;
        if (!seconds) {
            return ticks.end();
        }
        if (*seconds < previous) {
            from = ticks.begin();
        }
        previous = *seconds;
        while (from != ticks.end() && from->seconds < *seconds) {
            ++from;
        }
        auto at = from;
        while (at != ticks.end() && at->seconds == *seconds && matched[static_cast<std::size_t>(at - ticks.begin())]) {
            ++at;
        }
        return at != ticks.end() && at->seconds == *seconds ? at : ticks.end();
    };
    const platform::Done read = reader.ReadFile(file, [&](std::string_view line) {
        const auto tick = unmatchedTick(line);
        const auto record = tick == ticks.end() ? std::nullopt : ParseCompanionLine(line, stamps);
        if (record && record->answer != companion_log::HopAnswer::Unknown) {
            matched[static_cast<std::size_t>(tick - ticks.begin())] = true;
            PlaceCount& place = joined[tick->outage];
            ++(record->answer == companion_log::HopAnswer::Answered ? place.answered : place.silent);
        }
        return LineReader::kEveryLine;
    });
    if (read) {
        places = std::move(joined);
    }
}

}  // namespace vellomar::report
