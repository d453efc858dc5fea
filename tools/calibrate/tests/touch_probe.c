/* Prints what the library delivers for each touch, one line per point:
 * "touch STATE X Y" from the touch callback (the calibration in force
 * applied) and "raw STATE X Y" from the raw-touch callback, after a line
 * "ready". Ends once COUNT pressed points of each kind arrived, or after
 * SECONDS seconds:
 *
 *   tsd-touch-probe COUNT SECONDS
 *
 * Exit status 0 when they all arrived, 1 otherwise. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "touchsdk.h"

struct Probe {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    long touches; /* pressed points of each kind, guarded by mutex */
    long raws;
};

static void print(struct Probe* probe, const char* kind, const TouchPoint* p, long* count) {
    pthread_mutex_lock(&probe->mutex);
    printf("%s %u %.3f %.3f\n", kind, (unsigned)p->state, (double)p->x, (double)p->y);
    fflush(stdout);
    if (p->state != 0) {
        ++*count;
        pthread_cond_signal(&probe->changed);
    }
    pthread_mutex_unlock(&probe->mutex);
}

static void onTouch(void* context, TouchPoint* point) {
    struct Probe* probe = context;
    print(probe, "touch", point, &probe->touches);
}

static void onRaw(void* context, TouchPoint* point) {
    struct Probe* probe = context;
    print(probe, "raw", point, &probe->raws);
}

static void first(void* context, const char* syspath, const wchar_t* serial) {
    (void)serial;
    char* found = context;
    if (found[0] == '\0' && strlen(syspath) < 1024) strcpy(found, syspath);
}

int main(int argc, char** argv) {
    struct Probe probe = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, 0, 0};
    pthread_condattr_t monotonic;
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
    /* The wall clock may be set while we wait. */
    pthread_condattr_init(&monotonic);
    pthread_condattr_setclock(&monotonic, CLOCK_MONOTONIC);
    pthread_cond_init(&probe.changed, &monotonic);
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
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_sec += atol(argv[2]);
        pthread_mutex_lock(&probe.mutex);
        while ((probe.touches < wanted || probe.raws < wanted) &&
               pthread_cond_timedwait(&probe.changed, &probe.mutex, &until) == 0) {
        }
        status = probe.touches >= wanted && probe.raws >= wanted ? 0 : 1;
        pthread_mutex_unlock(&probe.mutex);
    }
    if (manager != NULL) TsdDeleteCallbackManager(manager);
    TsdCloseTouchScreen(handle);
    return status;
}
