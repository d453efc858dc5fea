/* A small application of the library, in C: lists the screens, opens the
 * first, prints its serial number and modes, then prints touches until it
 * has seen the number asked for (default 10). Try it without hardware:
 *
 *   tsd-emulate --touch -- tsd-demo 20
 */
#define _POSIX_C_SOURCE 200809L

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <touchsdk.h>

struct Demo {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    unsigned touches;
    unsigned wanted;
};

static void onScreen(void* context, const char* syspath, const wchar_t* serial) {
    char* first = context;
    printf("screen %s serial %ls\n", syspath, serial != NULL ? serial : L"(none)");
    if (first[0] == '\0') strncpy(first, syspath, 511);
}

static void onTouch(void* context, TouchPoint* point) {
    struct Demo* demo = context;
    printf("touch id %u %s x %.0f y %.0f\n", point->id, point->state ? "down" : "up ", point->x,
           point->y);
    pthread_mutex_lock(&demo->mutex);
    demo->touches++;
    pthread_cond_signal(&demo->changed);
    pthread_mutex_unlock(&demo->mutex);
}

static int waitForTouches(struct Demo* demo, int seconds) {
    struct timespec until;
    int ok;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += seconds;
    pthread_mutex_lock(&demo->mutex);
    while (demo->touches < demo->wanted) {
        if (pthread_cond_timedwait(&demo->changed, &demo->mutex, &until) != 0) break;
    }
    ok = demo->touches >= demo->wanted;
    pthread_mutex_unlock(&demo->mutex);
    return ok;
}

static void printModes(TouchScreenHandle screen) {
    uint8_t working = 0;
    uint8_t data = 0;
    uint8_t hid = 0;
    if (TsdGetTouchScreenWorkingMode(screen, &working) == TSD_OK &&
        TsdGetTouchScreenDataMode(screen, &data) == TSD_OK &&
        TsdGetTouchScreenHidMode(screen, &hid) == TSD_OK) {
        printf("working mode %u, data mode %u, hid mode %u\n", working, data, hid);
    } else {
        printf("the screen did not answer its mode queries\n");
    }
}

int main(int argc, char** argv) {
    char path[512] = "";
    TouchScreenHandle screen = NULL;
    CallbackManagerHandle manager = NULL;
    struct Demo demo = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, 0, 10};
    uint32_t version[4];
    int ok;
    if (argc > 1) demo.wanted = (unsigned)strtoul(argv[1], NULL, 10);
    TsdGetSdkVersion(&version[0], &version[1], &version[2], &version[3]);
    printf("touchsdk %u.%u.%u.%u\n", version[0], version[1], version[2], version[3]);
    TsdEnumTouchScreensA(onScreen, path);
    if (path[0] == '\0' || TsdOpenTouchScreenA(path, &screen) != TSD_OK) {
        fprintf(stderr, "no touch screen found\n");
        return 1;
    }
    printModes(screen);
    if (TsdCreateCallbackManager(&manager, screen) != TSD_OK ||
        TsdRegisterTouchCallback(manager, onTouch, &demo) != TSD_OK) {
        fprintf(stderr, "cannot receive touches\n");
        TsdCloseTouchScreen(screen);
        return 1;
    }
    ok = waitForTouches(&demo, 20);
    TsdDeleteCallbackManager(manager);
    TsdCloseTouchScreen(screen);
    printf("%u touches\n", demo.touches);
    return ok ? 0 : 1;
}
