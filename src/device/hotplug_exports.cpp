#include <memory>
#include <utility>

#include "common/result.h"
#include "device/hotplug.h"
#include "device/wide_string.h"
#include "touchsdk.h"

namespace touchsdk {
namespace {

using WideRecord = std::pair<TouchScreenNotificationCallbackW, void*>;

void notifyWide(void* context, uint32_t action, const char* devicePath) {
    const auto* caller = static_cast<const WideRecord*>(context);
    const WideString widePath = WideFromNarrow(devicePath);
    if (caller->first != nullptr) caller->first(caller->second, action, widePath.get());
}

HotplugWatcher* watcherOf(NotificationHandle handle) {
    return reinterpret_cast<HotplugWatcher*>(handle);
}

NotificationHandle handleOf(HotplugWatcher* watcher) {
    return reinterpret_cast<NotificationHandle>(watcher);
}

}  // namespace
}  // namespace touchsdk

using namespace touchsdk;

extern "C" TSD_API TsdResult TsdCreateTouchScreenNotificationA(
    NotificationHandle* handle, TouchScreenNotificationCallbackA callback, void* context) noexcept {
    return guardedExport([&] {
        if (handle == nullptr) return TSD_FAILURE;
        std::unique_ptr<HotplugWatcher> watcher = startWatcher(callback, context);
        if (!watcher) return TSD_FAILURE;
        *handle = handleOf(watcher.release());
        return TSD_OK;
    });
}

extern "C" TSD_API TsdResult TsdCreateTouchScreenNotificationW(
    NotificationHandle* handle, TouchScreenNotificationCallbackW callback, void* context) noexcept {
    return guardedExport([&] {
        if (handle == nullptr) return TSD_FAILURE;
        auto wide = std::make_unique<WideRecord>(callback, context);
        std::unique_ptr<HotplugWatcher> watcher = startWatcher(notifyWide, wide.get());
        if (!watcher) return TSD_FAILURE;
        watcher->wide = std::move(wide);
        *handle = handleOf(watcher.release());
        return TSD_OK;
    });
}

extern "C" TSD_API TsdResult TsdDeleteTouchScreenNotification(NotificationHandle handle) noexcept {
    stopWatcher(std::unique_ptr<HotplugWatcher>(watcherOf(handle)));
    return TSD_OK;
}
