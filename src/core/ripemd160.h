// RIPEMD-160, the published 160-bit hash. It identifies the game data, checks
// the physics shape files, identifies a track and proves a server password.
#pragma once

#include <cstddef>
#include <cstdint>

enum { RIPEMD160_BYTES = 20 };

struct Ripemd160 {
    uint32_t h[5];
    uint64_t length;          // bytes added so far
    uint8_t block[64];
    uint32_t used;            // bytes waiting in block
};

void ripemd160_start(Ripemd160 *r);
void ripemd160_add(Ripemd160 *r, const void *data, size_t count);
void ripemd160_finish(Ripemd160 *r, uint8_t digest[RIPEMD160_BYTES]);
// Writes 40 lower-case hexadecimal digits and a terminating zero.
void ripemd160_to_hex(const uint8_t digest[RIPEMD160_BYTES], char hex[41]);
// Compares with 40 hexadecimal digits in either letter case; false on any
// other text (short, long or not hexadecimal).
bool ripemd160_equals_hex(const uint8_t digest[RIPEMD160_BYTES], const char *hex);
