#include <memory>
#include <utility>

#include "common/result.h"
#include "device/hotplug.h"
#include "device/wide_string.h"
#include "touchsdk.h"

namespace touchsdk {
namespace {

void notifyWide(void* context, uint32_t action, const char* devicePath) {
    const auto* caller = static_cast<const WideNotification*>(context);
    const WideString widePath = WideFromNarrow(devicePath);
    // The callback may delete the watcher, and `caller` with it.
    if (caller->callback != nullptr) caller->callback(caller->context, action, widePath.get());
}

bool createNotification(NotificationHandle* handle, TouchScreenNotificationCallbackA callback,
                        void* context, std::unique_ptr<WideNotification> wide) {
    if (handle == nullptr) return false;
    std::unique_ptr<HotplugWatcher> watcher = startWatcher(callback, context);
    if (!watcher) return false;
    watcher->wide = std::move(wide);
    *handle = handleOf(watcher.release());
    return true;
}

}  // namespace
}  // namespace touchsdk

using namespace touchsdk;

extern "C" TSD_API TsdResult TsdCreateTouchScreenNotificationA(
    NotificationHandle* handle, TouchScreenNotificationCallbackA callback, void* context) noexcept {
    return guardedExport([&] { return createNotification(handle, callback, context, nullptr); });
}

extern "C" TSD_API TsdResult TsdCreateTouchScreenNotificationW(
    NotificationHandle* handle, TouchScreenNotificationCallbackW callback, void* context) noexcept {
    return guardedExport([&] {
        auto wide = std::make_unique<WideNotification>(WideNotification{callback, context});
        WideNotification* caller = wide.get();
        return createNotification(handle, notifyWide, caller, std::move(wide));
    });
}

extern "C" TSD_API TsdResult TsdDeleteTouchScreenNotification(NotificationHandle handle) noexcept {
    stopWatcher(std::unique_ptr<HotplugWatcher>(recordOf(handle)));
    return TSD_OK;
}
