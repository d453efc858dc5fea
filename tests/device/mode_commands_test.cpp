#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "open_screen_fixture.h"

using tsdemu::CommandFault;
using tsdemu::CommandFrame;
using tsdtest::kQuery;
using tsdtest::kSet;

namespace {

class ModeCommands : public tsdtest::OpenScreenTest {};

struct DataModeRow {
    uint32_t value;
    uint8_t screenByte;
};
// Values 3 and 4 swap their place among the screen bytes.
constexpr DataModeRow kDataModes[] = {{0, 0xF0}, {1, 0xF1}, {2, 0xF2}, {3, 0xFF}, {4, 0xFE}};

}  // namespace

TEST_F(ModeCommands, DataModeValuesMapToScreenBytes) {
    for (const DataModeRow& row : kDataModes) {
        model().clearRequests();
        ASSERT_EQ(TsdSetTouchScreenDataMode(handle, row.value), TSD_OK) << row.value;
        EXPECT_EQ(model().requests(),
                  (std::vector<CommandFrame>{{kSet, 0x80, 0xE1, {row.screenByte}}}));
        model().setDataModeByte(row.screenByte);
        uint8_t mode = 0xAA;
        ASSERT_EQ(TsdGetTouchScreenDataMode(handle, &mode), TSD_OK) << row.value;
        EXPECT_EQ(mode, row.value);
    }
}

TEST_F(ModeCommands, InvalidValuesAreRefusedBeforeSending) {
    EXPECT_EQ(TsdSetTouchScreenDataMode(handle, 5), TSD_FAILURE);
    EXPECT_EQ(TsdSetTouchScreenHidMode(handle, 3), TSD_FAILURE);
    EXPECT_EQ(TsdSetTouchScreenWorkingMode(handle, 2), TSD_FAILURE);
    EXPECT_EQ(TsdSetTouchScreenDataMode(handle, 0x100), TSD_FAILURE);
    EXPECT_TRUE(model().requests().empty());
    EXPECT_EQ(model().setFeatureCalls(), 0u);
}

TEST_F(ModeCommands, InvalidScreenBytesLeaveTheCallersVariable) {
    struct Case {
        const char* name;
        void (tsdemu::ScreenModel::*seed)(uint8_t);
        uint8_t screenByte;
        TsdResult (*get)(TouchScreenHandle, uint8_t*);
    };
    const Case cases[] = {
        {"data mode F3", &tsdemu::ScreenModel::setDataModeByte, 0xF3, TsdGetTouchScreenDataMode},
        {"data mode 00", &tsdemu::ScreenModel::setDataModeByte, 0x00, TsdGetTouchScreenDataMode},
        {"hid mode 3", &tsdemu::ScreenModel::setHidMode, 3, TsdGetTouchScreenHidMode},
    };
    for (const Case& c : cases) {
        (model().*c.seed)(c.screenByte);
        uint8_t mode = 0x5C;
        EXPECT_EQ(c.get(handle, &mode), TSD_FAILURE) << c.name;
        EXPECT_EQ(mode, 0x5C) << c.name;
    }
    model().setWorkingMode(0x80, 2);
    uint8_t mode = 0x5C;
    EXPECT_EQ(TsdGetTouchScreenWorkingMode(handle, &mode), TSD_FAILURE);
    EXPECT_EQ(mode, 0x5C);
}

TEST_F(ModeCommands, GetWithoutOutPointerStillAsksAndValidates) {
    model().setHidMode(2);
    EXPECT_EQ(TsdGetTouchScreenHidMode(handle, nullptr), TSD_OK);
    model().setHidMode(3);
    EXPECT_EQ(TsdGetTouchScreenHidMode(handle, nullptr), TSD_FAILURE);
    EXPECT_EQ(model().requests().size(), 2u);
}

TEST_F(ModeCommands, AckInsteadOfDataFailsAGet) {
    model().injectFault(CommandFault::AckInsteadOfData, 1);
    uint8_t mode = 0x5C;
    EXPECT_EQ(TsdGetTouchScreenDataMode(handle, &mode), TSD_FAILURE);
    EXPECT_EQ(mode, 0x5C);
    model().setDataReplyLength(2, 1);
    EXPECT_EQ(TsdGetTouchScreenHidMode(handle, &mode), TSD_FAILURE);
    EXPECT_EQ(mode, 0x5C);
}

