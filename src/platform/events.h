// The time-ordered input event queue and the event codes. The window layer
// fills it on the game thread; the main loop drains it tick by tick.
#pragma once

#include <cstdint>

enum {
    ZOLM_EVENT_QUEUE_SIZE = 256,
    ZOLM_CODE_KEY = 4096,              // + PC scan code (extended keys + 256)
    ZOLM_CODE_MOUSE_LEFT = 8192,
    ZOLM_CODE_MOUSE_MIDDLE = 8193,
    ZOLM_CODE_MOUSE_RIGHT = 8194,
    ZOLM_CODE_CLOSE = 57005,
};
static const uint32_t ZOLM_EVENT_RELEASED = 0x80000000u;   // bit 31 of a queued code

struct ZolmEvent {
    uint32_t code;        // bit 31 set: released
    int32_t seconds;
    int32_t microseconds;
};

struct ZolmEventQueue {
    ZolmEvent ring[ZOLM_EVENT_QUEUE_SIZE];
    int head;             // 0-255
    int count;            // 0-256
};

void event_queue_clear(ZolmEventQueue *q);
// Places the event after the newest queued event not later than it, so the
// queue stays ordered by time with equal stamps in arrival order. A full
// queue drops it (false).
bool event_queue_push(ZolmEventQueue *q, uint32_t code, bool pressed,
                      int32_t seconds, int32_t microseconds);
// Takes the head event; with `until`, only when its time is at or before
// (seconds, microseconds). The code comes back without bit 31.
bool event_queue_take(ZolmEventQueue *q, bool until, int32_t seconds, int32_t microseconds,
                      uint32_t *code, bool *pressed, int32_t *at_seconds, int32_t *at_microseconds);
