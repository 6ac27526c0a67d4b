// What the tests and the benchmark need of the report beyond what the program uses.
#pragma once

#include <filesystem>
#include <utility>

#include "err_list.h"

namespace vellomar {

// A report that keeps no watch on its folder: every rebuild checks every
// log's size, times and file identity, which the watched report must match.
class ErrListCheckingEveryLog : public ErrList {
public:
    explicit ErrListCheckingEveryLog(std::filesystem::path folder) : ErrList(std::move(folder), false) {}
};

// One rebuild that reads every daily log.
RebuildResult MakeErrList(const std::filesystem::path& folder, ReportProgress& progress,
                          const PageHeading& heading = {});

}  // namespace vellomar
