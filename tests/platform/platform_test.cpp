// The system layer under the logs and the report: files in a folder whose name
// no single 8-bit code page holds, whole appends, replaces, and 8-bit text.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "diagnostics.h"
#include "files.h"
#include "temp_folder.h"
#include "text_encoding.h"
#include "watched_disk.h"

namespace vellomar::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;

struct ForeignFolder {
    testing::TempFolder root;
    fs::path folder = root.path() / testing::PathFromUtf8("Čedomir Đurić Жанна 中文");
    bool made = fs::create_directory(folder);
    fs::path operator/(const char* name) const { return folder / name; }
};

// A failure names the file and gives the system's reason, taken at the failing call.
TEST(File, AppendCreatesThenOnlyAddsReadsBackATruncateCutsBackAndFailuresNameTheFile)
{
    ForeignFolder place;
    const fs::path log = place / "PING_20150126.txt";
    for (const auto& [opened, reason] :
         {std::pair(File::OpenForReading(log), "PING_20150126.txt: No such file"),
          std::pair(File::OpenForAppend(place / "no folder/x.txt"), "x.txt: No such file"),
          std::pair(File::OpenForAppend(place.folder), "Čedomir Đurić Жанна 中文: Is a")}) {
        EXPECT_FALSE(opened);
#ifndef _WIN32
        EXPECT_TRUE(opened.Reason().starts_with(reason)) << opened.Reason();
#endif
    }
    {
        auto file = File::OpenForAppend(log);
        ASSERT_TRUE(file) << file.Reason();
        EXPECT_TRUE(file->WriteAll(std::string(100000, 'x')) && file->Flush());
    }
    File file = std::move(*File::OpenForAppend(log));
    EXPECT_EQ(*file.Size(), 100000u) << "opening for append keeps what is there";
    EXPECT_TRUE(file.WriteAll("cut off again"));
    EXPECT_TRUE(file.Truncate(100000));
    EXPECT_TRUE(file.WriteAll("end") && file.Close()) << "writes go on at the new end";

    File reader = std::move(*File::OpenForReading(log));
    std::string read;
    char buffer[4096];
    for (Outcome<size_t> count = 0; (count = reader.Read(buffer, sizeof buffer)) && *count > 0;)
        read.append(buffer, *count);
    EXPECT_EQ(read, std::string(100000, 'x') + "end");
    EXPECT_EQ(*reader.Read(buffer, sizeof buffer), 0u);
}

// A refused rename leaves the old file in place; the folder is flushed after the move, and a folder
// that cannot be flushed is said, the move made.
TEST(File, ReplaceSwapsInTheNewVersionDurablyOrLeavesBothAsTheyWere)
{
    ForeignFolder place;
    testing::WatchedDisk disk;
    const fs::path report = place / "ERR_list.csv", temporary = place / "ERR_list.csv.tmp";
    const std::string folder = NameOf(place.folder);
    WriteBytes(report, "old");
    WriteBytes(temporary, "new");
    disk.refusedRenames = {"ERR_list.csv"};
    const Done refused = ReplaceByMoving(temporary, report);
    EXPECT_TRUE(refused.Reason().starts_with("ERR_list.csv: ")) << refused.Reason();
    EXPECT_EQ(ReadBytes(report) + ReadBytes(temporary), "oldnew") << "both stay as they were";

    disk.refusedRenames.clear();
    ASSERT_TRUE(ReplaceByMoving(temporary, report));
    EXPECT_EQ(ReadBytes(report), "new");
    EXPECT_FALSE(fs::exists(temporary));
#ifndef _WIN32  // there the move itself is written through
    EXPECT_EQ(disk.flushes[folder], 1) << "the rename reaches the disk with the folder's flush";
    WriteBytes(temporary, "newer");
    disk.refusedFlushes = {folder};
    const Done notDurable = ReplaceByMoving(temporary, report);
    EXPECT_TRUE(notDurable.Reason().starts_with("ERR_list.csv is replaced but may not survive a power cut: " + folder))
        << notDurable.Reason();
    EXPECT_EQ(ReadBytes(report), "newer");
#endif
    EXPECT_EQ(File::CreateEmpty(report)->Size().operator*(), 0u) << "an existing file is emptied";
}

TEST(Program, PathIsThisTestProgramAndItsFolderHoldsIt)
{
    const fs::path program = ProgramPath();
    EXPECT_EQ(program.stem(), "platform_tests");
    EXPECT_EQ(ProgramFolder(), program.parent_path());
    EXPECT_TRUE(fs::is_regular_file(program)) << testing::Utf8(program);
}

TEST(Text, Utf8IsKeptWindows1250IsConvertedAndInvalidBytesAreRefused)
{
    const std::tuple<std::string, Encoding, std::optional<std::string>> cases[] = {
        {"", Encoding::Utf8, ""},
        {"Pošta Črnomelj", Encoding::Utf8, "Pošta Črnomelj"},
        {"Po\x9Ata \xC8rnomelj \x8A\x8E\x9E\xE6\xF0", Encoding::Windows1250, "Pošta Črnomelj ŠŽžćđ"},
        {"Po\x9Ata", Encoding::Utf8, std::nullopt},
        {"\xC4", Encoding::Utf8, std::nullopt},          // cut short
        {"\xED\xA0\x80", Encoding::Utf8, std::nullopt},  // a surrogate
    };
    for (const auto& [bytes, encoding, utf8] : cases)
        EXPECT_EQ(DecodeToUtf8(bytes, encoding), utf8) << bytes;
}

#ifndef _WIN32
// Windows says these to the debugger, which a test cannot read back.
TEST(Diagnostics, ARecurringProblemIsSaidWhenItAppearsOrChanges)
{
    ::testing::internal::CaptureStderr();
    RecurringProblem problem;
    for (const char* said : {"disk full", "disk full", "no folder", "no folder", "", "no folder"})
        *said ? problem.Report(said) : problem.Clear();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "vellomar: disk full\nvellomar: no folder\nvellomar: no folder\n");
}
#endif

}  // namespace
}  // namespace vellomar::platform
