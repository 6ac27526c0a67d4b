// Rebuilds the outage report "ERR_list.csv" from the daily logs of a folder.
#pragma once

#include <filesystem>
#include <string>

namespace vellomar {

// Where a rebuild shows its progress: emptied once the report can be written,
// then given the name of each daily log as it is begun.
class ReportProgress {
public:
    virtual ~ReportProgress() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const std::string& logName) = 0;
};

// Rewrites folder/ERR_list.csv from every folder/PING_*.txt, in ascending name
// order. Never throws; returns false when the previous report was left as it was.
bool MakeErrList(const std::filesystem::path& folder, ReportProgress& progress);

}  // namespace vellomar
