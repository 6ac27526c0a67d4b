#include "page_tally.h"

#include <algorithm>

#include "daily_log_format.h"
#include "stamp_text.h"

namespace vellomar::report {
namespace {

using daily_log::kSecondsPerDay;

}  // namespace

std::optional<Stretch> UnwatchedBetween(StampSeconds from, StampSeconds to)
{
    if (to - from <= daily_log::kMaxGapWithinOutage) {
        return std::nullopt;
    }
    const int forward =
        platform::UtcOffsetAt(LocalDateTimeOf(to)).seconds - platform::UtcOffsetAt(LocalDateTimeOf(from)).seconds;
    const std::int64_t passed = to - from - forward;
    return passed > daily_log::kMaxGapWithinOutage ? std::optional(Stretch {from, to, passed}) : std::nullopt;
}

void KeepLongest(std::vector<PageOutage>& longest, PageOutage outage)
{
    if (longest.size() == kLongestOutages && outage.Seconds() <= longest.back().Seconds()) {
        return;
    }
    const auto at = std::upper_bound(longest.begin(), longest.end(), outage.Seconds(),
                                     [](std::int64_t seconds, const PageOutage& o) { return seconds > o.Seconds(); });
    longest.insert(at, std::move(outage));
    if (longest.size() > kLongestOutages) {
        longest.pop_back();
    }
}

void PageTally::AddOutage(const OutageSpan& outage)
{
    ++page_.outageCount;
    KeepLongest(page_.longest, PageOutage {outage.first, outage.last, outage.count.Place()});
}

void PageTally::AddStamps(const KeptStamp& first, const KeptStamp& last)
{
    if (page_.firstStamp.empty() || first.seconds < firstSeconds_) {
        page_.firstStamp = first.Text();
        firstSeconds_ = first.seconds;
    }
    if (page_.lastStamp.empty() || last.seconds > lastSeconds_) {
        page_.lastStamp = last.Text();
        lastSeconds_ = last.seconds;
    }
}

void PageTally::AddLog(const LogPart& part, const FoldedLog& folded)
{
    for (std::size_t i = 0; i < folded.joinedCount; ++i) {
        AddOutage(folded.joined[i]);
    }
    page_.outageCount += part.rowsCount;
    for (const PageOutage& outage : part.longest) {
        KeepLongest(page_.longest, outage);
    }
    page_.outageSeconds += folded.total;
    AddSeconds(page_.outageByPlace, folded.byPlace);
    page_.monitoredSeconds += part.lines * kSecondsPerTick;
    if (part.day.size() == kDateLength) {
        if (const auto number = ParseDate(part.day.data())) {
            page_.days.push_back(PageDay {*number, folded.total, folded.byPlace});
        }
    }
    if (part.hasRecords) {
        AddStamps(part.firstRecord, part.lastRecord);
        AddWatch(part);
    }
    page_.recentRtt.insert(page_.recentRtt.end(), part.rtt.begin(), part.rtt.end());
}

void PageTally::AddWatch(const LogPart& part)
{
    const auto sinceLast = lastFolded_ ? UnwatchedBetween(*lastFolded_, part.firstRecord.seconds) : std::nullopt;
    if (sinceLast) {
        page_.unwatched.push_back(*sinceLast);
        page_.unwatchedSeconds += sinceLast->seconds;
        // Days without a log between: the offsets of their noons.
        for (StampSeconds noon = (*lastFolded_ / kSecondsPerDay + 1) * kSecondsPerDay + kSecondsPerDay / 2;
             noon < part.firstRecord.seconds; noon += kSecondsPerDay) {
            AddOffsetAt(noon);
        }
    }
    for (const Stretch& stretch : part.unwatched) {
        page_.unwatched.push_back(stretch);
        page_.unwatchedSeconds += stretch.seconds;
    }
    lastFolded_ = part.lastRecord.seconds;
    // A log spans a day at most: the clock is changed once in it at most.
    AddOffsetAt(part.firstRecord.seconds);
    AddOffsetAt(part.lastRecord.seconds);
}

void PageTally::AddOffsetAt(StampSeconds at)
{
    const platform::UtcOffset offset = platform::UtcOffsetAt(LocalDateTimeOf(at));
    if (std::find(page_.utcOffsets.begin(), page_.utcOffsets.end(), offset) == page_.utcOffsets.end()) {
        page_.utcOffsets.push_back(offset);
    }
}

OutagePage PageTally::Page(std::string hostName, std::string address, std::string madeAt) const
{
    OutagePage page = page_;
    page.hostName = std::move(hostName);
    page.address = std::move(address);
    page.madeAt = std::move(madeAt);
    // Two logs of one day (names that differ in case) share a calendar cell.
    std::stable_sort(page.days.begin(), page.days.end(),
                     [](const PageDay& a, const PageDay& b) { return a.day < b.day; });
    std::vector<PageDay> days;
    for (const PageDay& day : page.days) {
        if (!days.empty() && days.back().day == day.day) {
            days.back().outageSeconds += day.outageSeconds;
            AddSeconds(days.back().byPlace, day.byPlace);
        } else {
            days.push_back(day);
        }
    }
    page.days = std::move(days);
    std::stable_sort(page.recentRtt.begin(), page.recentRtt.end(),
                     [](const RttSlot& a, const RttSlot& b) { return a.start < b.start; });
    if (!page.recentRtt.empty()) {
        const StampSeconds since = page.recentRtt.back().start + kRttSlotSeconds - kRttDays * kSecondsPerDay;
        std::erase_if(page.recentRtt, [since](const RttSlot& slot) { return slot.start < since; });
    }
    return page;
}

void PageTallyCache::ChangedFrom(std::size_t index)
{
    const std::lock_guard lock(mutex_);
    unchanged_ = std::min(unchanged_, index);
}

OutagePage PageTallyCache::Page(const std::vector<std::shared_ptr<const LogPart>>& parts, std::int64_t newestDay,
                                std::string hostName, std::string address, std::string madeAt)
{
    const std::lock_guard lock(mutex_);
    if (!start_ || start_->logs > unchanged_ || start_->newestDay != newestDay) {
        start_ = Start {};
        start_->newestDay = newestDay;
    }
    PageTally tally = start_->tally;
    OutageFold fold = start_->fold;
    for (std::size_t i = start_->logs; i < parts.size(); ++i) {
        if (i + 1 == parts.size() && i != start_->logs) {
            start_ = Start {tally, fold, i, newestDay};
        }
        tally.AddLog(*parts[i], fold.AddLog(*parts[i]));
    }
    unchanged_ = parts.size();
    return tally.Page(std::move(hostName), std::move(address), std::move(madeAt));
}

void RttSlots::Add(StampSeconds at, bool replied, bool timedOut, std::int32_t roundTripMs)
{
    const StampSeconds start = at - (at % kRttSlotSeconds + kRttSlotSeconds) % kRttSlotSeconds;
    if (!open_ || slots_.back().start != start) {
        Close();
        slots_.push_back(RttSlot {start, 0, 0, 0, 0});
        open_ = true;
    }
    RttSlot& slot = slots_.back();
    if (replied) {
        ++slot.replies;
        times_.push_back(roundTripMs);
    }
    slot.timeouts += timedOut;
}

void RttSlots::Close()
{
    if (!open_) {
        return;
    }
    RttSlot& slot = slots_.back();
    if (!times_.empty()) {
        const auto middle = times_.begin() + static_cast<std::ptrdiff_t>(times_.size() / 2);
        std::nth_element(times_.begin(), middle, times_.end());
        slot.medianMs = *middle;
        slot.maxMs = *std::max_element(times_.begin(), times_.end());
    }
    times_.clear();
    open_ = false;
}

std::vector<RttSlot> RttSlots::Take()
{
    Close();
    return std::move(slots_);
}

}  // namespace vellomar::report
