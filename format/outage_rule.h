// Outages: runs of timed-out probe records, found alike by the report, its
// page and the tray, from each record's stamp as written and as seconds.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "daily_log_format.h"

namespace vellomar::daily_log {

// Timed-out records further apart than this lie on either side of time when
// the monitor was not running, and so belong to two outages.
inline constexpr StampSeconds kMaxGapWithinOutage = 60;

// Whether a timed-out record stamped at seconds still belongs to the outage
// whose last record was stamped at last.
inline bool ContinuesOutage(StampSeconds last, StampSeconds seconds)
{
    const StampSeconds gap = seconds - last;
    return gap <= kMaxGapWithinOutage && gap >= -kMaxGapWithinOutage;
}

// "hh:mm:ss", the hours going on past 24 ("26:00:10"); a negative span (the
// clock was set back) keeps its sign: "-00:00:20".
inline std::string FormatDuration(std::int64_t seconds)
{
    const bool negative = seconds < 0;
    // Unsigned negation, so that even the most negative value has a magnitude.
    const auto span = negative ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%s%02llu:%02llu:%02llu", negative ? "-" : "",
                  static_cast<unsigned long long>(span / 3600), static_cast<unsigned long long>(span / 60 % 60),
                  static_cast<unsigned long long>(span % 60));
    return text;
}

// A stamp kept after the line it came from is gone.
struct KeptStamp {
    std::array<char, kStampLength> text {};
    StampSeconds seconds = 0;

    // stamp holds kStampLength characters.
    static KeptStamp Of(std::string_view stamp, StampSeconds seconds)
    {
        KeptStamp kept;
        std::memcpy(kept.text.data(), stamp.data(), kept.text.size());
        kept.seconds = seconds;
        return kept;
    }
    std::string_view Text() const { return {text.data(), text.size()}; }
};

class OutageTracker {
public:
    // onEnd is given the first and the last timed-out record of every outage
    // as it ends.
    using OnEnd = std::function<void(const KeptStamp& first, const KeptStamp& last)>;
    explicit OutageTracker(OnEnd onEnd) : onEnd_(std::move(onEnd)) {}

    // One probe record, in the order written.
    void Add(bool timedOut, std::string_view stamp, StampSeconds seconds)
    {
        if (timedOut || inOutage_) {
            AddToOutage(timedOut, stamp, seconds);  // most records are neither, and cost only this test
        }
    }
    bool InOutage() const { return inOutage_; }
    const KeptStamp& First() const { return first_; }
    const KeptStamp& Last() const { return last_; }

private:
    void AddToOutage(bool timedOut, std::string_view stamp, StampSeconds seconds)
    {
        if (inOutage_ && !(timedOut && ContinuesOutage(last_.seconds, seconds))) {
            inOutage_ = false;
            onEnd_(first_, last_);
        }
        if (!timedOut) {
            return;
        }
        last_ = KeptStamp::Of(stamp, seconds);
        if (!inOutage_) {
            first_ = last_;
            inOutage_ = true;
        }
    }

    OnEnd onEnd_;
    bool inOutage_ = false;
    KeptStamp first_;
    KeptStamp last_;
};

}  // namespace vellomar::daily_log
