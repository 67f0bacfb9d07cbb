// The MT19937 Mersenne Twister with its standard seeding. One generator serves
// the whole process: seeded with the tick at each race reset and drawn by the
// race reset, the physics and the auto pilot, so runs repeat exactly.
#pragma once

#include <cstdint>

enum { MT19937_N = 624 };

struct Mt19937 {
    uint32_t state[MT19937_N];
    int index;
};

void mt_seed(Mt19937 *mt, uint32_t seed);
uint32_t mt_next(Mt19937 *mt);

extern Mt19937 g_random;   // whole process; reseeded by each race reset
