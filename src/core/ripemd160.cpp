// RIPEMD-160: two parallel lines of five rounds over 512-bit blocks of
// little-endian words, combined into the five chaining words at the end of
// each block. Bytes are buffered until a whole block is there.
#include "core/ripemd160.h"

#include <cstring>

// Message word order of each step, left line then right line.
static const uint8_t ripemd_r_left[80] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
    7, 4, 13, 1, 10, 6, 15, 3, 12, 0, 9, 5, 2, 14, 11, 8,
    3, 10, 14, 4, 9, 15, 8, 1, 2, 7, 0, 6, 13, 11, 5, 12,
    1, 9, 11, 10, 0, 8, 12, 4, 13, 3, 7, 15, 14, 5, 6, 2,
    4, 0, 5, 9, 7, 12, 2, 10, 14, 1, 3, 8, 11, 6, 15, 13,
};
static const uint8_t ripemd_r_right[80] = {
    5, 14, 7, 0, 9, 2, 11, 4, 13, 6, 15, 8, 1, 10, 3, 12,
    6, 11, 3, 7, 0, 13, 5, 10, 14, 15, 8, 12, 4, 9, 1, 2,
    15, 5, 1, 3, 7, 14, 6, 9, 11, 8, 12, 2, 10, 0, 4, 13,
    8, 6, 4, 1, 3, 11, 15, 0, 5, 12, 2, 13, 9, 7, 10, 14,
    12, 15, 10, 4, 1, 5, 8, 7, 6, 2, 13, 14, 0, 3, 9, 11,
};
// Left rotation of each step.
static const uint8_t ripemd_s_left[80] = {
    11, 14, 15, 12, 5, 8, 7, 9, 11, 13, 14, 15, 6, 7, 9, 8,
    7, 6, 8, 13, 11, 9, 7, 15, 7, 12, 15, 9, 11, 7, 13, 12,
    11, 13, 6, 7, 14, 9, 13, 15, 14, 8, 13, 6, 5, 12, 7, 5,
    11, 12, 14, 15, 14, 15, 9, 8, 9, 14, 5, 6, 8, 6, 5, 12,
    9, 15, 5, 11, 6, 8, 13, 12, 5, 12, 13, 14, 11, 8, 5, 6,
};
static const uint8_t ripemd_s_right[80] = {
    8, 9, 9, 11, 13, 15, 15, 5, 7, 7, 8, 11, 14, 14, 12, 6,
    9, 13, 15, 7, 12, 8, 9, 11, 7, 7, 12, 7, 6, 15, 13, 11,
    9, 7, 15, 11, 8, 6, 6, 14, 12, 13, 5, 14, 13, 13, 7, 5,
    15, 5, 8, 11, 14, 14, 6, 14, 6, 9, 12, 9, 12, 5, 15, 8,
    8, 5, 12, 9, 12, 5, 14, 6, 8, 13, 6, 5, 15, 13, 11, 11,
};
// Round constants.
static const uint32_t ripemd_k_left[5] = {
    0x00000000u, 0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu, 0xA953FD4Eu,
};
static const uint32_t ripemd_k_right[5] = {
    0x50A28BE6u, 0x5C4DD124u, 0x6D703EF3u, 0x7A6D76E9u, 0x00000000u,
};

