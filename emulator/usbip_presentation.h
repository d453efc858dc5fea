#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "presentation.h"
#include "usbip_device.h"
#include "vhci_attach.h"

namespace tsdemu {

// A screen on the kernel's USB/IP virtual host controller: usbhid binds it,
// and the node, the sysfs chain and the uevents are the kernel's own.
class UsbipScreen : public PresentedScreen {
public:
    explicit UsbipScreen(const ScreenIdentity& identity);
    ~UsbipScreen() override;
    UsbipScreen(const UsbipScreen&) = delete;
    UsbipScreen& operator=(const UsbipScreen&) = delete;

    ScreenModel& model() override { return model_; }
    const std::string& syspath() const override { return chain_.back(); }
    const std::string& devnode() const override { return devnode_; }
    std::vector<std::string> chainSyspaths() const override { return chain_; }
    bool plugged() const override { return device_->linked(); }
    void pushReport(const std::vector<uint8_t>& report) override { device_->pushReport(report); }
    std::size_t pendingReports() const override { return device_->pendingReports(); }
    bool waitUntilOpened(std::chrono::milliseconds timeout) const override {
        return device_->waitUntilOpened(timeout);
    }

    // A screen whose firmware hangs: requests are taken and never answered.
    void setResponsive(bool responsive) { device_->setResponsive(responsive); }
    void unplug();

private:
    ScreenModel model_;
    touchsdk::UniqueFd link_;
    VhciPort port_;
    std::unique_ptr<UsbipDevice> device_;
    std::string devnode_;
    std::vector<std::string> chain_;  // usb_device ... hidraw
    bool unplugged_ = false;
};

class UsbipPresentation : public Presentation {
public:
    UsbipPresentation();  // throws when USB/IP cannot be had here

    UsbipScreen& plug(const ScreenIdentity& identity) override;
    void unplug(PresentedScreen& screen) override;

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<UsbipScreen>> screens_;  // guarded by mutex_
};

}  // namespace tsdemu
