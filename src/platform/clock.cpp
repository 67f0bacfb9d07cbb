// The platform clock over CLOCK_MONOTONIC, and the precise sleep that paces
// frames: the kernel sleeps through all but the last millisecond, then the
// thread yields in a loop until the deadline, so pacing is accurate to well
// under a millisecond without spinning a whole core for the full wait.
#include "platform/clock.h"

#include <cerrno>
#include <cmath>
#include <sched.h>
#include <time.h>

void zolm_time(int32_t *seconds, int32_t *microseconds) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    *seconds = (int32_t)ts.tv_sec;
    *microseconds = (int32_t)(ts.tv_nsec / 1000);
}

double zolm_time_seconds() {
    int32_t s, us;
    zolm_time(&s, &us);
    return s + us * 0.000001;
}

// True once the clock has reached (seconds, microseconds).
static bool clock_reached(int32_t seconds, int32_t microseconds) {
    int32_t s, us;
    zolm_time(&s, &us);
    return s > seconds || (s == seconds && us >= microseconds);
}

void zolm_sleep(int32_t seconds, int32_t microseconds) {
    int64_t ms = (int64_t)seconds * 1000 + microseconds / 1000;
    int32_t deadline_s, deadline_us;
    zolm_time(&deadline_s, &deadline_us);
    deadline_s += seconds;
    deadline_us += microseconds;
    while (deadline_us >= 1000000) {
        deadline_us -= 1000000;
        deadline_s++;
    }

    int64_t sleep_ms = ms > 1 ? ms - 1 : ms;
    if (sleep_ms > 0) {
        struct timespec want, left;
        want.tv_sec = (time_t)(sleep_ms / 1000);
        want.tv_nsec = (long)(sleep_ms % 1000) * 1000000L;
        while (nanosleep(&want, &left) != 0 && errno == EINTR) want = left;
    }
    while (!clock_reached(deadline_s, deadline_us)) sched_yield();
}

void zolm_sleep_seconds(double seconds) {
    if (!(seconds > 0)) return;
    if (seconds > 2147483647.0) seconds = 2147483647.0;
    double whole = floor(seconds);
    int32_t s = (int32_t)whole;
    int32_t us = (int32_t)((seconds - whole) * 1000000.0);
    if (us > 999999) us = 999999;
    zolm_sleep(s, us);
}
