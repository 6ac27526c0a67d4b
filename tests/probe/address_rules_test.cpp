// Address texts the probe refuses: nothing may be opened or sent for them, and
// the caller's reply record must come back exactly as it went in.
#include <gtest/gtest.h>

#include <cstring>

#include "socket_stuff.h"

namespace vellomar {
namespace {

TEST(AddressRules, UnusableAddressesGiveMinusOneAndLeaveTheReplyUntouched)
{
    const char* unusable[] = {
        "IP", "", " ", "1.2.3.4.5", "256.1.1.1", "127.0.0.1x", "1..2",         // not addresses
        "255.255.255.255", "0xffffffff", "4294967295", "0377.0377.0377.0377",  // all bits set
        "0.0.0.0", "0", "0x0", "0.0",                                          // no host
    };
    for (const char* text : unusable) {
        EchoReply reply;
        std::memset(static_cast<void*>(&reply), 0xa5, sizeof reply);  // a pattern no exchange would leave
        EchoReply before;
        std::memcpy(&before, &reply, sizeof reply);

        EXPECT_EQ(SendPing(text, 10, reply), kNoRequestSent) << '"' << text << '"';
        EXPECT_EQ(std::memcmp(&reply, &before, sizeof reply), 0) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace vellomar
