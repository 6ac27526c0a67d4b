#include "outage_tracker.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace vellomar::report {

OutageTracker::OutageTracker(std::function<void(const Outage&)> writeRow) : writeRow_(std::move(writeRow)) {}

void OutageTracker::AddToOutage(const ProbeRecord& record)
{
    if (!record.timedOut) {
        if (inOutage_) {
            EndOutage();
        }
        return;
    }
    if (inOutage_ && std::llabs(record.seconds - lastSeconds_) > kMaxGapWithinOutage) {
        EndOutage();
    }
    if (!inOutage_) {
        StartOutage(record);
    }
    Keep(lastText_, record.stamp);
    lastSeconds_ = record.seconds;
}

void OutageTracker::StartOutage(const ProbeRecord& record)
{
    inOutage_ = true;
    Keep(startText_, record.stamp);
    startSeconds_ = record.seconds;
}

void OutageTracker::EndOutage()
{
    inOutage_ = false;
    if (startText_ == lastText_) {
        return;  // a single timed-out record, or several with one stamp: no span to report
    }
    const std::int64_t seconds = lastSeconds_ - startSeconds_;
    dailyTotal_ += seconds;
    writeRow_(Outage{std::string_view(startText_.data(), startText_.size()),
                     std::string_view(lastText_.data(), lastText_.size()), seconds});
}

void OutageTracker::Keep(StampText& text, std::string_view stamp)
{
    std::memcpy(text.data(), stamp.data(), text.size());
}

}  // namespace vellomar::report
