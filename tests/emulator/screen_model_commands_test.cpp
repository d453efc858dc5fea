#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "hex_bytes.h"
#include "screen_model.h"

using namespace tsdemu;

namespace {

std::vector<uint8_t> requestReport(uint8_t type, uint8_t module, uint8_t command,
                                   const std::vector<uint8_t>& data) {
    std::vector<uint8_t> report(64, 0);
    const std::size_t length = data.size();
    report[0] = 0x55;
    report[1] = type;
    report[2] = module;
    report[3] = command;
    report[4] = static_cast<uint8_t>(length);
    for (std::size_t i = 0; i < length && 5 + i < 63; ++i) report[5 + i] = data[i];
    uint8_t sum = 0;
    for (std::size_t i = 2; i < 5 + length && i < 63; ++i)
        sum = static_cast<uint8_t>(sum + report[i]);
    report[std::min<std::size_t>(5 + length, 63)] = sum;
    return report;
}

class ScreenModelCommands : public ::testing::Test {
protected:
    long send(const std::vector<uint8_t>& report) {
        return model.setFeature(report.data(), report.size());
    }

    long send(uint8_t type, uint8_t module, uint8_t command,
              const std::vector<uint8_t>& data = {}) {
        return send(requestReport(type, module, command, data));
    }

    std::vector<uint8_t> poll() {
        std::vector<uint8_t> report(64, 0);
        report[0] = 0x55;
        const long result = model.getFeature(report.data(), report.size());
        EXPECT_EQ(result, 64);
        return report;
    }

    // Sends a request and returns the answer of the next poll.
    std::vector<uint8_t> ask(uint8_t type, uint8_t module, uint8_t command,
                             const std::vector<uint8_t>& data = {}) {
        EXPECT_EQ(send(type, module, command, data), 64);
        return poll();
    }

    ScreenModel model{ScreenIdentity{}};
};

constexpr uint8_t kQuery = 0x1E;
constexpr uint8_t kSet = 0x2D;
constexpr uint8_t kControl = 0x3C;

const std::vector<uint8_t> kAck = hexReport("55 87");
const std::vector<uint8_t> kBusy = hexReport("55 96");
const std::vector<uint8_t> kRefused = hexReport("55 B4");
const std::vector<uint8_t> kEmpty = hexReport("55");

}  // namespace

TEST_F(ScreenModelCommands, AnswersModeQueriesAndSetsWithGoldenReports) {
    EXPECT_EQ(ask(kQuery, 0x80, 0xA2), hexReport("55 4B 01 00 01"));
    EXPECT_EQ(send(hexReport("55 2D 80 A2 01 01 24")), 64);
    EXPECT_EQ(poll(), kAck);
    EXPECT_EQ(ask(kQuery, 0x80, 0xA2), hexReport("55 4B 01 01 02"));
    EXPECT_EQ(ask(kSet, 0x80, 0xE1, {0xFE}), kAck);
    EXPECT_EQ(model.dataModeByte(), 0xFE);
    EXPECT_EQ(ask(kQuery, 0x80, 0xE1), hexReport("55 4B 01 FE FF"));
    EXPECT_EQ(ask(kSet, 0x80, 0xE2, {2}), kAck);
    EXPECT_EQ(ask(kQuery, 0x80, 0xE2), hexReport("55 4B 01 02 03"));
}

TEST_F(ScreenModelCommands, RefusesWhatItDoesNotKnow) {
    struct Case {
        const char* name;
        uint8_t type, module, command;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"invalid data mode byte", kSet, 0x80, 0xE1, {0xF3}},
        {"invalid hid mode", kSet, 0x80, 0xE2, {3}},
        {"invalid working mode", kSet, 0x80, 0xA2, {2}},
        {"unknown command", kQuery, 0x80, 0x42, {}},
        {"query in set form", kSet, 0x80, 0xAE, {}},
        {"unlisted module", kSet, 0x81, 0xA2, {1}},
        {"data mode of a listed module", kQuery, 0x90, 0xE1, {}},
        {"extra data", kQuery, 0x80, 0xA2, {0}},
        {"block read without begin", kQuery, 0x80, 0xBB, {0, 0, 1, 0}},
    };
    model.setModuleList({0x90});
    for (const Case& c : cases)
        EXPECT_EQ(ask(c.type, c.module, c.command, c.data), kRefused) << c.name;
    EXPECT_EQ(model.dataModeByte(), 0xF0);
    EXPECT_EQ(model.hidMode(), 0);
}

