// The input event queue: a ring kept in time order, so the main loop can hand
// each event to the tick whose moment it belongs to.
#include "platform/events.h"

static bool event_later(const ZolmEvent &e, int32_t seconds, int32_t microseconds) {
    if (e.seconds != seconds) return e.seconds > seconds;
    return e.microseconds > microseconds;
}

void event_queue_clear(ZolmEventQueue *q) {
    q->head = 0;
    q->count = 0;
}

bool event_queue_push(ZolmEventQueue *q, uint32_t code, bool pressed,
                      int32_t seconds, int32_t microseconds) {
    if (q->count >= ZOLM_EVENT_QUEUE_SIZE) return false;
    // Walk back from the newest event past every one stamped later.
    int pos = q->count;
    while (pos > 0) {
        const ZolmEvent &prev = q->ring[(q->head + pos - 1) % ZOLM_EVENT_QUEUE_SIZE];
        if (!event_later(prev, seconds, microseconds)) break;
        q->ring[(q->head + pos) % ZOLM_EVENT_QUEUE_SIZE] = prev;
        pos--;
    }
    ZolmEvent &slot = q->ring[(q->head + pos) % ZOLM_EVENT_QUEUE_SIZE];
    slot.code = (code & ~ZOLM_EVENT_RELEASED) | (pressed ? 0u : ZOLM_EVENT_RELEASED);
    slot.seconds = seconds;
    slot.microseconds = microseconds;
    q->count++;
    return true;
}

bool event_queue_take(ZolmEventQueue *q, bool until, int32_t seconds, int32_t microseconds,
                      uint32_t *code, bool *pressed, int32_t *at_seconds, int32_t *at_microseconds) {
    if (q->count == 0) return false;
    const ZolmEvent &e = q->ring[q->head];
    if (until && event_later(e, seconds, microseconds)) return false;
    *code = e.code & ~ZOLM_EVENT_RELEASED;
    *pressed = (e.code & ZOLM_EVENT_RELEASED) == 0;
    if (at_seconds) *at_seconds = e.seconds;
    if (at_microseconds) *at_microseconds = e.microseconds;
    q->head = (q->head + 1) % ZOLM_EVENT_QUEUE_SIZE;
    q->count--;
    return true;
}
