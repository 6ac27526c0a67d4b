// Rebuild timing for the outage report.
//
//   report_bench DIR [--host "NAME, ADDRESS"]
//                                          rebuild DIR/ERR_list.csv and the page
//                                          ERR_list.html beside it, print the time
//   report_bench --steady DIR [--rebuilds N]
//                                          one full rebuild, then N rebuilds by the
//                                          same ErrList, each after one record is
//                                          appended to the newest log
//   report_bench --generate DIR --days N [--start yyyy/mm/dd] [--seed S]
//                [--companion-days M]      write N days of daily logs into DIR,
//                                          and for the last M of them the
//                                          companion logs of the next hop
//   report_bench --bench [--years 1,10] [--scratch /tmp] [--awk SCRIPT] [--keep]
//                                          generate, time the full and the steady
//                                          rebuild against `wc -l` and (one year)
//                                          the awk reference, compare the two
//                                          reports, measure peak memory, delete
//                                          the logs
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "daily_log_file.h"
#include "daily_logs.h"
#include "err_list.h"
#include "stamp_text.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

struct Corpus {
    long files = 0;
    long lines = 0;
    std::uintmax_t bytes = 0;
};

// ---- generator --------------------------------------------------------------

// A day of probes every ten seconds: replies of a few ms, outages of random
// length that may run over midnight, now and then a time the monitor was not
// running, and a few lines that are no records. Where asked, a companion log
// beside each: the next hop answers, except in the outages it shares (about
// one in five) and in a few where there was no next hop.
class LogGenerator {
public:
    explicit LogGenerator(std::uint64_t seed) : random_(seed) {}

    bool WriteDay(const fs::path& folder, year_month_day date, bool withCompanion, Corpus& corpus)
    {
        const std::string dateText =
            vellomar::DateText(int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())));
        text_.clear();
        companionText_.clear();
        for (int slot = 0; slot < kSlotsPerDay; ++slot) {
            if (Chance(1, 40 * kSlotsPerDay)) {
                monitorOffSlots_ = Between(60, 720);  // 10 minutes to 2 hours
            }
            if (monitorOffSlots_ > 0) {
                --monitorOffSlots_;
                continue;
            }
            AddSlot(dateText.c_str(), slot, corpus);
        }
        const vellomar::platform::LocalDateTime day {
            int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())), 0, 0, 0};
        corpus.files += 1;
        corpus.bytes += text_.size();
        return WriteFile(folder / vellomar::DailyLogName(day), text_) &&
               (!withCompanion || WriteFile(folder / vellomar::CompanionLogName(day), companionText_));
    }

private:
    static constexpr int kSlotsPerDay = 8640;

    enum class Hop { Answers, Silent, None };

    static bool WriteFile(const fs::path& path, const std::string& text)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        return static_cast<bool>(out.flush());
    }

    bool Chance(std::uint64_t in, std::uint64_t outOf) { return random_() % outOf < in; }
    int Between(int low, int high) { return low + static_cast<int>(random_() % std::uint64_t(high - low + 1)); }

    void AddSlot(const char* dateText, int slot, Corpus& corpus)
    {
        if (outageSlots_ == 0 && Chance(1, 1500)) {
            outageSlots_ = Chance(1, 50) ? Between(360, 2160) : Between(1, 30);  // 1-6 hours, or up to 5 minutes
            outageHop_ = Chance(1, 5) ? Hop::Silent : Chance(1, 20) ? Hop::None : Hop::Answers;
        }
        const bool timedOut = outageSlots_ > 0;
        outageSlots_ -= timedOut ? 1 : 0;
        if (Chance(1, 3000)) {
            text_ += "Windows Sockets not responding correctly.\r\n";
        } else if (Chance(1, 20000)) {
            text_ += "\r\n";
        } else {
            const std::size_t recordStart = text_.size();
            AddRecord(dateText, slot * 10 + (timedOut ? 5 : 0), timedOut);
            if (Chance(1, 20000)) {  // cut short by a crash; the next record runs on from it
                text_.resize(recordStart + static_cast<std::size_t>(Between(5, 24)));
                corpus.lines -= 1;
            }
        }
        corpus.lines += 1;
    }

    void AddRecord(const char* dateText, int second, bool timedOut)
    {
        char line[64];
        std::snprintf(line, sizeof line, "%s %02d:%02d:%02d,", dateText, second / 3600, second / 60 % 60, second % 60);
        text_ += line;
        AddNumber(text_, timedOut ? 0 : (Chance(1, 100) ? Between(100, 1000) : Between(3, 40)));
        text_ += timedOut ? ",-10\r\n" : ",0\r\n";
        // Made whether it is written or not, so that a seed gives the same daily
        // logs either way.
        companionText_ += line;
        const Hop hop = timedOut ? outageHop_ : Hop::Answers;
        AddNumber(companionText_, hop == Hop::Answers ? Between(1, 3) : 0);
        companionText_ += hop == Hop::Answers  ? ",0,192.0.2.1\r\n"
                          : hop == Hop::Silent ? ",-10,192.0.2.1\r\n"
                                               : ",-1,\r\n";
    }

    static void AddNumber(std::string& text, int value)
    {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        text.append(digits, end);
    }

    std::mt19937_64 random_;
    std::string text_;
    std::string companionText_;
    int outageSlots_ = 0;
    Hop outageHop_ = Hop::Answers;
    int monitorOffSlots_ = 0;
};

