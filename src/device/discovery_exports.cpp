#include "common/result.h"
#include "device/discovery.h"
#include "device/wide_string.h"
#include "protocol/command_frame.h"
#include "touchsdk.h"

namespace touchsdk {
namespace {

struct WideEnumeration {
    TouchScreenEnumCallbackW callback;
    void* context;
};

void reportWide(void* context, const char* syspath, const wchar_t* serialNumber) {
    const auto* caller = static_cast<const WideEnumeration*>(context);
    const WideString widePath = WideFromNarrow(syspath);
    caller->callback(caller->context, widePath.get(), serialNumber);
}

}  // namespace
}  // namespace touchsdk

using namespace touchsdk;

extern "C" TSD_API void TsdEnumTouchScreensA(TouchScreenEnumCallbackA callback,
                                             void* context) noexcept {
    guardedVoidExport([&] {
        enumerateTouchScreens(callback, context, SupportedDeviceList.data(), kCommandReportId);
    });
}

extern "C" TSD_API void TsdEnumTouchScreensW(TouchScreenEnumCallbackW callback,
                                             void* context) noexcept {
    guardedVoidExport([&] {
        WideEnumeration caller{callback, context};
        enumerateTouchScreens(callback != nullptr ? reportWide : nullptr, &caller,
                              SupportedDeviceList.data(), kCommandReportId);
    });
}
