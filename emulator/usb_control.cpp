#include "usb_control.h"

#include <algorithm>
#include <cerrno>

#include "usb_descriptors.h"

namespace tsdemu::usb {
namespace {

// bmRequestType: direction, type and recipient.
constexpr uint8_t kStandardDeviceIn = 0x80;
constexpr uint8_t kStandardDeviceOut = 0x00;
constexpr uint8_t kStandardInterfaceIn = 0x81;
constexpr uint8_t kStandardInterfaceOut = 0x01;
constexpr uint8_t kStandardEndpointOut = 0x02;
constexpr uint8_t kClassInterfaceIn = 0xA1;
constexpr uint8_t kClassInterfaceOut = 0x21;

namespace standard {
constexpr uint8_t kGetStatus = 0x00;
constexpr uint8_t kClearFeature = 0x01;
constexpr uint8_t kGetDescriptor = 0x06;
constexpr uint8_t kGetConfiguration = 0x08;
constexpr uint8_t kSetConfiguration = 0x09;
constexpr uint8_t kGetInterface = 0x0A;
constexpr uint8_t kSetInterface = 0x0B;
}  // namespace standard

namespace hid {
constexpr uint8_t kGetReport = 0x01;
constexpr uint8_t kGetIdle = 0x02;
constexpr uint8_t kSetReport = 0x09;
constexpr uint8_t kSetIdle = 0x0A;
constexpr uint8_t kSetProtocol = 0x0B;
constexpr uint8_t kFeatureReport = 3;  // high byte of wValue
}  // namespace hid

ControlAnswer done(std::vector<uint8_t> data = {}) {
    return {ControlAnswer::Outcome::Done, std::move(data)};
}

ControlAnswer stall() { return {ControlAnswer::Outcome::Stall, {}}; }

ControlAnswer answerDescriptor(const ScreenModel& model, uint16_t value) {
    const auto type = static_cast<uint8_t>(value >> 8);
    const auto index = static_cast<uint8_t>(value);
    const std::size_t reportLength = model.reportDescriptor().size();
    switch (type) {
        case descriptor_type::kDevice:
            return done(deviceDescriptor(model.identity()));
        case descriptor_type::kConfiguration:
            return done(configurationDescriptor(reportLength));
        case descriptor_type::kString:
            if (auto text = stringDescriptor(model.identity(), index)) return done(*text);
            return stall();
        default:
            // Among others the device qualifier: a full-speed device has none.
            return stall();
    }
}

ControlAnswer answerInterfaceDescriptor(const ScreenModel& model, uint16_t value) {
    const auto type = static_cast<uint8_t>(value >> 8);
    if (type == descriptor_type::kReport) return done(model.reportDescriptor());
    if (type == descriptor_type::kHid) return done(hidDescriptor(model.reportDescriptor().size()));
    return stall();
}

ControlAnswer fromModel(long result, std::vector<uint8_t> bytes) {
    if (result == -ENODEV) return {ControlAnswer::Outcome::Vanish, {}};
    if (result < 0) return stall();
    bytes.resize(std::min(bytes.size(), static_cast<std::size_t>(result)));
    return done(std::move(bytes));
}

// The report ID leads the data in both directions, as it does in hidraw's
// feature-report buffers, so the model sees what a hidraw ioctl hands it.
ControlAnswer answerFeature(ScreenModel& model, const usbip::SetupPacket& setup,
                            const std::vector<uint8_t>& out) {
    if (setup.value >> 8 != hid::kFeatureReport) return stall();
    if (setup.request == hid::kSetReport) {
        return fromModel(model.setFeature(out.data(), out.size()), {});
    }
    std::vector<uint8_t> report(setup.length);
    if (report.empty()) return stall();
    report[0] = static_cast<uint8_t>(setup.value);
    const long result = model.getFeature(report.data(), report.size());
    return fromModel(result, std::move(report));
}

ControlAnswer answerClass(ScreenModel& model, const usbip::SetupPacket& setup,
                          const std::vector<uint8_t>& out) {
    switch (setup.request) {
        case hid::kSetIdle:
        case hid::kSetProtocol:
            return done();
        case hid::kGetIdle:
            return done({0});
        case hid::kGetReport:
        case hid::kSetReport:
            return answerFeature(model, setup, out);
        default:
            return stall();
    }
}

}  // namespace

ControlAnswer answerControl(ScreenModel& model, const usbip::SetupPacket& setup,
                            const std::vector<uint8_t>& out) {
    ControlAnswer answer = stall();
    switch (setup.requestType) {
        case kStandardDeviceIn:
            if (setup.request == standard::kGetDescriptor) {
                answer = answerDescriptor(model, setup.value);
            } else if (setup.request == standard::kGetStatus) {
                answer = done({0, 0});
            } else if (setup.request == standard::kGetConfiguration) {
                answer = done({kConfigurationValue});
            }
            break;
        case kStandardDeviceOut:
            if (setup.request == standard::kSetConfiguration) answer = done();
            break;
        case kStandardInterfaceIn:
            if (setup.request == standard::kGetDescriptor) {
                answer = answerInterfaceDescriptor(model, setup.value);
            } else if (setup.request == standard::kGetInterface) {
                answer = done({0});
            }
            break;
        case kStandardInterfaceOut:
            if (setup.request == standard::kSetInterface) answer = done();
            break;
        case kStandardEndpointOut:
            if (setup.request == standard::kClearFeature) answer = done();  // a halt
            break;
        case kClassInterfaceIn:
        case kClassInterfaceOut:
            answer = answerClass(model, setup, out);
            break;
        default:
            break;
    }
    // The host asks for at most wLength bytes and takes no more.
    if (answer.data.size() > setup.length) answer.data.resize(setup.length);
    return answer;
}

}  // namespace tsdemu::usb