std::optional<Corpus> Generate(const fs::path& folder, year_month_day start, int days, int companionDays,
                               std::uint64_t seed)
{
    std::error_code error;
    fs::create_directories(folder, error);
    LogGenerator generator(seed);
    Corpus corpus;
    const sys_days end = sys_days {start} + std::chrono::days {days};
    for (sys_days day {start}; day < end; day += std::chrono::days {1}) {
        const bool withCompanion = day >= end - std::chrono::days {companionDays};
        if (!generator.WriteDay(folder, year_month_day {day}, withCompanion, corpus)) {
            return std::nullopt;
        }
    }
    return corpus;
}

// ---- timing -------------------------------------------------------------------

struct NoProgress : vellomar::ReportProgress {
    void Clear() override {}
    void AddItem(const std::string&) override {}
};

double Seconds(steady_clock::duration d)
{
    return duration<double>(d).count();
}

std::optional<double> TimeRebuild(vellomar::ErrList& list, const vellomar::PageHeading& heading = {})
{
    NoProgress progress;
    const auto start = steady_clock::now();
    if (!list.Rebuild(progress, heading)) {
        return std::nullopt;
    }
    return Seconds(steady_clock::now() - start);
}

// A full rebuild.
std::optional<double> TimeRebuild(const fs::path& folder, const vellomar::PageHeading& heading = {})
{
    vellomar::ErrList list(folder);
    return TimeRebuild(list, heading);
}

// Appends a record to the newest daily log of folder, timed out every other
// call, as the monitor appends it: whole, and flushed to the disk.
bool AppendRecord(const fs::path& folder)
{
    static bool timedOut = false;
    std::string newest;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("PING_", 0) == 0 && name.size() == 17 && name > newest) {
            newest = name;
        }
    }
    if (newest.empty()) {
        return false;
    }
    timedOut = !timedOut;
    const std::string record =
        vellomar::report::DateFromLogName(newest) + (timedOut ? " 23:59:59,0,-10\r\n" : " 23:59:59,5,0\r\n");
    auto log = vellomar::DailyLogFile::Open(folder / newest);
    return log && log->Append(record);
}

struct Steady {
    double full = 0, median = 0, min = 0, max = 0;
};

// One full rebuild, then rebuilds of the same ErrList after one new record each.
std::optional<Steady> TimeSteadyRebuilds(const fs::path& folder, int rebuilds)
{
    vellomar::ErrList list(folder);
    const auto full = TimeRebuild(list);
    std::vector<double> times;
    for (int i = 0; full && i < rebuilds; ++i) {
        const auto time = AppendRecord(folder) ? TimeRebuild(list) : std::nullopt;
        if (!time) {
            return std::nullopt;
        }
        times.push_back(*time);
    }
    if (!full || times.empty()) {
        return std::nullopt;
    }
    std::sort(times.begin(), times.end());
    return Steady {*full, times[times.size() / 2], times.front(), times.back()};
}

std::string Quoted(const fs::path& path)
{
    std::string quoted = "'";
    for (const char c : path.string()) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The first rebuild of a process of its own, as the program's first one is,
// timed by that process.
std::optional<double> TimeFirstRebuildOfAProcess(const fs::path& folder)
{
    const std::string command = Quoted(fs::read_symlink("/proc/self/exe")) + " " + Quoted(folder);
    FILE* const output = ::popen(command.c_str(), "r");
    if (output == nullptr) {
        return std::nullopt;
    }
    char line[4096] = {};
    const bool read = std::fgets(line, sizeof line, output) != nullptr;
    const int status = ::pclose(output);
    const char* const in = std::strstr(line, " in ");
    if (!read || status != 0 || in == nullptr) {
        return std::nullopt;
    }
    return std::strtod(in + 4, nullptr);
}

// Runs a shell command; its time, or nothing when it failed.
std::optional<double> TimeCommand(const std::string& command)
{
    const auto start = steady_clock::now();
    const int status = std::system(command.c_str());
    if (status != 0) {
        return std::nullopt;
    }
    return Seconds(steady_clock::now() - start);
}

// Peak resident memory (KiB) of a full rebuild and steady rebuilds, the cache
// included, run in a process of its own.
std::optional<long> PeakMemoryOfRebuilds(const fs::path& folder)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/proc/self/exe", "report_bench", "--steady", folder.c_str(), "--rebuilds", "10", "--quiet",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return usage.ru_maxrss;
}

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- commands -------------------------------------------------------------

