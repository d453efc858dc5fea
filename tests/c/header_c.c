/* Compiled as C99 with -pedantic: the public header must stay plain C, and the
 * library must link and answer from a C program. */
#include <touchsdk.h>

#include <stdio.h>

static void onTouch(void* context, TouchPoint* point) {
    (void)context;
    (void)point;
}

int main(void) {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t revision = 0;
    TouchCallback callback = onTouch;
    TsdGetSdkVersion(&major, &minor, &build, &revision);
    if (major != 1 || minor != 7 || build != 6230 || revision != 18600) {
        fprintf(stderr, "version %u.%u.%u.%u\n", major, minor, build, revision);
        return 1;
    }
    if (TsdOpenTouchScreenA(NULL, NULL) != TSD_FAILURE) return 1;
    (void)callback;
    return 0;
}