TEST_F(ScreenModelCommands, ModuleListAndListedModules) {
    EXPECT_EQ(ask(kQuery, 0x80, 0xAE), hexReport("55 4B 00 00"));
    model.setModuleList({0x81, 0x82});
    EXPECT_EQ(ask(kQuery, 0x80, 0xAE), hexReport("55 4B 02 81 82 05"));
    EXPECT_EQ(ask(kSet, 0x82, 0xA2, {1}), kAck);
    EXPECT_EQ(model.workingMode(0x82), 1);
    EXPECT_EQ(model.workingMode(0x81), 0);
    EXPECT_EQ(model.workingMode(0x83), std::nullopt);
}

TEST_F(ScreenModelCommands, RestartAndPreviewSwitch) {
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kAck);
    EXPECT_EQ(model.restarts(), 1u);
    EXPECT_EQ(send(hexReport("55 3C 80 E5 01 01 67")), 64);
    EXPECT_EQ(poll(), kAck);
    EXPECT_EQ(model.previewSwitch(), 1);
    EXPECT_EQ(ask(kControl, 0x80, 0xE5, {0}), kAck);
    EXPECT_EQ(model.previewSwitch(), 0);
}

TEST_F(ScreenModelCommands, RecordsWellFormedRequestsOnly) {
    send(kSet, 0x80, 0xE1, {0xF1});
    send(hexReport("55 1E 80 A2 00 23"));     // wrong checksum
    send(hexReport("00 55 1E 80 A2 00 22"));  // not at byte 0: no 0x55 report
    send(kQuery, 0x80, 0xA2);
    const std::vector<CommandFrame> expected = {{kSet, 0x80, 0xE1, {0xF1}},
                                                {kQuery, 0x80, 0xA2, {}}};
    EXPECT_EQ(model.requests(), expected);
    EXPECT_EQ(model.setFeatureCalls(), 4u);
    model.clearRequests();
    EXPECT_TRUE(model.requests().empty());
}

TEST_F(ScreenModelCommands, AnAnswerIsDeliveredOnceAndAGarbledRequestCancelsIt) {
    send(kQuery, 0x80, 0xA2);
    send(hexReport("55 1E 80 A2 00 23"));
    EXPECT_EQ(poll(), kEmpty);
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kAck);
    EXPECT_EQ(poll(), kEmpty);
}

TEST_F(ScreenModelCommands, AnswerDelayCountsPolls) {
    model.setAnswerDelay(3);
    send(kQuery, 0x80, 0xE2);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(poll(), kEmpty) << i;
    EXPECT_EQ(poll(), hexReport("55 4B 01 00 01"));
}

TEST_F(ScreenModelCommands, ReplacingFaultsLastTheirCount) {
    model.injectFault(CommandFault::Busy, 2);
    EXPECT_EQ(ask(kSet, 0x80, 0xE2, {1}), kBusy);
    EXPECT_EQ(ask(kSet, 0x80, 0xE2, {1}), kBusy);
    EXPECT_EQ(model.hidMode(), 0);  // a Busy request is not carried out
    EXPECT_EQ(ask(kSet, 0x80, 0xE2, {1}), kAck);

    model.injectFault(CommandFault::Refused);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ask(kControl, 0x80, 0xAF), kRefused);
    model.clearFaults();
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kAck);

    model.injectFault(CommandFault::Silent, 1);
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kEmpty);
    EXPECT_EQ(poll(), kEmpty);
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kAck);

    model.injectFault(CommandFault::Refused, 1, 2);
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kAck);
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kAck);
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kRefused);
    EXPECT_EQ(ask(kControl, 0x80, 0xAF), kAck);

    model.injectFault(CommandFault::EchoThenAck, 1);
    EXPECT_EQ(ask(kSet, 0x80, 0xE1, {0xF0}), hexReport("55 2D 80 E1 01 F0 52 55 87"));
}

TEST_F(ScreenModelCommands, DataAnswerFaults) {
    model.injectFault(CommandFault::AckInsteadOfData, 1);
    EXPECT_EQ(ask(kQuery, 0x80, 0xE1), kAck);
    model.injectFault(CommandFault::BadChecksum, 1);
    const std::vector<uint8_t> bad = ask(kQuery, 0x80, 0xE1);
    EXPECT_EQ(std::vector<uint8_t>(bad.begin(), bad.begin() + 4), hexBytes("55 4B 01 F0"));
    EXPECT_NE(bad[4], 0xF1);
    EXPECT_EQ(ask(kQuery, 0x80, 0xE1), hexReport("55 4B 01 F0 F1"));
    // Ack answers are left alone by the Data faults.
    model.injectFault(CommandFault::BadChecksum, 1);
    EXPECT_EQ(ask(kSet, 0x80, 0xE1, {0xF0}), kAck);
}