// The page's heading from "NAME, ADDRESS", made now.
vellomar::PageHeading Heading(const std::string& host)
{
    const std::size_t comma = host.find(',');
    const std::time_t now = std::time(nullptr);
    char madeAt[32];
    std::strftime(madeAt, sizeof madeAt, "%Y/%m/%d %H:%M:%S", std::localtime(&now));
    return {host.substr(0, comma),
            comma == std::string::npos ? "" : host.substr(host.find_first_not_of(' ', comma + 1)), madeAt};
}

int RebuildCommand(const fs::path& folder, const std::string& host, bool quiet)
{
    const auto seconds = TimeRebuild(folder, Heading(host));
    if (!seconds) {
        std::fprintf(stderr, "rebuild of %s failed; the previous report is kept\n", (folder / "ERR_list.csv").c_str());
        return 1;
    }
    if (!quiet) {
        std::printf("rebuilt %s in %.4f s\n", (folder / "ERR_list.csv").c_str(), *seconds);
    }
    return 0;
}

int SteadyCommand(const fs::path& folder, int rebuilds, bool quiet)
{
    const auto steady = TimeSteadyRebuilds(folder, rebuilds);
    if (!steady) {
        std::fprintf(stderr, "rebuilds of %s failed\n", (folder / "ERR_list.csv").c_str());
        return 1;
    }
    if (!quiet) {
        std::printf(
            "full rebuild %.4f s; %d rebuilds after one new record each: median %.4f s, min %.4f s, max %.4f s\n",
            steady->full, rebuilds, steady->median, steady->min, steady->max);
    }
    return 0;
}

std::optional<year_month_day> ParseStartDate(const std::string& text)
{
    int y = 0;
    unsigned m = 0, d = 0;
    if (std::sscanf(text.c_str(), "%d/%u/%u", &y, &m, &d) != 3) {
        return std::nullopt;
    }
    const year_month_day date {year {y}, month {m}, day {d}};
    return date.ok() ? std::optional(date) : std::nullopt;
}

int GenerateCommand(const fs::path& folder, int days, int companionDays, year_month_day start, std::uint64_t seed)
{
    const auto begun = steady_clock::now();
    const auto corpus = Generate(folder, start, days, companionDays, seed);
    if (!corpus) {
        std::fprintf(stderr, "cannot write daily logs into %s\n", folder.c_str());
        return 1;
    }
    std::printf("wrote %ld daily logs, %ld lines, %.1f MB into %s in %.1f s\n", corpus->files, corpus->lines,
                double(corpus->bytes) / 1e6, folder.c_str(), Seconds(steady_clock::now() - begun));
    return 0;
}

struct Figures {
    double rebuild = 0, wc = 0;
    Steady steady;
    std::optional<double> awk;
    long peakKiB = 0;
    bool agrees = true;
};

constexpr int kSteadyRebuilds = 21;

// Each timed run goes twice and the second counts: a warm cache for all.
std::optional<Figures> Measure(const fs::path& logs, const fs::path& awkScript, bool withAwk)
{
    Figures f;
    const std::string inLogs = "export LC_ALL=C; cd " + Quoted(logs) + " && ";
    const std::string wc = inLogs + "wc -l -- PING_*.txt > /dev/null";
    TimeFirstRebuildOfAProcess(logs);
    const auto rebuild = TimeFirstRebuildOfAProcess(logs);
    TimeCommand(wc);
    const auto wcTime = TimeCommand(wc);
    const auto steady = TimeSteadyRebuilds(logs, kSteadyRebuilds);
    if (!rebuild || !wcTime || !steady) {
        return std::nullopt;
    }
    f.rebuild = *rebuild, f.wc = *wcTime, f.steady = *steady;
    if (withAwk) {  // over the logs as the last steady rebuild left them
        const fs::path awkReport = logs.string() + ".awk.csv";
        f.awk = TimeCommand(inLogs + "awk -f " + Quoted(awkScript) + " PING_*.txt > " + Quoted(awkReport));
        f.agrees = f.awk && ReadAll(logs / "ERR_list.csv") == ReadAll(awkReport);
        fs::remove(awkReport);
    }
    const auto peak = PeakMemoryOfRebuilds(logs);
    if (!peak) {
        return std::nullopt;
    }
    f.peakKiB = *peak;
    return f;
}

