#include "err_list.h"
#include "err_list_internals.h"

#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "diagnostics.h"
#include "log_catalogue.h"
#include "page_tally.h"
#include "report_file.h"
#include "report_rows.h"

namespace vellomar {
namespace {

using namespace report;

// The page needs only the parts of the logs, which never change once read:
// it is made and written from its own references to them.
void WritePage(const std::filesystem::path& folder, PageTallyCache& tallies,
               const std::vector<std::shared_ptr<const LogPart>>& parts, std::int64_t newestDay,
               const PageHeading& heading) noexcept
{
    try {
        ReportFile page(folder / daily_log::kPageName);
        platform::Done written = page.Create();
        if (written) {
            written = page.Commit(
                RenderOutagePage(tallies.Page(parts, newestDay, heading.hostName, heading.address, heading.madeAt)));
        }
        if (!written) {
            platform::ExplainProblem(written.Reason());
        }
    } catch (const std::exception& error) {
        // The page is only a view of the report: without it the report stands.
        platform::ExplainProblem(std::string("ERR_list.html: ") + error.what());
    }
}

}  // namespace

// The logs, the report's rows and the page's tally, each kept from one
// rebuild to the next; a change in the logs reaches the other two as the
// index of the first log that changed.
struct ErrList::State {
    State(const std::filesystem::path& folder, bool watchFolder) : catalogue(folder, watchFolder) {}

    LogCatalogue catalogue;
    ReportRows rows;
    PageTallyCache tallies;
};

ErrList::ErrList(std::filesystem::path folder) : ErrList(std::move(folder), true)
{}

ErrList::ErrList(std::filesystem::path folder, bool watchFolder)
    : folder_(std::move(folder)), state_(std::make_unique<State>(folder_, watchFolder))
{}

ErrList::~ErrList() = default;

RebuildResult ErrList::Rebuild(ReportProgress& progress, const PageHeading& heading)
{
    std::optional<std::jthread> pageWriter;
    const auto failed = [](std::string why) { return RebuildResult {false, std::move(why)}; };
    try {
        if (platform::Done listed = state_->catalogue.Update(); !listed) {
            return failed(listed.Reason());
        }
        const std::size_t changed = state_->catalogue.TakeFirstChanged();
        state_->rows.ChangedFrom(changed);
        state_->tallies.ChangedFrom(changed);
        ReportFile report(folder_ / daily_log::kReportName);
        // What stays of the last report goes to the disk while the changed
        // logs are read.
        const std::size_t kept = state_->rows.Kept().size();
        platform::Done step = report.Create();
        if (step) {
            step = report.Write(state_->rows.Kept());
        }
        if (!step) {
            return failed(step.Reason());
        }
        progress.Clear();
        state_->catalogue.ReadMissingParts();
        pageWriter = StartPageWriter(heading);
        step = state_->rows.Fold(state_->catalogue.Logs(), progress);
        if (step) {
            step = report.Commit(state_->rows.Text().substr(kept));
        }
        if (!step) {
            return RebuildResult {false, step.Reason(), report.Replaced()};
        }
    } catch (const std::exception& error) {
        pageWriter.reset();          // before the parts it was given are let go
        state_->catalogue.Forget();  // half updated, perhaps
        return failed(std::string(daily_log::kReportName) + ": " + error.what());
    }  // the report file removes its temporary file on the way out
    return {true, {}};
}

// The page is made and written on another core while the report is folded
// and written, which takes the time of the disk's flushes.
std::optional<std::jthread> ErrList::StartPageWriter(const PageHeading& heading)
{
    std::vector<std::shared_ptr<const LogPart>> parts;
    parts.reserve(state_->catalogue.Logs().size());
    for (const CataloguedLog& log : state_->catalogue.Logs()) {
        if (!log.part) {
            return std::nullopt;  // the rebuild fails, and the page stays as it is
        }
        parts.push_back(log.part);
    }
    const std::int64_t newestDay = state_->catalogue.NewestDay();
    try {
        return std::jthread([folder = folder_, &tallies = state_->tallies, parts, newestDay, heading]() noexcept {
            WritePage(folder, tallies, parts, newestDay, heading);
        });
    } catch (const std::system_error&) {
        WritePage(folder_, state_->tallies, parts, newestDay, heading);  // no thread to be had: one after the other
        return std::nullopt;
    }
}

RebuildResult MakeErrList(const std::filesystem::path& folder, ReportProgress& progress, const PageHeading& heading)
{
    return ErrListCheckingEveryLog(folder).Rebuild(progress, heading);  // no watch for one rebuild
}

}  // namespace vellomar
