/* Compiled as C99 with -pedantic, and as C++ (header_cxx.cpp), both with
 * -Werror: the public header must stay plain C, callbacks written the way an
 * application writes them must be accepted without a cast or a warning in
 * either language, and the library must link and answer from the program. */
#include <stdio.h>
#include <touchsdk.h>

static void onEnumA(void* context, const char* syspath, const wchar_t* serialNumber) {
    (void)context;
    (void)syspath;
    (void)serialNumber;
}

static void onEnumW(void* context, const wchar_t* syspath, const wchar_t* serialNumber) {
    (void)context;
    (void)syspath;
    (void)serialNumber;
}

static void onNotifyA(void* context, uint32_t action, const char* devicePath) {
    (void)context;
    (void)action;
    (void)devicePath;
}

static void onNotifyW(void* context, uint32_t action, const wchar_t* devicePath) {
    (void)context;
    (void)action;
    (void)devicePath;
}

static void onTouch(void* context, TouchPoint* point) {
    (void)context;
    point->x += 1.0f;
}

static void onRawtouch(void* context, TouchPoint* point) {
    (void)context;
    point->y += 1.0f;
}

static void onDiagnosis(void* context, uint8_t* data) {
    (void)context;
    data[0] = 0;
}

static void onVirtualKey(void* context, VirtualKeyEvent* event) {
    (void)context;
    event->state = 0;
}

int main(void) {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t revision = 0;
    TsdGetSdkVersion(&major, &minor, &build, &revision);
    if (major != 1 || minor != 7 || build != 6230 || revision != 18600) {
        fprintf(stderr, "version %u.%u.%u.%u\n", major, minor, build, revision);
        return 1;
    }
    if (TsdOpenTouchScreenA(NULL, NULL) != TSD_FAILURE) return 1;
    /* Every callback kind passed as an application passes it; the null
     * handles make each call fail before anything is started. */
    TsdEnumTouchScreensA(NULL, NULL);
    (void)onEnumA;
    (void)onEnumW;
    if (TsdCreateTouchScreenNotificationA(NULL, onNotifyA, NULL) != TSD_FAILURE) return 1;
    if (TsdCreateTouchScreenNotificationW(NULL, onNotifyW, NULL) != TSD_FAILURE) return 1;
    if (TsdRegisterTouchCallback(NULL, onTouch, NULL) != TSD_FAILURE) return 1;
    if (TsdRegisterRawtouchCallback(NULL, onRawtouch, NULL) != TSD_FAILURE) return 1;
    if (TsdRegisterDiagnosisCallback(NULL, onDiagnosis, NULL) != TSD_FAILURE) return 1;
    if (TsdRegisterVirtualKeyCallback(NULL, onVirtualKey, NULL) != TSD_FAILURE) return 1;
    {
        TouchScreenEnumCallbackA enumA = onEnumA;
        TouchScreenEnumCallbackW enumW = onEnumW;
        (void)enumA;
        (void)enumW;
    }
    return 0;
}