void PrintFigures(int years, const Corpus& c, const Figures& f)
{
    const double mb = double(c.bytes) / 1e6, mlines = double(c.lines) / 1e6;
    const auto row = [&](const char* what, double s) {
        std::printf("  %-30s %9.4f s %9.2f M records/s %9.1f MB/s\n", what, s, mlines / s, mb / s);
    };
    std::printf("%d year(s): %ld daily logs, %ld records, %.1f MB\n", years, c.files, c.lines, mb);
    row("full rebuild (new process)", f.rebuild);
    row("wc -l (floor)", f.wc);
    std::printf("  %-30s %9.4f s median, %.4f min, %.4f max, of %d\n", "rebuild after one new record", f.steady.median,
                f.steady.min, f.steady.max, kSteadyRebuilds);
    if (f.awk) {
        row("awk reference", *f.awk);
    }
    std::printf("  full / wc -l: %.2fx   full / steady: %.0fx", f.rebuild / f.wc, f.rebuild / f.steady.median);
    if (f.awk) {
        std::printf("   awk / full: %.1fx   awk report identical: %s", *f.awk / f.rebuild, f.agrees ? "yes" : "NO");
    }
    std::printf("\n  peak RSS, full and %d steady rebuilds, cache included: %ld KiB\n", 10, f.peakKiB);
}

int BenchCommand(const std::vector<int>& yearCounts, const fs::path& scratch, const fs::path& awkScript, bool keep)
{
    int result = 0;
    for (const int years : yearCounts) {
        // mkdtemp: a folder nobody else can have made or linked in a shared /tmp.
        std::string pattern = (scratch / ("vellomar_bench_" + std::to_string(years) + "y_XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::fprintf(stderr, "%d year(s): no scratch folder in %s\n", years, scratch.c_str());
            result = 1;
            continue;
        }
        const fs::path logs = pattern;
        const auto corpus = Generate(logs, year_month_day {year {2015} / 1 / 1}, years * 365, 0, 20150126);
        // Written back now, the generated logs do not weigh on the rebuilds' own syncs.
        ::sync();
        // awk takes minutes over ten years; one year shows its agreement and speed.
        const auto figures = corpus ? Measure(logs, awkScript, years <= 1) : std::nullopt;
        if (figures) {
            PrintFigures(years, *corpus, *figures);
        } else {
            std::fprintf(stderr, "%d year(s): generating or timing failed in %s\n", years, logs.c_str());
        }
        result |= (figures && figures->agrees) ? 0 : 1;
        if (!keep) {
            std::error_code ignored;
            fs::remove_all(logs, ignored);
            // Freeing (and, on a disk mounted with discard, trimming) hundreds
            // of megabytes goes on in the file system's journal after the
            // files are gone; done now, it does not slow the syncs of what is
            // measured next.
            ::sync();
        }
    }
    return result;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: report_bench DIR [--host 'NAME, ADDRESS']\n"
                 "       report_bench --steady DIR [--rebuilds N]\n"
                 "       report_bench --generate DIR --days N [--start yyyy/mm/dd] [--seed S] [--companion-days M]\n"
                 "       report_bench --bench [--years 1,10] [--scratch DIR] [--awk SCRIPT] [--keep]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto option = [&](const std::string& name, const std::string& otherwise) {
        for (std::size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == name) {
                return args[i + 1];
            }
        }
        return otherwise;
    };
    const auto has = [&](const std::string& name) { return std::find(args.begin(), args.end(), name) != args.end(); };
    if (args.empty()) {
        return Usage();
    }
    if (args[0] == "--generate" && args.size() >= 2) {
        const auto start = ParseStartDate(option("--start", "2015/01/01"));
        const int days = std::atoi(option("--days", "365").c_str());
        const int companionDays = std::atoi(option("--companion-days", "0").c_str());
        if (!start || days <= 0 || companionDays < 0) {
            return Usage();
        }
        return GenerateCommand(args[1], days, companionDays, *start,
                               std::strtoull(option("--seed", "1").c_str(), nullptr, 10));
    }
    if (args[0] == "--steady" && args.size() >= 2) {
        const int rebuilds = std::atoi(option("--rebuilds", "20").c_str());
        return rebuilds > 0 ? SteadyCommand(args[1], rebuilds, has("--quiet")) : Usage();
    }
    if (args[0] == "--bench") {
        std::vector<int> years;
        std::stringstream list(option("--years", "1,10"));
        for (std::string item; std::getline(list, item, ',');) {
            years.push_back(std::atoi(item.c_str()));
        }
        return BenchCommand(years, option("--scratch", fs::temp_directory_path().string()),
                            option("--awk", REPORT_REFERENCE_AWK), has("--keep"));
    }
    if (args[0].rfind("--", 0) == 0) {
        return Usage();
    }
    return RebuildCommand(args[0], option("--host", ""), has("--quiet"));
}