TEST_F(ScreenModelCommands, DataReplyLengthIsCutOrPadded) {
    model.setDataReplyLength(2, 1);
    EXPECT_EQ(ask(kQuery, 0x80, 0xE2), hexReport("55 4B 02 00 A5 A7"));
    model.setDataReplyLength(0, 1);
    EXPECT_EQ(ask(kQuery, 0x80, 0xE2), hexReport("55 4B 00 00"));
    EXPECT_EQ(ask(kQuery, 0x80, 0xE2), hexReport("55 4B 01 00 01"));
}

TEST_F(ScreenModelCommands, IoctlFailuresAndUnplug) {
    model.failIoctls(EPIPE, 2);
    const std::vector<uint8_t> report = requestReport(kQuery, 0x80, 0xA2, {});
    EXPECT_EQ(send(report), -EPIPE);
    std::vector<uint8_t> in(64, 0);
    in[0] = 0x55;
    EXPECT_EQ(model.getFeature(in.data(), in.size()), -EPIPE);
    EXPECT_EQ(send(report), 64);
    EXPECT_TRUE(model.requests().size() == 1u);  // failed sends never reached the screen

    model.unplugAfterIoctls(2);
    poll();
    EXPECT_EQ(send(report), 64);
    EXPECT_EQ(model.getFeature(in.data(), in.size()), -ENODEV);
    EXPECT_EQ(send(report), -ENODEV);
    EXPECT_EQ(model.getFeature(in.data(), in.size()), -ENODEV);
}

TEST_F(ScreenModelCommands, BlockTransferCommands) {
    EXPECT_EQ(ask(kSet, 0x80, 0xB8, {0, 0, 0, 0}), kAck);
    std::vector<uint8_t> write = {0, 0, 0x16, 0};
    for (uint8_t i = 0; i < 32; ++i) write.push_back(static_cast<uint8_t>(i + 1));
    EXPECT_EQ(ask(kSet, 0x80, 0xBB, write), kAck);
    const std::vector<uint8_t> read = ask(kQuery, 0x80, 0xBB, {0, 0, 0x16, 0});
    EXPECT_EQ(read[2], 32);
    EXPECT_EQ(std::vector<uint8_t>(read.begin() + 3, read.begin() + 35),
              std::vector<uint8_t>(write.begin() + 4, write.end()));
    EXPECT_EQ(model.block(0x80, 0x16)[31], 32);
    EXPECT_EQ(ask(kQuery, 0x80, 0xBB, {1, 0, 0x16, 0}), kRefused);  // sub-address
    EXPECT_EQ(
        ask(kSet, 0x80, 0xBB, {4,  0,  0x16, 0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                               14, 15, 16,   17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}),
        kRefused);  // runs past the block
    EXPECT_EQ(ask(kSet, 0x80, 0xB9, {0, 0, 0, 0}), kAck);
    EXPECT_EQ(ask(kQuery, 0x80, 0xBB, {0, 0, 0x16, 0}), kRefused);  // transfer closed
}

TEST_F(ScreenModelCommands, SetFormOfTransferCanBeRefused) {
    model.refuseSetFormOfTransfer(true);
    EXPECT_EQ(ask(kSet, 0x80, 0xB8, {0, 0, 0, 0}), kRefused);
    EXPECT_EQ(ask(kControl, 0x80, 0xB8, {0, 0}), kAck);
    EXPECT_EQ(ask(kQuery, 0x80, 0xBB, {0, 0, 5, 0})[2], 32);
    EXPECT_EQ(ask(kControl, 0x80, 0xB8, {0, 0, 0, 0}), kRefused);  // wrong Control length
}

TEST_F(ScreenModelCommands, BlockAccessorsSpanBlocks) {
    std::vector<uint8_t> record(40);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i + 1);
    model.setBlockBytes(0x80, 1, record);
    const std::vector<uint8_t> image = model.blockBytes(0x80, 1, 2);
    ASSERT_EQ(image.size(), 64u);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), image.begin()));
    EXPECT_EQ(image[40], 0);
    EXPECT_EQ(model.block(0x80, 2)[7], 40);
    EXPECT_EQ(model.block(0x80, 3), Block{});
}
