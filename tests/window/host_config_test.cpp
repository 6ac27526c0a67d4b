#include "host_config.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "temp_folder.h"

namespace vellomar {
namespace {

using Outcome = HostConfig::Outcome;

// Comments, blank lines and lines under six characters once trimmed of spaces (a tab is no space) are
// skipped. The name ends at the first comma, the address takes the rest; only the first host line counts,
// and one without a comma fails. CR LF, a lone CR and a lone LF each end a line. The text is UTF-8 (with
// or without a byte order mark) or Windows-1250, read as UTF-8. Junk, huge lines and huge files end cleanly.
TEST(HostLine, FoundReadAndSplitAsWritten)
{
    struct Case {
        std::string text;
        Outcome outcome;
        std::string name = "", address = "";
    };
    const Outcome kHost = Outcome::HostLine, kNone = Outcome::NoHostLine, kFailed = Outcome::Failed;
    const std::string longName(100000, 'x');
    for (const Case& c : {Case {"; my router\r\nRouter, 192.168.1.1\r\n", kHost, "Router", "192.168.1.1"},
                          Case {"\r\n   \r\nabcde\r\n  x,y  \r\nabcdef,1.2.3.4\r\n", kHost, "abcdef", "1.2.3.4"},
                          Case {"   ; still a comment, 1.1.1.1\r\nHost A , 10.0.0.1 \r\n", kHost, "Host A", "10.0.0.1"},
                          Case {"a,1.2\r\n    a,1.2    \r\nčšž,1\r\n; only comments\r\n;x, 1.2.3.4\r\n\r\n", kNone},
                          Case {"a,1.23\r\n", kHost, "a", "1.23"},
                          Case {"\t; Box, 127.0.0.1\r\n", kHost, "\t; Box", "127.0.0.1"},
                          Case {"Box ,\t127.0.0.1\r\n", kHost, "Box", "\t127.0.0.1"},
                          Case {",127.0.0.1\r\n", kHost, "", "127.0.0.1"},
                          Case {"Gateway,\r\n", kHost, "Gateway", ""},
                          Case {"Name, 1.2.3.4, extra,more\r\n", kHost, "Name", "1.2.3.4, extra,more"},
                          Case {"First, 1.1.1.1\r\nno comma in this later line\r\n", kHost, "First", "1.1.1.1"},
                          Case {"; comment\r\nJust a name here\r\n", kFailed},
                          Case {"", kNone},
                          Case {"abc\rdef\nghi\r\n\r\nHost, 1.2.3.4\rOther, 5.6.7.8", kHost, "Host", "1.2.3.4"},
                          Case {"Pošta Črnomelj, 10.1.1.1\r\n", kHost, "Pošta Črnomelj", "10.1.1.1"},
                          Case {"Po\x9Ata \xC8rnomelj, 10.1.1.1\r\n", kHost, "Pošta Črnomelj", "10.1.1.1"},
                          Case {"\xEF\xBB\xBF; byte order mark\r\nHost, 1.2.3.4\r\n", kHost, "Host", "1.2.3.4"},
                          Case {std::string("\0\0\0\0\0\0,\x01\x02", 9), kHost, std::string(6, '\0'), "\x01\x02"},
                          Case {longName + "\r\n", kFailed},
                          Case {longName + ",1.2.3.4\r\n", kHost, longName, "1.2.3.4"},
                          Case {std::string(400000, '\n') + "Far, 9.9.9.9\r\n", kHost, "Far", "9.9.9.9"}}) {
        SCOPED_TRACE(c.text.substr(0, 40));
        std::istringstream in(c.text);
        const HostConfig config = ReadHostConfig(in);
        EXPECT_EQ(std::tie(config.outcome, config.hostName, config.address), std::tie(c.outcome, c.name, c.address));
    }
}

// What the installers ask of the program: the line as the monitor reads it, with a name and an address
// of four decimal numbers 0-255, written trimmed; otherwise the reason, naming what is wrong.
TEST(HostLine, CheckedForTheInstallersAsTheMonitorReadsIt)
{
    for (auto [line, expected] : {std::pair<std::string, std::string> {"  Čatež ,192.0.2.1 ", "Čatež, 192.0.2.1"},
                                  {"\t; Box,0.0.0.0", "\t; Box, 0.0.0.0"},
                                  {"a,255.255.255.255", "a, 255.255.255.255"},
                                  {"Gateway 192.0.2.1", "no comma"},
                                  {"; Gateway, 192.0.2.1", "comment"},
                                  {"a,1.2", "five characters"},
                                  {"Gateway, 1.2.3.4\r\nOther, 5.6.7.8", "one line"},
                                  {" , 192.0.2.1", "name before the comma is empty"},
                                  {" \xEF\xBB\xBFGw, 192.0.2.1", "byte order mark"}}) {
        const platform::Outcome<std::string> checked = CheckHostLine(line);
        EXPECT_TRUE(checked ? *checked == expected : checked.Reason().find(expected) != std::string::npos)
            << line << ": " << (checked ? *checked : checked.Reason());
    }
    for (const std::string address : {"192.0.2", "192.0.2.256", "192.0.02.1", "192.0.2.1 x", "B, 192.0.2.1",
                                      "192.0.2.1.", "1.2.3.4.5", "192.0.2.-1", "\t192.0.2.1", "1..2.3", "1000.1.1.1"})
        EXPECT_EQ(CheckHostLine("Gateway, " + address).Reason(),
                  "\"" + address + "\" is not an IPv4 address of four numbers 0-255 with dots, as 192.0.2.1");
}

TEST(ConfigFile, MissingFolderOrPipeIsAFailureWithoutHanging)
{
    testing::TempFolder folder;
    EXPECT_EQ(ReadHostConfig(folder / "Vellomar.ini").outcome, Outcome::Failed);
    std::filesystem::create_directory(folder / "Vellomar.ini");
    EXPECT_EQ(ReadHostConfig(folder / "Vellomar.ini").outcome, Outcome::Failed);
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((folder / "pipe.ini").c_str(), 0600), 0);
    EXPECT_EQ(ReadHostConfig(folder / "pipe.ini").outcome, Outcome::Failed);
#endif

    // A program folder whose name no 8-bit code page holds.
    const std::filesystem::path home = folder.path() / testing::PathFromUtf8("Čedomir Жанна 中文");
    std::filesystem::create_directory(home);
    testing::WriteBytes(home / "Vellomar.ini", "Po\x9Ata, 127.0.0.1\r\n");
    EXPECT_EQ(ReadHostConfig(home / "Vellomar.ini").hostName, "Pošta");
}

}  // namespace
}  // namespace vellomar
