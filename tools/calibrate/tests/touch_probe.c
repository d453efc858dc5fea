/* Prints what the library delivers for each touch, one line per point:
 * "touch STATE X Y" from the touch callback (the calibration in force
 * applied) and "raw STATE X Y" from the raw-touch callback, after a line
 * "ready". Ends after COUNT touch points or SECONDS seconds:
 *
 *   tsd-touch-probe COUNT SECONDS
 *
 * Exit status 0 when COUNT touch points arrived, 1 otherwise. */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "touchsdk.h"

struct Probe {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    long touches; /* guarded by mutex */
};

static void print(struct Probe* probe, const char* kind, const TouchPoint* p, int count) {
    pthread_mutex_lock(&probe->mutex);
    printf("%s %u %.3f %.3f\n", kind, (unsigned)p->state, (double)p->x, (double)p->y);
    fflush(stdout);
    if (count) {
        ++probe->touches;
        pthread_cond_signal(&probe->changed);
    }
    pthread_mutex_unlock(&probe->mutex);
}

static void onTouch(void* context, TouchPoint* point) { print(context, "touch", point, 1); }
static void onRaw(void* context, TouchPoint* point) { print(context, "raw", point, 0); }

static void first(void* context, const char* syspath, const wchar_t* serial) {
    (void)serial;
    char* found = context;
    if (found[0] == '\0' && strlen(syspath) < 1024) strcpy(found, syspath);
}

int main(int argc, char** argv) {
    struct Probe probe = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, 0};
    char syspath[1024] = "";
    TouchScreenHandle handle = NULL;
    CallbackManagerHandle manager = NULL;
    struct timespec until;
    long wanted;
    int status = 1;
    if (argc != 3) {
        fprintf(stderr, "usage: tsd-touch-probe COUNT SECONDS\n");
        return 1;
    }
    wanted = atol(argv[1]);
    TsdEnumTouchScreensA(first, syspath);
    if (syspath[0] == '\0' || TsdOpenTouchScreenA(syspath, &handle) != TSD_OK) {
        fprintf(stderr, "tsd-touch-probe: no screen\n");
        return 1;
    }
    if (TsdCreateCallbackManager(&manager, handle) == TSD_OK &&
        TsdRegisterRawtouchCallback(manager, onRaw, &probe) == TSD_OK &&
        TsdRegisterTouchCallback(manager, onTouch, &probe) == TSD_OK) {
        printf("ready\n");
        fflush(stdout);
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_sec += atol(argv[2]);
        pthread_mutex_lock(&probe.mutex);
        while (probe.touches < wanted &&
               pthread_cond_timedwait(&probe.changed, &probe.mutex, &until) == 0) {
        }
        status = probe.touches >= wanted ? 0 : 1;
        pthread_mutex_unlock(&probe.mutex);
    }
    if (manager != NULL) TsdDeleteCallbackManager(manager);
    TsdCloseTouchScreen(handle);
    return status;
}
