// The scrambled layer: a small header and an xorshift key stream over the
// data. See scramble.h for the format. The stream only ever reads forward
// from where its container stands, so the gzip reader can sit on top of it.
#include "files/scramble.h"

#include <cstdlib>
#include <cstring>

static const char SCRAMBLE_MAGIC[8] = {'Q', 'V', 'S', 'C', 'R', 'A', 'M', '1'};

static uint32_t scramble_start_state(uint32_t key) {
    uint32_t state = key ^ 0x9E3779B9u;
    return state ? state : 1;
}

// One step of the generator; its low byte masks one data byte.
static uint8_t scramble_next(uint32_t *state) {
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return (uint8_t)(x & 0xFF);
}

ScrambledStream *scrambled_open(FILE *file) {
    unsigned char header[SCRAMBLE_HEADER_BYTES];
    if (!file || fread(header, 1, sizeof header, file) != sizeof header) return nullptr;
    if (memcmp(header, SCRAMBLE_MAGIC, sizeof SCRAMBLE_MAGIC) != 0) return nullptr;
    uint32_t key = (uint32_t)header[8] | (uint32_t)header[9] << 8 | (uint32_t)header[10] << 16 |
                   (uint32_t)header[11] << 24;
    ScrambledStream *s = (ScrambledStream *)malloc(sizeof *s);
    if (!s) return nullptr;
    s->file = file;
    s->state = scramble_start_state(key);
    return s;
}

size_t scrambled_read(ScrambledStream *s, void *buffer, size_t count) {
    if (!s || count == 0) return 0;
    unsigned char *out = (unsigned char *)buffer;
    size_t n = fread(out, 1, count, s->file);
    for (size_t i = 0; i < n; i++) out[i] ^= scramble_next(&s->state);
    return n;
}

void scrambled_free(ScrambledStream *s) {
    free(s);
}

void scramble_buffer(const void *data, size_t count, uint32_t key, unsigned char *out) {
    memcpy(out, SCRAMBLE_MAGIC, sizeof SCRAMBLE_MAGIC);
    out[8] = (unsigned char)(key & 0xFF);
    out[9] = (unsigned char)(key >> 8 & 0xFF);
    out[10] = (unsigned char)(key >> 16 & 0xFF);
    out[11] = (unsigned char)(key >> 24 & 0xFF);
    uint32_t state = scramble_start_state(key);
    const unsigned char *in = (const unsigned char *)data;
    for (size_t i = 0; i < count; i++) out[SCRAMBLE_HEADER_BYTES + i] = in[i] ^ scramble_next(&state);
}