static uint32_t ripemd_rol(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// The five boolean functions f1..f5; the right line uses them in reverse order.
static uint32_t ripemd_f(int round, uint32_t x, uint32_t y, uint32_t z) {
    switch (round) {
    case 0: return x ^ y ^ z;
    case 1: return (x & y) | (~x & z);
    case 2: return (x | ~y) ^ z;
    case 3: return (x & z) | (y & ~z);
    default: return x ^ (y | ~z);
    }
}

static void ripemd_compress(uint32_t h[5], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; i++) {
        const uint8_t *p = block + 4 * i;
        x[i] = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
               ((uint32_t)p[3] << 24);
    }
    uint32_t al = h[0], bl = h[1], cl = h[2], dl = h[3], el = h[4];
    uint32_t ar = h[0], br = h[1], cr = h[2], dr = h[3], er = h[4];
    for (int j = 0; j < 80; j++) {
        int round = j / 16;
        uint32_t t = ripemd_rol(al + ripemd_f(round, bl, cl, dl) + x[ripemd_r_left[j]] +
                                    ripemd_k_left[round],
                                ripemd_s_left[j]) + el;
        al = el;
        el = dl;
        dl = ripemd_rol(cl, 10);
        cl = bl;
        bl = t;
        t = ripemd_rol(ar + ripemd_f(4 - round, br, cr, dr) + x[ripemd_r_right[j]] +
                           ripemd_k_right[round],
                       ripemd_s_right[j]) + er;
        ar = er;
        er = dr;
        dr = ripemd_rol(cr, 10);
        cr = br;
        br = t;
    }
    uint32_t t = h[1] + cl + dr;
    h[1] = h[2] + dl + er;
    h[2] = h[3] + el + ar;
    h[3] = h[4] + al + br;
    h[4] = h[0] + bl + cr;
    h[0] = t;
}

void ripemd160_start(Ripemd160 *r) {
    r->h[0] = 0x67452301u;
    r->h[1] = 0xEFCDAB89u;
    r->h[2] = 0x98BADCFEu;
    r->h[3] = 0x10325476u;
    r->h[4] = 0xC3D2E1F0u;
    r->length = 0;
    r->used = 0;
    memset(r->block, 0, sizeof r->block);
}

void ripemd160_add(Ripemd160 *r, const void *data, size_t count) {
    const uint8_t *p = (const uint8_t *)data;
    r->length += count;
    while (count > 0) {
        size_t take = 64 - r->used;
        if (take > count) take = count;
        memcpy(r->block + r->used, p, take);
        r->used += (uint32_t)take;
        p += take;
        count -= take;
        if (r->used == 64) {
            ripemd_compress(r->h, r->block);
            r->used = 0;
        }
    }
}

void ripemd160_finish(Ripemd160 *r, uint8_t digest[RIPEMD160_BYTES]) {
    uint64_t bits = r->length * 8;
    uint8_t pad[72];
    // One 0x80 byte, zeros up to 56 mod 64, then the bit count little-endian.
    size_t pad_bytes = (r->used < 56 ? 56 : 120) - r->used;
    memset(pad, 0, sizeof pad);
    pad[0] = 0x80;
    for (int i = 0; i < 8; i++) pad[pad_bytes + i] = (uint8_t)(bits >> (8 * i));
    ripemd160_add(r, pad, pad_bytes + 8);
    for (int i = 0; i < 5; i++) {
        for (int b = 0; b < 4; b++) digest[4 * i + b] = (uint8_t)(r->h[i] >> (8 * b));
    }
}

void ripemd160_to_hex(const uint8_t digest[RIPEMD160_BYTES], char hex[41]) {
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < RIPEMD160_BYTES; i++) {
        hex[2 * i] = digits[digest[i] >> 4];
        hex[2 * i + 1] = digits[digest[i] & 15];
    }
    hex[40] = 0;
}

static int ripemd_hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ripemd160_equals_hex(const uint8_t digest[RIPEMD160_BYTES], const char *hex) {
    if (!hex) return false;
    for (int i = 0; i < RIPEMD160_BYTES; i++) {
        // A terminating zero within the 40 digits is not a digit, so short
        // texts stop here without reading past their end.
        int high = ripemd_hex_value(hex[2 * i]);
        if (high < 0) return false;
        int low = ripemd_hex_value(hex[2 * i + 1]);
        if (low < 0) return false;
        if (digest[i] != (uint8_t)(high * 16 + low)) return false;
    }
    return hex[40] == 0;
}
