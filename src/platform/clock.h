// The platform clock and the precise sleep. The clock is monotonic and counts
// from system start; every time stamp in the game comes from it.
#pragma once

#include <cstdint>

void zolm_time(int32_t *seconds, int32_t *microseconds);
double zolm_time_seconds();                     // the same clock as one number
void zolm_sleep(int32_t seconds, int32_t microseconds);
void zolm_sleep_seconds(double seconds);        // no-op for seconds <= 0
