// The scrambled layer under ".scram" data files.
//
// Format (all of it): an 8-byte magic "QVSCRAM1", a 4-byte little-endian key,
// then the data XORed with a key stream. The key stream is the low byte of a
// 32-bit xorshift generator (x ^= x << 13; x ^= x >> 17; x ^= x << 5) started
// from key ^ 0x9E3779B9 (a zero start is replaced by 1), stepped once before
// each byte. It keeps casual eyes off the files; it is not protection.
//
// The stream reads from its container's current position and never seeks,
// so it composes with the gzip reader above it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum { SCRAMBLE_HEADER_BYTES = 12 };

struct ScrambledStream {
    FILE *file;
    uint32_t state;
};

// Reads and checks the header at the file's position; none when it is wrong.
ScrambledStream *scrambled_open(FILE *file);
size_t scrambled_read(ScrambledStream *s, void *buffer, size_t count);
void scrambled_free(ScrambledStream *s);

// Writes the scrambled form of data (header included) into out, which must
// hold count + SCRAMBLE_HEADER_BYTES bytes.
void scramble_buffer(const void *data, size_t count, uint32_t key, unsigned char *out);
