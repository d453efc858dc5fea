#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <vector>

#include "open_screen_fixture.h"
#include "protocol/exchange.h"

using namespace touchsdk;
using tsdemu::CommandFault;
using tsdemu::CommandFrame;
using tsdtest::kQuery;
using tsdtest::kSet;

namespace {

const Command kQueryHidMode{CommandType::Query, 0x80, 0xE2};

}  // namespace

namespace {

class CommandExchange : public tsdtest::OpenScreenTest {
protected:
    // Queries the HID mode byte: true on success.
    bool queryHidMode(ReplyBuffer* reply = nullptr) {
        return exchangeCommand(handle, kQueryHidMode, reply);
    }

    std::size_t sends() { return model().setFeatureCalls(); }
    std::size_t polls() { return model().getFeatureCalls(); }
};

}  // namespace

TEST_F(CommandExchange, DataReplyIsCopiedOut) {
    model().setHidMode(2);
    uint8_t out[4] = {9, 9, 9, 9};
    ReplyBuffer reply{out, sizeof out};
    ASSERT_TRUE(queryHidMode(&reply));
    EXPECT_EQ(reply.length, 1);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 9);
    EXPECT_EQ(model().requests(), (std::vector<CommandFrame>{{kQuery, 0x80, 0xE2, {}}}));
    EXPECT_EQ(sends(), 1u);
    EXPECT_EQ(polls(), 1u);
}

TEST_F(CommandExchange, ReplyLargerThanTheCapacityOrWithoutBufferIsNotCopied) {
    model().setHidMode(2);
    uint8_t out = 7;
    ReplyBuffer reply{&out, 0};
    ASSERT_TRUE(queryHidMode(&reply));
    EXPECT_EQ(reply.length, 1);
    EXPECT_EQ(out, 7);
    reply = ReplyBuffer{nullptr, 5};
    ASSERT_TRUE(queryHidMode(&reply));
    EXPECT_EQ(reply.length, 1);
    EXPECT_TRUE(queryHidMode());
}

TEST_F(CommandExchange, AckToAQueryWritesNoBytes) {
    model().injectFault(CommandFault::AckInsteadOfData, 1);
    uint8_t out = 7;
    ReplyBuffer reply{&out, 1, 1};
    EXPECT_EQ(exchange(handle, kQueryHidMode, &reply), ExchangeOutcome::Acknowledged);
    EXPECT_EQ(reply.length, 0);
    EXPECT_EQ(out, 7);
}

TEST_F(CommandExchange, InvalidRequestsSendNothing) {
    const std::vector<uint8_t> data(59, 0);
    EXPECT_FALSE(exchangeCommand(handle, {CommandType::Set, 0x80, 0xBB, {data.data(), 59}}));
    EXPECT_FALSE(exchangeCommand(handle, {CommandType::Set, 0x80, 0xE2, {nullptr, 1}}));
    EXPECT_EQ(sends(), 0u);
}

TEST_F(CommandExchange, LongestRequestReachesTheScreenWhole) {
    std::vector<uint8_t> data = {0, 0, 0x30, 0};
    data.resize(58, 0x11);
    // Refused (no transfer is open), but received intact.
    EXPECT_FALSE(exchangeCommand(handle, {CommandType::Set, 0x80, 0xBB, {data.data(), 58}}));
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
        ReplyBuffer reply{&out, 1};
        EXPECT_TRUE(queryHidMode(&reply)) << c.name;
        EXPECT_EQ(model().requests().size(), 2u) << c.name;
        EXPECT_EQ(polls() - pollsBefore, 81u) << c.name;
    }
}

TEST_F(CommandExchange, FailedSendsAreRetriedAndInterruptionsCostNoAttempt) {
    model().failIoctls(EPIPE, 3);
    EXPECT_TRUE(queryHidMode());
    EXPECT_EQ(sends(), 4u);
    EXPECT_EQ(model().requests().size(), 1u);

    // More interruptions in a row than the exchange has attempts: only
    // umockdev can interrupt an ioctl on purpose; a stall is EPIPE anywhere.
    TSD_UMOCKDEV_ONLY("an EINTR inside an ioctl");
    model().failIoctls(EINTR, 12);
    EXPECT_TRUE(queryHidMode());
    EXPECT_EQ(model().requests().size(), 2u);
}

// The screen disappears at each step of each export in turn: the export
// fails, and the first ENODEV is the last call it makes.
TEST_F(CommandExchange, EveryExportStopsAtTheFirstSignOfAGoneScreen) {
    TSD_UMOCKDEV_ONLY("the screen comes back after each vanishing, which no real unplug does");
    const std::vector<CalibrationPoint> identity = {{0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}};
    struct Export {
        const char* name;
        std::function<TsdResult()> call;
    };
    uint8_t mode = 0;
    const Export exports[] = {
        {"get working mode", [&] { return TsdGetTouchScreenWorkingMode(handle, &mode); }},
        {"set working mode", [&] { return TsdSetTouchScreenWorkingMode(handle, 1); }},
        {"get data mode", [&] { return TsdGetTouchScreenDataMode(handle, &mode); }},
        {"set data mode", [&] { return TsdSetTouchScreenDataMode(handle, 1); }},
        {"get HID mode", [&] { return TsdGetTouchScreenHidMode(handle, &mode); }},
        {"set HID mode", [&] { return TsdSetTouchScreenHidMode(handle, 1); }},
        {"restart", [&] { return TsdRestartTouchScreen(handle); }},
        {"preview",
         [&] {
             return TsdCalibrationFullScreenPreview(handle, 0, 4095, 0, 4095, identity.data(), 3);
         }},
        {"apply preview", [&] { return TsdCalibrationApplyPreview(handle); }},
        {"cancel preview", [&] { return TsdCalibrationCancelPreview(handle); }},
        {"reset", [&] { return TsdCalibrationReset(handle); }},
    };
    model().setModuleList({0x81, 0x82});
    for (const Export& e : exports) {
        for (uint32_t step = 0;; ++step) {
            model().clearFaults();
            const std::size_t before = sends() + polls();
            model().unplugAfterIoctls(step);
            const TsdResult result = e.call();
            const std::size_t calls = sends() + polls() - before;
            if (calls <= step) {  // done before the screen went
                EXPECT_EQ(result, TSD_OK) << e.name;
                EXPECT_GT(step, 0u) << e.name;
                break;
            }
            EXPECT_EQ(result, TSD_FAILURE) << e.name << " step " << step;
            ASSERT_EQ(calls, step + 1) << e.name << " step " << step;
        }
    }
}

// What the case above checks step by step, once on either presentation: on
// the kernel the screen really goes (its USB link ends between the send and
// the poll), and no further exchange reaches it.
TEST_F(CommandExchange, ScreenGoneBetweenSendAndPollFailsForGood) {
    model().unplugAfterIoctls(1);
    uint8_t mode = 0xAA;
    EXPECT_EQ(TsdGetTouchScreenHidMode(handle, &mode), TSD_FAILURE);
    EXPECT_EQ(mode, 0xAA);
    const std::size_t calls = sends() + polls();
    EXPECT_EQ(TsdSetTouchScreenHidMode(handle, 1), TSD_FAILURE);
    EXPECT_LE(sends() + polls(), calls + 1) << "an exchange went on with a gone screen";
}

TEST_F(CommandExchange, NullHandleFails) {
    EXPECT_FALSE(exchangeCommand(nullptr, kQueryHidMode));
    EXPECT_EQ(sends(), 0u);
}
