#include "usbip_device.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <string>
#include <vector>

#include "command_wire.h"
#include "usbip_wire.h"

using namespace tsdemu;

namespace {

constexpr uint32_t kIn = usbip::kDirectionIn;
constexpr uint32_t kOut = usbip::kDirectionOut;

struct Returned {
    usbip::Reply reply;
    std::vector<uint8_t> data;
};

// The kernel's side of the link, as vhci_hcd plays it: submits and unlinks
// out, returns in. Every receive gives up after a few seconds, so that a
// device that fails to answer fails the test instead of hanging it.
class VirtualHost {
public:
    explicit VirtualHost(touchsdk::UniqueFd link) : link_(std::move(link)) {
        timeval bound{5, 0};
        ::setsockopt(link_.get(), SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    }

    uint32_t submit(uint32_t direction, uint32_t endpoint, uint32_t length,
                    usbip::SetupPacket setup = {}, const std::vector<uint8_t>& out = {}) {
        usbip::Request request;
        request.seqnum = ++seqnum_;
        request.direction = direction;
        request.endpoint = endpoint;
        request.bufferLength = length;
        request.setup = setup;
        const usbip::HeaderBytes header = usbip::encodeSubmit(request);
        ::send(link_.get(), header.data(), header.size(), MSG_NOSIGNAL);
        if (!out.empty()) ::send(link_.get(), out.data(), out.size(), MSG_NOSIGNAL);
        return request.seqnum;
    }

    uint32_t unlink(uint32_t victim) {
        const usbip::HeaderBytes header = usbip::encodeUnlink(++seqnum_, victim);
        ::send(link_.get(), header.data(), header.size(), MSG_NOSIGNAL);
        return seqnum_;
    }

    // The next return; an IN return brings its data. Empty once the link ended.
    std::optional<Returned> next(bool in) {
        usbip::HeaderBytes header;
        if (::recv(link_.get(), header.data(), header.size(), MSG_WAITALL) !=
            static_cast<ssize_t>(header.size())) {
            return std::nullopt;
        }
        std::optional<usbip::Reply> reply = usbip::decodeReply(header);
        if (!reply) return std::nullopt;
        Returned returned{*reply, {}};
        if (in && reply->command == usbip::Command::ReturnSubmit && reply->actualLength > 0) {
            returned.data.resize(reply->actualLength);
            ::recv(link_.get(), returned.data.data(), returned.data.size(), MSG_WAITALL);
        }
        return returned;
    }

    // A control transfer on endpoint 0, completed: its status and IN data.
    Returned control(usbip::SetupPacket setup, const std::vector<uint8_t>& out = {}) {
        const bool in = (setup.requestType & 0x80) != 0;
        const uint32_t seqnum = submit(
            in ? kIn : kOut, 0, static_cast<uint32_t>(in ? setup.length : out.size()), setup, out);
        std::optional<Returned> returned = next(in);
        EXPECT_TRUE(returned && returned->reply.seqnum == seqnum);
        return returned.value_or(Returned{});
    }

    std::vector<uint8_t> descriptor(uint8_t requestType, uint8_t type, uint8_t index,
                                    uint16_t length) {
        const Returned returned =
            control({requestType, 0x06, static_cast<uint16_t>(type << 8 | index), 0, length});
        EXPECT_EQ(returned.reply.status, usbip::kStatusOk) << "descriptor " << int(type);
        return returned.data;
    }

    // Unlinks `victim`; the status of the answer, which must come next.
    int32_t unlinkStatus(uint32_t victim) {
        const uint32_t seqnum = unlink(victim);
        const std::optional<Returned> returned = next(false);
        const bool answered = returned && returned->reply.command == usbip::Command::ReturnUnlink &&
                              returned->reply.seqnum == seqnum;
        EXPECT_TRUE(answered) << "no answer to the unlink of " << victim;
        return answered ? returned->reply.status : 1;
    }

    bool ended() {
        uint8_t byte;
        return ::recv(link_.get(), &byte, 1, 0) == 0;
    }

private:
    touchsdk::UniqueFd link_;
    uint32_t seqnum_ = 0;
};

struct Linked {
    Linked() {
        int ends[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        host = std::make_unique<VirtualHost>(touchsdk::UniqueFd(ends[0]));
        device = std::make_unique<UsbipDevice>(model, touchsdk::UniqueFd(ends[1]));
    }
    ScreenModel model{ScreenIdentity{}};
    std::unique_ptr<VirtualHost> host;
    std::unique_ptr<UsbipDevice> device;
};

std::string utf16(const std::vector<uint8_t>& descriptor) {
    std::string text;
    for (std::size_t i = 2; i + 1 < descriptor.size(); i += 2) text += char(descriptor[i]);
    return text;
}

std::vector<uint8_t> requestTo(uint8_t module) {
    std::vector<uint8_t> report(kCommandReportSize, 0);
    report[0] = kCommandReportId;
    report[1] = frame_type::kQuery;
    report[2] = module;
    report[3] = 0x01;
    report[5] = static_cast<uint8_t>(module + 0x01);  // checksum over module..length
    return report;
}

}  // namespace

// What vhci_hcd and usbhid ask of a screen from attach to an open node, the
// command channel, input reports, unlinks, and the faults a kernel can see.
TEST(UsbipDevice, AnswersTheKernelFromEnumerationToUnplug) {
    Linked link;
    VirtualHost& host = *link.host;

    // Enumeration, in the order the kernel asks.
    const std::vector<uint8_t> device = host.descriptor(0x80, 0x01, 0, 64);
    ASSERT_EQ(device.size(), 18U);
    EXPECT_EQ(device[8] | device[9] << 8, 0xE2C4);
    EXPECT_EQ(device[10] | device[11] << 8, 0x0001);
    EXPECT_EQ(host.descriptor(0x80, 0x02, 0, 9).size(), 9U);
    const std::vector<uint8_t> configuration = host.descriptor(0x80, 0x02, 0, 255);
    ASSERT_EQ(configuration.size(), 34U);
    const std::size_t reportLength = link.model.reportDescriptor().size();
    EXPECT_EQ(configuration[25] | configuration[26] << 8, reportLength);  // in the HID descriptor
    EXPECT_EQ(configuration[29], 0x81);                                   // interrupt IN
    EXPECT_EQ(host.descriptor(0x80, 0x03, 0, 255), (std::vector<uint8_t>{4, 3, 0x09, 0x04}));
    EXPECT_EQ(utf16(host.descriptor(0x80, 0x03, 2, 255)), "Emulated Touch Screen");
    EXPECT_EQ(utf16(host.descriptor(0x80, 0x03, 3, 255)), "EMU000001");
    EXPECT_EQ(host.control({0x80, 0x06, 0x0600, 0, 10}).reply.status, usbip::kStatusStall)
        << "a full-speed device has no device qualifier";
    EXPECT_EQ(host.control({0x00, 0x09, 1, 0, 0}).reply.status, usbip::kStatusOk);
    EXPECT_EQ(host.control({0x21, 0x0A, 0, 0, 0}).reply.status, usbip::kStatusOk);  // SET_IDLE
    EXPECT_EQ(host.descriptor(0x81, 0x22, 0, static_cast<uint16_t>(reportLength + 64)),
              link.model.reportDescriptor());

    // The command channel: SET_REPORT then GET_REPORT of feature report 0x55.
    const Returned set = host.control({0x21, 0x09, 0x0355, 0, 64}, requestTo(0xEE));
    EXPECT_EQ(set.reply.status, usbip::kStatusOk);
    EXPECT_EQ(set.reply.actualLength, 64U);
    ASSERT_EQ(link.model.requests().size(), 1U);
    EXPECT_EQ(link.model.requests()[0].module, 0xEE);
    const AnswerReport refused = reportOf(bareFrame(frame_type::kRefused));
    EXPECT_EQ(host.control({0xA1, 0x01, 0x0355, 0, 64}).data,
              std::vector<uint8_t>(refused.begin(), refused.end()));
    link.model.failIoctls(EPIPE, 1);
    EXPECT_EQ(host.control({0xA1, 0x01, 0x0355, 0, 64}).reply.status, usbip::kStatusStall);

    // Input reports: one per URB, those without an URB wait for the next.
    EXPECT_FALSE(link.device->waitUntilOpened(std::chrono::milliseconds(0)));
    link.device->pushReport({0x36, 1, 2, 3});
    const uint32_t first = host.submit(kIn, 1, 64);
    EXPECT_TRUE(link.device->waitUntilOpened(std::chrono::seconds(5)));
    std::optional<Returned> report = host.next(true);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->reply.seqnum, first);
    EXPECT_EQ(report->data, (std::vector<uint8_t>{0x36, 1, 2, 3}));

    // Unlinks: an URB still held comes back reset, a completed one is never
    // completed again.
    EXPECT_EQ(host.unlinkStatus(first), usbip::kStatusOk);
    EXPECT_EQ(host.unlinkStatus(host.submit(kIn, 1, 64)), usbip::kStatusUnlinked);

    // A hung firmware takes a request and keeps it until the host gives up.
    link.device->setResponsive(false);
    EXPECT_EQ(host.unlinkStatus(host.submit(kIn, 0, 64, {0xA1, 0x01, 0x0355, 0, 64})),
              usbip::kStatusUnlinked);
    link.device->setResponsive(true);

    // The screen going away mid-exchange ends the link, as an unplug does.
    link.model.unplugAfterIoctls(0);
    host.submit(kIn, 0, 64, {0xA1, 0x01, 0x0355, 0, 64});
    EXPECT_TRUE(host.ended());
    EXPECT_FALSE(link.device->linked());
}
