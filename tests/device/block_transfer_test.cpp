#include "protocol/block_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "open_screen_fixture.h"

using namespace touchsdk;
using tsdemu::CommandFault;
using tsdemu::CommandFrame;
using tsdtest::kControl;
using tsdtest::kQuery;
using tsdtest::kSet;

namespace {

constexpr uint8_t kModule = 0x80;

const CommandFrame kBeginSet{kSet, kModule, 0xB8, {0, 0, 0, 0}};
const CommandFrame kBeginControl{kControl, kModule, 0xB8, {0, 0}};
const CommandFrame kEndSet{kSet, kModule, 0xB9, {0, 0, 0, 0}};

std::vector<uint8_t> recordOfLength(std::size_t length) {
    std::vector<uint8_t> record(length);
    for (std::size_t i = 0; i < length; ++i) record[i] = static_cast<uint8_t>(0x40 + i);
    return record;
}

// A stored image: marker, record, zero filler.
std::vector<uint8_t> imageOf(const std::vector<uint8_t>& record, std::size_t blocks) {
    // Sized first: GCC 12 at -O3 misreads an insert after a one-byte vector.
    std::vector<uint8_t> image(std::max(blocks * 32, record.size() + 1), 0);
    image[0] = 1;
    std::copy(record.begin(), record.end(), image.begin() + 1);
    image.resize(blocks * 32);
    return image;
}

class BlockTransfer : public tsdtest::OpenScreenTest {};

}  // namespace

TEST_F(BlockTransfer, RecordLengthMustLeaveRoomForTheMarker) {
    struct Case {
        int32_t length;
        uint16_t blocks;
        bool accepted;
    };
    const Case cases[] = {{31, 1, true},   {150, 5, true},  {186, 6, true}, {32, 1, false},
                          {160, 5, false}, {192, 6, false}, {0, 0, false},  {-1, 1, false}};
    for (const Case& c : cases) {
        model().setBlockBytes(kModule, 22, imageOf(recordOfLength(191), 6));
        model().clearRequests();
        std::vector<uint8_t> out(192, 0xEE);
        const bool result = readBlocks(handle, kModule, 22, c.blocks, out.data(), c.length);
        const std::vector<CommandFrame> requests = model().requests();
        ASSERT_FALSE(requests.empty()) << c.length;
        EXPECT_EQ(requests[0], kBeginSet) << c.length;
        if (c.accepted) {
            EXPECT_TRUE(result) << c.length;
            EXPECT_EQ(requests.size(), 1u + c.blocks) << c.length;
            const auto length = static_cast<std::size_t>(c.length);
            const std::vector<uint8_t> expected = recordOfLength(length);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin())) << c.length;
            EXPECT_EQ(out[length], 0xEE) << c.length;
        } else {
            EXPECT_FALSE(result) << c.length;
            EXPECT_EQ(requests.size(), 1u) << c.length;
        }
    }
}

TEST_F(BlockTransfer, WritingACalibrationSizedRecordSendsTheseFrames) {
    const std::vector<uint8_t> record = recordOfLength(186);
    ASSERT_TRUE(writeBlocks(handle, kModule, 22, 6, record.data(), 186));
    const std::vector<uint8_t> image = imageOf(record, 6);
    std::vector<CommandFrame> expected = {kBeginSet};
    for (uint8_t k = 0; k < 6; ++k) {
        std::vector<uint8_t> data = {0, 0, static_cast<uint8_t>(0x16 + k), 0};
        const auto at = static_cast<std::ptrdiff_t>(32) * k;
        data.insert(data.end(), image.begin() + at, image.begin() + at + 32);
        expected.push_back({kSet, kModule, 0xBB, data});
    }
    expected.push_back(kEndSet);
    EXPECT_EQ(model().requests(), expected);
    EXPECT_EQ(expected[1].data[4], 1);
    EXPECT_EQ(model().blockBytes(kModule, 22, 6), image);

    std::vector<uint8_t> readBack(186);
    ASSERT_TRUE(readBlocks(handle, kModule, 22, 6, readBack.data(), 186));
    EXPECT_EQ(readBack, record);
}

TEST_F(BlockTransfer, ReadFailsWithoutTheMarker) {
    std::vector<uint8_t> image = imageOf(recordOfLength(40), 2);
    image[0] = 0;
    model().setBlockBytes(kModule, 6, image);
    std::vector<uint8_t> out(40, 0xEE);
    EXPECT_FALSE(readBlocks(handle, kModule, 6, 2, out.data(), 40));
    EXPECT_EQ(model().requests().size(), 3u);  // begin and both blocks: no end after a read
    EXPECT_EQ(out, std::vector<uint8_t>(40, 0xEE));
}

