// The eleven callback-manager exports: argument checks and result mapping
// around the manager's operations.
#include <memory>

#include "common/result.h"
#include "touch/callback_manager.h"
#include "touch/report_decoding.h"

using namespace touchsdk;

namespace {

template <typename Callback>
TsdResult registerExport(CallbackManagerHandle handle, uint8_t reportId, Callback callback,
                         void* context) noexcept {
    return guardedExport([&] {
        CallbackManager* manager = recordOf(handle);
        if (manager == nullptr) return false;
        return registerCallback(*manager, reportId, reinterpret_cast<ErasedCallback>(callback),
                                context);
    });
}

TsdResult unregisterExport(CallbackManagerHandle handle, uint8_t reportId) noexcept {
    return guardedExport([&] {
        CallbackManager* manager = recordOf(handle);
        if (manager == nullptr) return false;
        return unregisterCallback(*manager, reportId);
    });
}

}  // namespace

extern "C" {

TSD_API TsdResult TsdCreateCallbackManager(CallbackManagerHandle* manager,
                                           TouchScreenHandle handle) noexcept {
    return guardedExport([&] {
        if (manager == nullptr) return false;
        *manager = handleOf(std::make_unique<CallbackManager>(handle).release());
        return true;
    });
}

TSD_API TsdResult TsdRegisterTouchCallback(CallbackManagerHandle manager, TouchCallback callback,
                                           void* context) noexcept {
    return registerExport(manager, kTouchReportId, callback, context);
}

TSD_API TsdResult TsdUnregisterTouchCallback(CallbackManagerHandle manager) noexcept {
    return unregisterExport(manager, kTouchReportId);
}

TSD_API TsdResult TsdRegisterRawtouchCallback(CallbackManagerHandle manager,
                                              RawtouchCallback callback, void* context) noexcept {
    return registerExport(manager, kRawtouchReportId, callback, context);
}

TSD_API TsdResult TsdUnregisterRawtouchCallback(CallbackManagerHandle manager) noexcept {
    return unregisterExport(manager, kRawtouchReportId);
}

TSD_API TsdResult TsdRegisterDiagnosisCallback(CallbackManagerHandle manager,
                                               DiagnosisCallback callback,
                                               void* context) noexcept {
    return registerExport(manager, kDiagnosisReportId, callback, context);
}

TSD_API TsdResult TsdUnregisterDiagnosisCallback(CallbackManagerHandle manager) noexcept {
    return unregisterExport(manager, kDiagnosisReportId);
}

TSD_API TsdResult TsdRegisterVirtualKeyCallback(CallbackManagerHandle manager,
                                                VirtualKeyCallback callback,
                                                void* context) noexcept {
    return registerExport(manager, kVirtualKeyReportId, callback, context);
}

TSD_API TsdResult TsdUnregisterVirtualKeyCallback(CallbackManagerHandle manager) noexcept {
    return unregisterExport(manager, kVirtualKeyReportId);
}

TSD_API TsdResult TsdUnregisterAllCallback(CallbackManagerHandle manager) noexcept {
    return guardedExport([&] {
        CallbackManager* record = recordOf(manager);
        if (record == nullptr) return false;
        unregisterAll(*record);
        return true;
    });
}

// A callback cannot free the manager whose thread it runs on: that call
// fails and leaves the manager for a later delete from another thread.
TSD_API TsdResult TsdDeleteCallbackManager(CallbackManagerHandle manager) noexcept {
    return guardedExport([&] {
        CallbackManager* record = recordOf(manager);
        if (record == nullptr || onDispatchThread(*record)) return false;
        unregisterAll(*record);
        delete record;
        return true;
    });
}

}  // extern "C"
