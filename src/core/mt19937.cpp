// MT19937 with the standard init_genrand seeding and tempering. A generator
// whose index is above MT19937_N has never been seeded and seeds itself with
// 5489 on its first draw, the way the reference generator does.
#include "core/mt19937.h"

enum {
    MT_M = 397,
    MT_DEFAULT_SEED = 5489,
};

static const uint32_t MT_MATRIX_A = 0x9908b0dfu;
static const uint32_t MT_UPPER_MASK = 0x80000000u;
static const uint32_t MT_LOWER_MASK = 0x7fffffffu;

Mt19937 g_random = {{0}, MT19937_N + 1};

void mt_seed(Mt19937 *mt, uint32_t seed) {
    mt->state[0] = seed;
    for (int i = 1; i < MT19937_N; i++) {
        uint32_t prev = mt->state[i - 1];
        mt->state[i] = 1812433253u * (prev ^ (prev >> 30)) + (uint32_t)i;
    }
    mt->index = MT19937_N;
}

// Regenerates all N words of the state.
static void mt_twist(Mt19937 *mt) {
    uint32_t *s = mt->state;
    for (int i = 0; i < MT19937_N; i++) {
        uint32_t y = (s[i] & MT_UPPER_MASK) | (s[(i + 1) % MT19937_N] & MT_LOWER_MASK);
        s[i] = s[(i + MT_M) % MT19937_N] ^ (y >> 1) ^ ((y & 1u) ? MT_MATRIX_A : 0u);
    }
    mt->index = 0;
}

uint32_t mt_next(Mt19937 *mt) {
    if (mt->index > MT19937_N || mt->index < 0) mt_seed(mt, MT_DEFAULT_SEED);
    if (mt->index == MT19937_N) mt_twist(mt);
    uint32_t y = mt->state[mt->index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}
