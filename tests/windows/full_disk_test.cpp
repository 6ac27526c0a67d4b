// A daily log on a disk that fills up, on Windows: run by wine_full_disk.sh,
// which mounts a 64 KiB disk for it and names its folder in VELLOMAR_SMALL_DISK
// (a file "filler" there holds 8 KiB that the test frees).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "daily_log_file.h"
#include "temp_folder.h"

namespace vellomar {
namespace {

namespace fs = std::filesystem;

TEST(FullDisk, AppendsAreWholeRecordsOrNothingAndResumeOnceThereIsRoom)
{
    const char* disk = std::getenv("VELLOMAR_SMALL_DISK");
    ASSERT_NE(disk, nullptr) << "run me through wine_full_disk.sh";
    const fs::path folder = testing::PathFromUtf8(disk);
    const fs::path log = folder / "PING_20150126.txt";
    const std::string record = "2015/01/26 14:05:09,23,0\r\n";  // 64 KiB is no whole number of these

    size_t appended = 0;
    bool refused = false;
    while (!refused && appended < 10000) {
        auto file = DailyLogFile::Open(log);
        ASSERT_TRUE(file) << file.Reason();
        refused = !file->Append(record);
        appended += !refused;
    }
    ASSERT_TRUE(refused) << "the disk never filled up";
    EXPECT_GT(appended, 1000u);
    EXPECT_EQ(fs::file_size(log), appended * record.size()) << "no half record is left at the end";

    fs::remove(folder / "filler");
    EXPECT_TRUE(DailyLogFile::Open(log)->Append(record));
    std::string expected;
    for (size_t i = 0; i <= appended; ++i)
        expected += record;
    EXPECT_TRUE(testing::ReadBytes(log) == expected) << "the log holds whole records, and the new one last";
}

}  // namespace
}  // namespace vellomar
