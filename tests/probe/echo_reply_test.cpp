// However an exchange went, the caller's record keeps what its data area holds.
#include "echo_reply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

namespace vellomar {
namespace {

TEST(EchoReplyRecord, KeepsTheEchoedDataAsFarAsTheDataAreaHoldsAndCountsWhatItKept)
{
    std::string echoed(1000, '\0');
    std::iota(echoed.begin(), echoed.end(), '\1');
    for (const size_t size : {0, 5, 249, 250, 251, 1000}) {
        SCOPED_TRACE(size);
        struct {
            EchoReply reply;
            char beyond[64];  // whatever follows the caller's record
        } memory;
        std::memset(static_cast<void*>(&memory), 0x5a, sizeof memory);
        const EchoOutcome outcome {0x0100007f, kIpSuccess, 3, 64, 0, 0, 0, echoed.data(), size};
        RecordEchoOutcome(outcome, memory.reply);

        const size_t kept = std::min<size_t>(size, 250);
        EXPECT_EQ(memory.reply.DataSize, kept);
        EXPECT_EQ(std::string(memory.reply.ReplyData, 250), echoed.substr(0, kept) + std::string(250 - kept, '\x5a'));
        EXPECT_EQ(std::string(memory.beyond, sizeof memory.beyond), std::string(sizeof memory.beyond, '\x5a'));
        EXPECT_EQ(memory.reply.Status, kIpSuccess);
        EXPECT_EQ(memory.reply.RoundTripTime, 3);
        EXPECT_EQ(memory.reply.Options.Ttl, 64);
    }
}

}  // namespace
}  // namespace vellomar
