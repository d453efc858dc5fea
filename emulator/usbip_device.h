#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "common/unique_fd.h"
#include "screen_model.h"
#include "usbip_wire.h"

namespace tsdemu {

// Plays one screen as a USB device to the kernel's virtual host controller,
// over a connected stream socket, on a thread of its own: every request the
// kernel submits gets exactly one answer, every unlink gets one too.
//
// Input reports go out on the interrupt IN URB the host keeps outstanding
// while the node is open; those pushed while none is outstanding wait here,
// a bounded number of them, the oldest dropped first.
class UsbipDevice {
public:
    UsbipDevice(ScreenModel& model, touchsdk::UniqueFd link);
    // Ends the link, which the kernel takes as an unplug, and joins.
    ~UsbipDevice();
    UsbipDevice(const UsbipDevice&) = delete;
    UsbipDevice& operator=(const UsbipDevice&) = delete;

    void pushReport(const std::vector<uint8_t>& report);
    std::size_t pendingReports() const;
    // True once the host has asked for input reports: a node was opened.
    bool waitUntilOpened(std::chrono::milliseconds timeout) const;
    // False once the link is gone: closed by the kernel, by disconnect(),
    // or because the model made the screen vanish mid-exchange.
    bool linked() const;
    // An unresponsive device takes each request and never completes it, as
    // a hung firmware does; the host's own time-outs unlink them, and those
    // unlinks are still answered.
    void setResponsive(bool responsive);
    void disconnect();

    static constexpr std::size_t kWaitingReportLimit = 64;

private:
    void serve();
    bool step();  // false when the link has ended
    bool answerSubmit(const usbip::Request& request);
    bool answerUnlink(const usbip::Request& request);
    bool answerControl(const usbip::Request& request, const std::vector<uint8_t>& out);
    bool flushReports();
    bool send(const usbip::HeaderBytes& header, const std::vector<uint8_t>& data = {});
    void endLink();

    ScreenModel& model_;
    touchsdk::UniqueFd link_;
    touchsdk::UniqueFd wake_;  // an eventfd: reports to send, or stop

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    // Guarded by mutex_.
    std::deque<std::vector<uint8_t>> reports_;
    bool opened_ = false;
    bool linked_ = true;
    bool responsive_ = true;
    bool stopping_ = false;

    struct HeldUrb {
        uint32_t seqnum;
        uint32_t bufferLength;
    };
    // The serving thread's own: URBs taken and not yet completed.
    std::deque<HeldUrb> interruptUrbs_;
    std::deque<HeldUrb> heldControlUrbs_;

    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace tsdemu
