// The text of the report "ERR_list.csv", folded from the parts of the daily
// logs and kept between rebuilds up to the first log that changed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "err_list.h"
#include "log_catalogue.h"
#include "log_part.h"

namespace vellomar::report {

class ReportRows {
public:
    // The rows of the index'th log and those after it no longer hold.
    void ChangedFrom(std::size_t index);
    // The report's text as far as it stays as it is: its heading and the
    // rows of the logs folded before and unchanged since; nothing before
    // the first fold.
    std::string_view Kept() const { return std::string_view(text_).substr(0, KeptSize()); }
    // Shows every log's name and adds the rows of those not folded yet, up
    // to the first log that could not be read, which it names, and why.
    platform::Done Fold(const std::vector<CataloguedLog>& logs, ReportProgress& progress);
    std::string_view Text() const { return text_; }

private:
    std::size_t KeptSize() const;

    struct FoldedUpTo {
        std::size_t rowsEnd;  // where the log's rows end in text_
        OutageFold after;     // the outage search after them
    };
    std::string text_;
    std::vector<FoldedUpTo> folded_;  // one for each log folded, in name order
};

}  // namespace vellomar::report