TEST_F(ModeCommands, WorkingModeReachesTheListedModulesInOrder) {
    ASSERT_EQ(TsdSetTouchScreenWorkingMode(handle, 1), TSD_OK);
    EXPECT_EQ(model().requests(),
              (std::vector<CommandFrame>{{kQuery, 0x80, 0xAE, {}}, {kSet, 0x80, 0xA2, {1}}}));
    model().clearRequests();
    model().setModuleList({0x81, 0x82});
    ASSERT_EQ(TsdSetTouchScreenWorkingMode(handle, 1), TSD_OK);
    EXPECT_EQ(model().requests(), (std::vector<CommandFrame>{{kQuery, 0x80, 0xAE, {}},
                                                             {kSet, 0x80, 0xA2, {1}},
                                                             {kSet, 0x81, 0xA2, {1}},
                                                             {kSet, 0x82, 0xA2, {1}}}));
    EXPECT_EQ(model().workingMode(0x82), 1);
    uint8_t mode = 0;
    ASSERT_EQ(TsdGetTouchScreenWorkingMode(handle, &mode), TSD_OK);
    EXPECT_EQ(mode, 1);
}

TEST_F(ModeCommands, WorkingModeStopsAtTheFirstFailingModule) {
    model().setModuleList({0x81, 0x82, 0x83});
    // Let the list query, the controller and 0x81 through; refuse 0x82.
    model().injectFault(CommandFault::Refused, 1, 3);
    EXPECT_EQ(TsdSetTouchScreenWorkingMode(handle, 1), TSD_FAILURE);
    EXPECT_EQ(model().requests().size(), 4u);
    EXPECT_EQ(model().workingMode(0x81), 1);
    EXPECT_EQ(model().workingMode(0x82), 0);
    EXPECT_EQ(model().workingMode(0x83), 0);
}

TEST_F(ModeCommands, FailedModuleListChangesNothing) {
    model().injectFault(CommandFault::Refused, 1);
    EXPECT_EQ(TsdSetTouchScreenWorkingMode(handle, 1), TSD_FAILURE);
    EXPECT_EQ(model().requests().size(), 1u);
    EXPECT_EQ(model().workingMode(0x80), 0);
}

TEST_F(ModeCommands, Restart) {
    EXPECT_EQ(TsdRestartTouchScreen(handle), TSD_OK);
    EXPECT_EQ(model().restarts(), 1u);
    model().injectFault(CommandFault::Refused, 1);
    EXPECT_EQ(TsdRestartTouchScreen(handle), TSD_FAILURE);
}

TEST_F(ModeCommands, NullHandleFailsEveryExport) {
    uint8_t mode = 0x5C;
    EXPECT_EQ(TsdGetTouchScreenWorkingMode(nullptr, &mode), TSD_FAILURE);
    EXPECT_EQ(TsdSetTouchScreenWorkingMode(nullptr, 1), TSD_FAILURE);
    EXPECT_EQ(TsdGetTouchScreenDataMode(nullptr, &mode), TSD_FAILURE);
    EXPECT_EQ(TsdSetTouchScreenDataMode(nullptr, 1), TSD_FAILURE);
    EXPECT_EQ(TsdGetTouchScreenHidMode(nullptr, &mode), TSD_FAILURE);
    EXPECT_EQ(TsdSetTouchScreenHidMode(nullptr, 1), TSD_FAILURE);
    EXPECT_EQ(TsdRestartTouchScreen(nullptr), TSD_FAILURE);
    EXPECT_EQ(mode, 0x5C);
}

// Each thread owns one of the screen's settings, so a value read back that
// is not the one the thread set means two threads' reports interleaved.
TEST_F(ModeCommands, FourThreadsOnOneHandleEachGetTheirOwnAnswers) {
    constexpr int kRounds = 40;
    std::atomic<int> mismatches{0};
    std::atomic<uint32_t> restarts{0};
    auto cycle = [&](TsdResult (*set)(TouchScreenHandle, uint32_t),
                     TsdResult (*get)(TouchScreenHandle, uint8_t*), uint32_t values) {
        for (int round = 0; round < kRounds; ++round) {
            const auto value = static_cast<uint32_t>(round) % values;
            uint8_t readBack = 0xAA;
            if (set(handle, value) != TSD_OK || get(handle, &readBack) != TSD_OK ||
                readBack != value) {
                ++mismatches;
            }
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(cycle, TsdSetTouchScreenDataMode, TsdGetTouchScreenDataMode, 5u);
    threads.emplace_back(cycle, TsdSetTouchScreenHidMode, TsdGetTouchScreenHidMode, 3u);
    threads.emplace_back(cycle, TsdSetTouchScreenWorkingMode, TsdGetTouchScreenWorkingMode, 2u);
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            if (TsdRestartTouchScreen(handle) == TSD_OK) ++restarts;
        }
    });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(restarts.load(), static_cast<uint32_t>(kRounds));
    EXPECT_EQ(model().restarts(), static_cast<uint32_t>(kRounds));
}
