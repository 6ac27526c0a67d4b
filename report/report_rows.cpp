#include "report_rows.h"

#include <algorithm>

#include "stamp.h"

namespace vellomar::report {
namespace {

// Windows-1250, where the heading's "Č" is the single byte 0xC8. The title
// names the provider the report was first kept for, whatever host is watched:
// kept on purpose, as the reports already kept and their readers have it.
constexpr std::string_view kHeading = "Prekinitve Telemach interneta\r\n"
                                      "Od;Do;\xC8"
                                      "as;Dan;Dnevno\r\n";
constexpr std::string_view kSummaryPrefix = "-----;-----; ;";

void AppendRows(std::string& text, const LogPart& part, const FoldedLog& folded)
{
    for (std::size_t i = 0; i < folded.joinedCount; ++i) {
        text += OutageRow(folded.joined[i].first, folded.joined[i].last);
    }
    text += part.rows;
    text.append(kSummaryPrefix).append(part.day).append(";").append(FormatDuration(folded.total)).append("\r\n");
}

}  // namespace

void ReportRows::ChangedFrom(std::size_t index)
{
    folded_.resize(std::min(folded_.size(), index));
}

std::size_t ReportRows::KeptSize() const
{
    return folded_.empty() ? 0 : folded_.back().rowsEnd;
}

platform::Done ReportRows::Fold(const std::vector<CataloguedLog>& logs, ReportProgress& progress)
{
    ChangedFrom(logs.size());
    if (folded_.empty()) {
        text_.assign(kHeading);
    } else {
        text_.resize(KeptSize());
    }
    OutageFold fold = folded_.empty() ? OutageFold {} : folded_.back().after;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        progress.AddItem(logs[i].entry.name);
        if (i < folded_.size()) {
            continue;
        }
        if (!logs[i].part) {
            return platform::Failure {logs[i].unreadable.empty() ? logs[i].entry.name + ": not read"
                                                                 : logs[i].unreadable};
        }
        AppendRows(text_, *logs[i].part, fold.AddLog(*logs[i].part));
        folded_.push_back(FoldedUpTo {text_.size(), fold});
    }
    return {};
}

}  // namespace vellomar::report
