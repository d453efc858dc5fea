#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "calibration/calibration_record.h"
#include "calibration_fixture.h"
#include "calibration_sensor.h"

namespace tsdtest {
namespace {

using tsdemu::CommandFault;
using Traffic = std::vector<std::string>;

constexpr uint8_t kController = 0x80;
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Three samples that give the identity in the screen's own range.
const std::vector<CalibrationPoint> kIdentity = {{0, 0, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}};

class CalibrationExports : public OpenScreenTest {
protected:
    TsdResult preview(const std::vector<CalibrationPoint>& points) {
        return TsdCalibrationFullScreenPreview(handle, 0, 4095, 0, 4095, points.data(),
                                               static_cast<uint32_t>(points.size()));
    }

    // The preview slot's image, marker first.
    std::vector<uint8_t> previewImage() { return model().blockBytes(kController, 22, 6); }
    std::vector<uint8_t> activeImage() { return model().blockBytes(kController, 6, 6); }

    // Seeds a slot with a stored record whose flags byte tells it apart.
    void seedSlot(uint16_t first, uint8_t flags) {
        std::vector<uint8_t> image(std::size_t{6} * 32, 0);
        image[0] = 1;
        image[1] = flags;
        image[186] = 1;
        model().setBlockBytes(kController, first, image);
    }

    // The screen refuses the exchange numbered `failing` (from 1) and all
    // after it, without carrying them out.
    void failFromExchange(uint32_t failing) {
        model().injectFault(CommandFault::Refused, tsdemu::kAlways, failing - 1);
    }
};

TEST_F(CalibrationExports, PreviewReadsRangeWritesPreviewSlotAndSwitches) {
    ASSERT_EQ(preview(kIdentity), TSD_OK);
    EXPECT_EQ(trafficOf(model()), joined({blockReads(1, 5), blockWrites(22, 6), {kPreviewOn}}));
    EXPECT_EQ(model().requests().size(), 15u);

    const auto image = previewImage();
    EXPECT_EQ(image[0], 1);
    EXPECT_EQ(image[1], touchsdk::kLinearFlags);
    EXPECT_EQ(image[1 + 185], 1) << "valid";
    // The first block write carries the address and the first 32 image bytes.
    const auto first = model().requests()[7];
    ASSERT_EQ(first.data.size(), 36u);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 32, first.data.begin() + 4));
    EXPECT_EQ(model().previewSwitch(), 1);
}

TEST_F(CalibrationExports, ApplyCopiesThePreviewRecordUnexamined) {
    seedSlot(22, 0xA7);  // not a record the library would make
    ASSERT_EQ(TsdCalibrationApplyPreview(handle), TSD_OK);
    EXPECT_EQ(trafficOf(model()), joined({blockReads(22, 6), blockWrites(6, 6), {kPreviewOff}}));
    EXPECT_EQ(model().requests().size(), 16u);
    const auto active = activeImage();
    const auto previewed = previewImage();
    EXPECT_TRUE(std::equal(active.begin(), active.begin() + 187, previewed.begin()));
    EXPECT_EQ(model().previewSwitch(), 0);
}

TEST_F(CalibrationExports, ResetStoresAnInvalidRecordAndSwitchesOff) {
    seedSlot(6, touchsdk::kPolynomialFlags);
    ASSERT_EQ(TsdCalibrationReset(handle), TSD_OK);
    EXPECT_EQ(trafficOf(model()), joined({blockWrites(6, 6), {kPreviewOff}}));
    EXPECT_EQ(model().requests().size(), 9u);
    const auto active = activeImage();
    EXPECT_EQ(active[0], 1);
    EXPECT_EQ(active[1 + 185], 0) << "valid";
}

