#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "open_screen_fixture.h"
#include "protocol/exchange.h"

using namespace touchsdk;
using tsdemu::CommandFault;
using tsdemu::CommandFrame;
using tsdtest::kQuery;
using tsdtest::kSet;

namespace {

class CommandExchange : public tsdtest::OpenScreenTest {
protected:

    // Queries the HID mode byte: true on success.
    bool queryHidMode(uint8_t* out = nullptr, uint8_t* length = nullptr) {
        return exchangeCommand(handle, kQuery, 0x80, 0xE2, nullptr, 0, out, length);
    }

    std::size_t sends() { return model().setFeatureCalls(); }
    std::size_t polls() { return model().getFeatureCalls(); }
};

}  // namespace

TEST_F(CommandExchange, DataReplyIsCopiedOut) {
    model().setHidMode(2);
    uint8_t out[4] = {9, 9, 9, 9};
    uint8_t length = sizeof out;
    ASSERT_TRUE(queryHidMode(out, &length));
    EXPECT_EQ(length, 1);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 9);
    EXPECT_EQ(model().requests(), (std::vector<CommandFrame>{{kQuery, 0x80, 0xE2, {}}}));
    EXPECT_EQ(sends(), 1u);
    EXPECT_EQ(polls(), 1u);
}

TEST_F(CommandExchange, ReplyLargerThanTheCapacityOrWithoutBufferIsNotCopied) {
    model().setHidMode(2);
    uint8_t out = 7;
    uint8_t length = 0;
    ASSERT_TRUE(queryHidMode(&out, &length));
    EXPECT_EQ(length, 1);
    EXPECT_EQ(out, 7);
    length = 5;
    ASSERT_TRUE(queryHidMode(nullptr, &length));
    EXPECT_EQ(length, 1);
    EXPECT_TRUE(queryHidMode());
}

TEST_F(CommandExchange, AckToAQueryLeavesTheLengthAlone) {
    model().injectFault(CommandFault::AckInsteadOfData, 1);
    uint8_t out = 7;
    uint8_t length = 1;
    EXPECT_EQ(exchange(handle, kQuery, 0x80, 0xE2, nullptr, 0, &out, &length),
              ExchangeOutcome::Acknowledged);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(out, 7);
}

TEST_F(CommandExchange, InvalidRequestsSendNothing) {
    const std::vector<uint8_t> data(59, 0);
    EXPECT_FALSE(exchangeCommand(handle, kSet, 0x80, 0xBB, data.data(), 59, nullptr, nullptr));
    EXPECT_FALSE(exchangeCommand(handle, 0x4B, 0x80, 0xE2, nullptr, 0, nullptr, nullptr));
    EXPECT_FALSE(exchangeCommand(handle, 0x87, 0x80, 0xE2, nullptr, 0, nullptr, nullptr));
    EXPECT_FALSE(exchangeCommand(handle, kSet, 0x80, 0xE2, nullptr, 1, nullptr, nullptr));
    EXPECT_EQ(sends(), 0u);
}

TEST_F(CommandExchange, LongestRequestReachesTheScreenWhole) {
    std::vector<uint8_t> data = {0, 0, 0x30, 0};
    data.resize(58, 0x11);
    // Refused (no transfer is open), but received intact.
    EXPECT_FALSE(exchangeCommand(handle, kSet, 0x80, 0xBB, data.data(), 58, nullptr, nullptr));
    EXPECT_EQ(model().requests(), (std::vector<CommandFrame>{{kSet, 0x80, 0xBB, data}}));
}

// ---- The send/poll schedule --------------------------------------------------

TEST_F(CommandExchange, BusyIsSentAgainAtMostFiveTimes) {
    model().injectFault(CommandFault::Busy, 2);
    EXPECT_TRUE(queryHidMode());
    EXPECT_EQ(model().requests().size(), 3u);

    model().clearRequests();
    model().injectFault(CommandFault::Busy);
    EXPECT_FALSE(queryHidMode());
    EXPECT_EQ(model().requests().size(), 5u);
}

TEST_F(CommandExchange, RefusedEndsTheExchangeAtOnce) {
    model().injectFault(CommandFault::Refused);
    EXPECT_FALSE(queryHidMode());
    EXPECT_EQ(sends(), 1u);
    EXPECT_EQ(polls(), 1u);
}

TEST_F(CommandExchange, SilenceCostsEightyPollsPerSend) {
    model().injectFault(CommandFault::Silent);
    EXPECT_FALSE(queryHidMode());
    EXPECT_EQ(sends(), 5u);
    EXPECT_EQ(polls(), 400u);
}

TEST_F(CommandExchange, LateAnswerWithinEightyPollsNeedsOneSend) {
    model().setAnswerDelay(79);
    EXPECT_TRUE(queryHidMode());
    EXPECT_EQ(sends(), 1u);
    EXPECT_EQ(polls(), 80u);
}

TEST_F(CommandExchange, EchoThenAckAndBadChecksumCountAsNoAnswer) {
    struct Case {
        const char* name;
        CommandFault fault;
    };
    for (const Case& c : {Case{"echo then ack", CommandFault::EchoThenAck},
                          Case{"bad checksum", CommandFault::BadChecksum}}) {
        model().clearRequests();
        const std::size_t pollsBefore = polls();
        model().injectFault(c.fault, 1);
        uint8_t out = 0;
        uint8_t length = 1;
        EXPECT_TRUE(queryHidMode(&out, &length)) << c.name;
        EXPECT_EQ(model().requests().size(), 2u) << c.name;
        EXPECT_EQ(polls() - pollsBefore, 81u) << c.name;
    }
}

TEST_F(CommandExchange, FailedSendsAreRetried) {
    model().failIoctls(EPIPE, 3);
    EXPECT_TRUE(queryHidMode());
    EXPECT_EQ(sends(), 4u);
    EXPECT_EQ(model().requests().size(), 1u);

    model().failIoctls(ENODEV, tsdemu::kAlways);
    EXPECT_FALSE(queryHidMode());
    EXPECT_EQ(sends(), 9u);
    EXPECT_EQ(polls(), 1u);
}

TEST_F(CommandExchange, UnplugInTheMiddleFailsWithoutHanging) {
    model().setAnswerDelay(10);
    model().unplugAfterPolls(3);
    EXPECT_FALSE(queryHidMode());
    EXPECT_EQ(model().requests().size(), 1u);
    EXPECT_EQ(sends(), 5u);
    EXPECT_EQ(polls(), 80u);
}

TEST_F(CommandExchange, NullHandleFails) {
    EXPECT_FALSE(exchangeCommand(nullptr, kQuery, 0x80, 0xE2, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(sends(), 0u);
}