TEST_F(BlockTransfer, BlockReplyOfAnotherLengthFails) {
    for (uint8_t length : {uint8_t{31}, uint8_t{33}}) {
        ASSERT_TRUE(beginBlockTransfer(handle, kModule, 0, 0));
        model().setDataReplyLength(length, 1);
        EXPECT_FALSE(readBlock(handle, kModule, blockAddress(3), nullptr, 32)) << int{length};
        EXPECT_TRUE(readBlock(handle, kModule, blockAddress(3), nullptr, 32));
    }
    model().injectFault(CommandFault::AckInsteadOfData, 1);
    EXPECT_FALSE(readBlock(handle, kModule, blockAddress(3), nullptr, 60));
}

TEST_F(BlockTransfer, RefusedSetFormFallsBackToControl) {
    model().refuseSetFormOfTransfer(true);
    const std::vector<uint8_t> record = recordOfLength(20);
    ASSERT_TRUE(writeBlocks(handle, kModule, 6, 1, record.data(), 20));
    const std::vector<CommandFrame> requests = model().requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0], kBeginSet);
    EXPECT_EQ(requests[1], kBeginControl);
    EXPECT_EQ(requests[3], kEndSet);
    EXPECT_EQ(requests[4], (CommandFrame{kControl, kModule, 0xB9, {0, 0}}));

    model().clearRequests();
    EXPECT_FALSE(beginBlockTransfer(handle, kModule, 1, 0x0203));
    EXPECT_EQ(model().requests(), (std::vector<CommandFrame>{{kSet, kModule, 0xB8, {1, 0, 3, 2}}}));
    model().clearRequests();
    EXPECT_TRUE(beginBlockTransfer(handle, kModule, 0, 0x0203));
    EXPECT_EQ(model().requests().back(), (CommandFrame{kControl, kModule, 0xB8, {3, 2}}));
}

TEST_F(BlockTransfer, SecondRefusalOfBeginFails) {
    model().injectFault(CommandFault::Refused);
    std::vector<uint8_t> out(31);
    EXPECT_FALSE(readBlocks(handle, kModule, 1, 1, out.data(), 31));
    EXPECT_EQ(model().requests(), (std::vector<CommandFrame>{kBeginSet, kBeginControl}));
}

TEST_F(BlockTransfer, FailedBlockWriteKeepsEarlierBlocksAndSendsNoEnd) {
    // Begin and two blocks pass; the third block is refused.
    model().injectFault(CommandFault::Refused, 1, 3);
    const std::vector<uint8_t> record = recordOfLength(150);
    EXPECT_FALSE(writeBlocks(handle, kModule, 22, 5, record.data(), 150));
    const std::vector<CommandFrame> requests = model().requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests.back().command, 0xBB);
    const std::vector<uint8_t> image = imageOf(record, 5);
    EXPECT_EQ(model().blockBytes(kModule, 22, 2),
              std::vector<uint8_t>(image.begin(), image.begin() + 64));
    EXPECT_EQ(model().block(kModule, 24), tsdemu::Block{});
}

TEST_F(BlockTransfer, MissingBuffersAreRefusedBeforeSending) {
    EXPECT_FALSE(writeBlocks(handle, kModule, 22, 6, nullptr, 186));
    EXPECT_FALSE(readBlocks(handle, kModule, 22, 6, nullptr, 186));
    EXPECT_EQ(model().setFeatureCalls(), 0u);
    // An empty record needs no bytes: the image is the marker alone.
    ASSERT_TRUE(writeBlocks(handle, kModule, 30, 1, nullptr, 0));
    EXPECT_EQ(model().block(kModule, 30)[0], 1);
}

TEST_F(BlockTransfer, BlockNumbersWrapAtSixteenBits) {
    const std::vector<uint8_t> record = recordOfLength(40);
    ASSERT_TRUE(writeBlocks(handle, kModule, 0xFFFF, 2, record.data(), 40));
    const std::vector<CommandFrame> requests = model().requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(requests[1].data.begin(), requests[1].data.begin() + 4),
              (std::vector<uint8_t>{0, 0, 0xFF, 0xFF}));
    EXPECT_EQ(std::vector<uint8_t>(requests[2].data.begin(), requests[2].data.begin() + 4),
              (std::vector<uint8_t>{0, 0, 0, 0}));
}
