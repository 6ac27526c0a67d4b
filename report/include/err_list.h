// Rebuilds the outage report "ERR_list.csv", and the page "ERR_list.html"
// beside it, from the daily logs of a folder.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace vellomar {

// Where a rebuild shows its progress: emptied once the report can be written,
// then given the name of each daily log as its turn comes.
class ReportProgress {
public:
    virtual ~ReportProgress() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const std::string& logName) = 0;
};

// What the page beside the report says of itself: the host watched and when
// the page was made ("yyyy/mm/dd hh:mm:ss"). UTF-8.
struct PageHeading {
    std::string hostName;
    std::string address;
    std::string madeAt;
};

// What a rebuild did: the report was replaced, or it was left as it was and
// why (one line, for the user: not written when the report was replaced).
// Between the two, a report that replaced the old one but whose folder could
// not be flushed: not written, and replaced.
struct RebuildResult {
    bool written = false;
    std::string problem;
    bool replaced = false;

    explicit operator bool() const { return written; }
};

// The report of one folder, kept up to date for as long as the program runs.
// It remembers what each daily log gave the report, so that a rebuild reads
// again only the logs that are new or changed since its last rebuild; the
// report is byte for byte what a rebuild from nothing would write. The first
// rebuild reads every log, on all cores. Nothing of this is written to disk.
class ErrList {
public:
    // The folder's watch names the logs that changed; every log's size,
    // times and file identity are checked as well on the first rebuild,
    // every sixth, and whenever the watch lost track.
    explicit ErrList(std::filesystem::path folder);
    ~ErrList();
    ErrList(const ErrList&) = delete;
    ErrList& operator=(const ErrList&) = delete;

    // Rewrites folder/ERR_list.csv from every folder/PING_*.txt, in ascending
    // name order, and beside it the page ERR_list.html, the same outages at a
    // glance. One call at a time (from any one thread). Never throws; says
    // why when the previous report was left as it was: also when the user may
    // not write it. The page is written whenever every log
    // could be read and the user may write the report; whether it could be
    // written does not change the report, nor what this returns.
    RebuildResult Rebuild(ReportProgress& progress, const PageHeading& heading = {});

protected:
    // Without a watch when watchFolder is false: then every log's size,
    // times and file identity are checked on every rebuild.
    ErrList(std::filesystem::path folder, bool watchFolder);

private:
    std::optional<std::jthread> StartPageWriter(const PageHeading& heading);

    struct State;
    std::filesystem::path folder_;
    std::unique_ptr<State> state_;
};

}  // namespace vellomar
