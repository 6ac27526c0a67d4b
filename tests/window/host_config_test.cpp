#include "host_config.h"

#include <gtest/gtest.h>

#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "temp_folder.h"

namespace vellomar {
namespace {

using Outcome = HostConfig::Outcome;
using testing::TempFolder;
using testing::WriteBytes;

HostConfig Read(const std::string& bytes)
{
    std::istringstream in(bytes);
    return ReadHostConfig(in);
}

void ExpectHost(const HostConfig& config, const std::string& name, const std::string& address)
{
    EXPECT_EQ(config.outcome, Outcome::HostLine);
    EXPECT_EQ(config.hostName, name);
    EXPECT_EQ(config.address, address);
}

TEST(HostLine, CommentsAndShortLinesAreSkipped)
{
    ExpectHost(Read("; my router\r\nRouter, 192.168.1.1\r\n"), "Router", "192.168.1.1");
    ExpectHost(Read("\r\n   \r\nabcde\r\n  x,y  \r\nabcdef,1.2.3.4\r\n"), "abcdef", "1.2.3.4");
    ExpectHost(Read("   ; still a comment, 1.1.1.1\r\nHost A , 10.0.0.1 \r\n"), "Host A", "10.0.0.1");
}

TEST(HostLine, FiveCharactersAreShortAndSixAreAHostLine)
{
    EXPECT_EQ(Read("a,1.2\r\n").outcome, Outcome::NoHostLine);
    ExpectHost(Read("a,1.23\r\n"), "a", "1.23");
    // Length is counted after trimming the spaces around the line.
    EXPECT_EQ(Read("    a,1.2    \r\n").outcome, Outcome::NoHostLine);
}

TEST(HostLine, TabIsAnOrdinaryCharacter)
{
    ExpectHost(Read("\t; Box, 127.0.0.1\r\n"), "\t; Box", "127.0.0.1");
    ExpectHost(Read("Box ,\t127.0.0.1\r\n"), "Box", "\t127.0.0.1");
}

TEST(HostLine, NameEndsAtTheFirstCommaAndAddressTakesTheRest)
{
    ExpectHost(Read(",127.0.0.1\r\n"), "", "127.0.0.1");
    ExpectHost(Read("Gateway,\r\n"), "Gateway", "");
    ExpectHost(Read("Name, 1.2.3.4, extra,more\r\n"), "Name", "1.2.3.4, extra,more");
}

TEST(HostLine, OnlyTheFirstCountsAndTheRestIsNeverRead)
{
    ExpectHost(Read("First, 1.1.1.1\r\nSecond, 2.2.2.2\r\n"), "First", "1.1.1.1");
    ExpectHost(Read("First, 1.1.1.1\r\nno comma in this later line\r\n"), "First", "1.1.1.1");

    std::istringstream in("First, 1.1.1.1\r\nSecond, 2.2.2.2\r\n");
    ReadHostConfig(in);
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "Second, 2.2.2.2\r");
}

TEST(HostLine, WithoutCommaIsAFailure)
{
    EXPECT_EQ(Read("; comment\r\nJust a name here\r\n").outcome, Outcome::Failed);
}

TEST(HostLine, NoneAtAllIsNotAFailure)
{
    EXPECT_EQ(Read("").outcome, Outcome::NoHostLine);
    EXPECT_EQ(Read("; only comments\r\n;x, 1.2.3.4\r\n\r\n").outcome, Outcome::NoHostLine);
}

TEST(LineEnds, CrLfLoneCrAndLoneLfAllEndALine)
{
    ExpectHost(Read("; a\rHost, 1.2.3.4\rOther, 5.6.7.8"), "Host", "1.2.3.4");
    ExpectHost(Read("; a\nHost, 1.2.3.4\n"), "Host", "1.2.3.4");
    ExpectHost(Read("Host, 1.2.3.4"), "Host", "1.2.3.4");
    // CR LF is one line end, so no empty line stands between the two.
    ExpectHost(Read("; comment\r\n\r\nHost, 1.2.3.4\r\n"), "Host", "1.2.3.4");
}

TEST(Encoding, HostNameInUtf8OrWindows1250IsShownAsUtf8)
{
    ExpectHost(Read("Pošta Črnomelj, 10.1.1.1\r\n"), "Pošta Črnomelj", "10.1.1.1");
    ExpectHost(Read("Po\x9Ata \xC8rnomelj, 10.1.1.1\r\n"), "Pošta Črnomelj", "10.1.1.1");
    ExpectHost(Read("\xEF\xBB\xBF; saved with a byte order mark\r\nHost, 1.2.3.4\r\n"), "Host", "1.2.3.4");
}

TEST(Encoding, ShortLineRuleCountsCharactersNotBytes)
{
    // "čšž,1" is five characters but eight bytes in UTF-8.
    EXPECT_EQ(Read("čšž,1\r\n").outcome, Outcome::NoHostLine);
    ExpectHost(Read("čšž,12\r\n"), "čšž", "12");
}

TEST(BadInput, BinaryJunkHugeLinesAndHugeFilesEndCleanly)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        char c = static_cast<char>((i * 7919) & 0xFF);
        junk.push_back(c == ',' ? '.' : c);
    }
    EXPECT_NE(Read(junk).outcome, Outcome::HostLine) << "without a comma there is no host line";
    ExpectHost(Read(std::string("\0\0\0\0\0\0,\x01\x02", 9)), std::string(6, '\0'), "\x01\x02");

    std::string longLine(100000, 'x');
    EXPECT_EQ(Read(longLine + "\r\n").outcome, Outcome::Failed);
    ExpectHost(Read(longLine + ",1.2.3.4\r\n"), longLine, "1.2.3.4");

    std::string manyComments;
    for (int i = 0; i < 200000; ++i)
        manyComments += "; comment line number " + std::to_string(i) + "\r\n";
    ExpectHost(Read(manyComments + "Far, 9.9.9.9\r\n"), "Far", "9.9.9.9");
}

TEST(ConfigFile, MissingFolderOrPipeIsAFailureWithoutHanging)
{
    TempFolder folder;
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
    WriteBytes(home / "Vellomar.ini", "Po\x9Ata, 127.0.0.1\r\n");
    ExpectHost(ReadHostConfig(home / "Vellomar.ini"), "Pošta", "127.0.0.1");
}

}  // namespace
}  // namespace vellomar
