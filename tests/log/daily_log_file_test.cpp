// The daily log's appends: each one on the disk before it returns, or gone again.
#include <gtest/gtest.h>

#include "daily_log_file.h"
#include "temp_folder.h"
#include "watched_disk.h"

namespace vellomar {
namespace {

// A record that does not reach the disk is cut off again and the append says why, the flush's own reason.
TEST(DailyLogFile, EachAppendIsFlushedAndOneTheDiskRefusesLeavesTheLogAsItWas)
{
    testing::TempFolder folder;
    testing::WatchedDisk disk;
    const std::filesystem::path path = folder / "PING_20150126.txt";
    const std::string record = "2015/01/26 10:00:00,3,0\r\n";
    for (int appends = 1; appends <= 2; ++appends) {
        auto log = DailyLogFile::Open(path);
        ASSERT_TRUE(log) << log.Reason();
        EXPECT_TRUE(log->Append(record));
        EXPECT_EQ(disk.flushes["PING_20150126.txt"], appends);
    }
    disk.refusedFlushes = {"PING_20150126.txt"};
    const platform::Done refused = DailyLogFile::Open(path)->Append("2015/01/26 10:00:10,0,-10\r\n");
    EXPECT_FALSE(refused);
#ifndef _WIN32
    EXPECT_EQ(refused.Reason(), "PING_20150126.txt: Input/output error (errno 5)");
#endif
    EXPECT_EQ(testing::ReadBytes(path), record + record);
}

}  // namespace
}  // namespace vellomar