TEST_F(CalibrationExports, CancelSendsOneCommandAndLeavesBothSlots) {
    seedSlot(6, 0x0D);
    seedSlot(22, 0x0F);
    const auto active = activeImage();
    const auto previewed = previewImage();
    ASSERT_EQ(TsdCalibrationCancelPreview(handle), TSD_OK);
    EXPECT_EQ(trafficOf(model()), Traffic{kPreviewOff});
    EXPECT_EQ(activeImage(), active);
    EXPECT_EQ(previewImage(), previewed);
}

TEST_F(CalibrationExports, UnusableInputIsRefusedBeforeAnyTraffic) {
    struct Case {
        const char* what;
        float range[4];
        std::vector<CalibrationPoint> points;
        bool nullPoints;
    };
    const Case cases[] = {
        {"null points", {0, 4095, 0, 4095}, kIdentity, true},
        {"equal x ends", {7, 7, 0, 4095}, kIdentity, false},
        {"equal y ends", {0, 4095, 9, 9}, kIdentity, false},
        {"NaN range", {0, kNan, 0, 4095}, kIdentity, false},
        {"infinite range", {0, 4095, -kInf, 4095}, kIdentity, false},
        {"NaN touch", {0, 4095, 0, 4095}, {{0, 0, 0, 0}, {kNan, 0, 1, 0}, {0, 1, 0, 1}}, false},
        {"infinite target",
         {0, 4095, 0, 4095},
         {{0, 0, 0, 0}, {1, 0, kInf, 0}, {0, 1, 0, 1}},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CalibrationPoint* points = c.nullPoints ? nullptr : c.points.data();
        EXPECT_EQ(TsdCalibrationFullScreenPreview(handle, c.range[0], c.range[1], c.range[2],
                                                  c.range[3], points, 3),
                  TSD_FAILURE);
        EXPECT_TRUE(model().requests().empty());
    }
}

TEST_F(CalibrationExports, ModelThatCannotBeBuiltIsNeverWritten) {
    std::vector<CalibrationPoint> flat;  // every touchY 0: singular, not retried
    for (int i = 0; i < 10; ++i)
        flat.push_back({static_cast<float>(i) * 300, 0, static_cast<float>(i) * 300, 0});
    // Touches 1e-30 apart for targets 1000 apart: coefficients beyond a float.
    const std::vector<CalibrationPoint> overflowing = {
        {0, 0, 0, 0}, {1e-30f, 0, 1000, 0}, {0, 1e-30f, 0, 1000}};
    const std::vector<std::vector<CalibrationPoint>> cases = {
        {}, {kIdentity[0]}, {kIdentity[0], kIdentity[1]}, flat, overflowing};

    const auto before = previewImage();
    for (const auto& points : cases) {
        SCOPED_TRACE(points.size());
        model().clearRequests();
        EXPECT_EQ(preview(points), TSD_FAILURE);
        EXPECT_EQ(trafficOf(model()), blockReads(1, 5)) << "parameters read, nothing written";
    }
    EXPECT_EQ(previewImage(), before);
    EXPECT_EQ(model().previewSwitch(), 0);
}

TEST_F(CalibrationExports, UnreadableParametersEndThePreview) {
    model().setBlock(kController, 1, tsdemu::Block{});  // marker gone
    EXPECT_EQ(preview(kIdentity), TSD_FAILURE);
    EXPECT_EQ(trafficOf(model()), blockReads(1, 5));
}

TEST_F(CalibrationExports, FailedSwitchKeepsTheWrittenPreview) {
    failFromExchange(15);
    EXPECT_EQ(preview(kIdentity), TSD_FAILURE);
    model().clearFaults();
    EXPECT_EQ(trafficOf(model()), joined({blockReads(1, 5), blockWrites(22, 6), {kPreviewOn}}));
    EXPECT_EQ(previewImage()[1], touchsdk::kLinearFlags) << "the written record stays";
    EXPECT_EQ(model().previewSwitch(), 0);
}

TEST_F(CalibrationExports, FailedBlockWriteSendsNoEndAndNoSwitch) {
    failFromExchange(10);  // the third block of the preview slot
    EXPECT_EQ(preview(kIdentity), TSD_FAILURE);
    model().clearFaults();
    const Traffic sent = trafficOf(model());
    const Traffic expected = joined({blockReads(1, 5), blockWrites(22, 6)});
    EXPECT_EQ(sent, Traffic(expected.begin(), expected.begin() + 10));
    const auto image = previewImage();
    EXPECT_EQ(image[1], touchsdk::kLinearFlags) << "earlier blocks stay written";
    EXPECT_EQ(image[64], 0) << "the refused block is not";
}

TEST_F(CalibrationExports, ApplyStopsAtTheFirstFailingStep) {
    // An empty preview slot cannot be read: nothing is written.
    EXPECT_EQ(TsdCalibrationApplyPreview(handle), TSD_FAILURE);
    EXPECT_EQ(trafficOf(model()), blockReads(22, 6));

    seedSlot(22, 0x0F);
    model().clearRequests();
    failFromExchange(8 + 1);  // the active slot's first block
    EXPECT_EQ(TsdCalibrationApplyPreview(handle), TSD_FAILURE);
    model().clearFaults();
    const Traffic expected = joined({blockReads(22, 6), blockWrites(6, 6)});
    EXPECT_EQ(trafficOf(model()), Traffic(expected.begin(), expected.begin() + 9));
}

TEST_F(CalibrationExports, ResetStopsWhenTheTransferIsRefused) {
    seedSlot(6, 0x0F);
    model().injectFault(CommandFault::Refused, 2);  // both forms of begin
    EXPECT_EQ(TsdCalibrationReset(handle), TSD_FAILURE);
    EXPECT_EQ(trafficOf(model()), (Traffic{"2D B8 00000000", "3C B8 0000"}));
    EXPECT_EQ(activeImage()[1], 0x0F);
}

TEST_F(CalibrationExports, OlderScreensGetTheControlFormOfBeginAndEnd) {
    model().refuseSetFormOfTransfer(true);
    ASSERT_EQ(preview(kIdentity), TSD_OK);
    const Traffic sent = trafficOf(model());
    ASSERT_EQ(sent.size(), 18u);
    EXPECT_EQ(sent.front(), "2D B8 00000000");
    EXPECT_EQ(sent[1], "3C B8 0000");
    EXPECT_EQ(sent[sent.size() - 3], "2D B9 00000000");
    EXPECT_EQ(sent[sent.size() - 2], "3C B9 0000");
    EXPECT_EQ(sent.back(), kPreviewOn);
}

TEST_F(CalibrationExports, NullHandleFailsEveryExport) {
    EXPECT_EQ(TsdCalibrationFullScreenPreview(nullptr, 0, 1, 0, 1, kIdentity.data(), 3),
              TSD_FAILURE);
    EXPECT_EQ(TsdCalibrationApplyPreview(nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdCalibrationCancelPreview(nullptr), TSD_FAILURE);
    EXPECT_EQ(TsdCalibrationReset(nullptr), TSD_FAILURE);
    EXPECT_TRUE(model().requests().empty());
}

TEST_F(CalibrationExports, CallsFromTwoThreadsDoNotInterleave) {
    // Interleaved transfers would cross blocks between the two slots or
    // answer one thread's read with the other's write.
    auto previews = [&] {
        for (int i = 0; i < 3; ++i) EXPECT_EQ(preview(kIdentity), TSD_OK);
    };
    auto applies = [&] {
        for (int i = 0; i < 3; ++i) EXPECT_EQ(TsdCalibrationApplyPreview(handle), TSD_OK);
    };
    ASSERT_EQ(preview(kIdentity), TSD_OK);
    std::thread first(previews);
    std::thread second(applies);
    first.join();
    second.join();
    EXPECT_EQ(model().requests().size(), 15u * 4 + 16u * 3);
}

}  // namespace
}  // namespace tsdtest
