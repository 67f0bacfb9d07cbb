// Formatted reading on arbitrary bytes. With the first byte's top bit clear
// it picks one of the game's kinds of formats and the rest is the stream;
// with it set, the rest up to the first zero byte is itself the format and
// every target points into one buffer larger than any input, so no
// conversion can overrun it whatever the format says.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "files/vfs.h"
#include "files/vfs_internal.h"
#include "fuzz_memory_file.h"

enum {
    FUZZ_INPUT_MAX = 4000,
    FUZZ_TARGETS = 16,
    FUZZ_CALLS_MAX = 64,
};

alignas(16) static unsigned char g_target[FUZZ_INPUT_MAX + 64];

static int fuzz_fixed_format(VfsFile *f, int which) {
    int i[4];
    short h[2];
    float fl[3];
    double d;
    long double ld;
    char s1[16], s2[16], s3[16];
    switch (which % 8) {
    case 0: return vfs_scanf(f, "%d %i %o %x", &i[0], &i[1], &i[2], &i[3]);
    case 1: return vfs_scanf(f, "%hd %hi%n", &h[0], &h[1], &i[0]);
    case 2: return vfs_scanf(f, "%f %lf %Lf", &fl[0], &d, &ld);
    case 3: return vfs_scanf(f, "%15s %3c %15[a-z0-9]", s1, s2, s3);
    case 4: return vfs_scanf(f, "pipe %f %f %f %d %d", &fl[0], &fl[1], &fl[2], &i[0], &i[1]);
    case 5: return vfs_scanf(f, "%*d %*s %15[^]\n]%n %%", s1, &i[0]);
    case 6: return vfs_scanf(f, "%4X,%3d;%2f%hn", &i[0], &i[1], &fl[0], &h[0]);
    default: return vfs_scanf(f, "%qf %llf %15[]^-]", &ld, &ld, s1);
    }
}

// The targets' pointer types differ from what the format asks for only in
// name: every one is the same buffer, which is all the reader writes through.
static int fuzz_any_format(VfsFile *f, const char *format) {
    int conversions = 0;
    for (const char *p = format; *p; p++) conversions += *p == '%';
    if (conversions > FUZZ_TARGETS) return -1;
    void *t = g_target;
    return vfs_scanf(f, format, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > FUZZ_INPUT_MAX) return 0;
    int which = data[0];
    data++;
    size--;
    char format[FUZZ_INPUT_MAX + 1] = "";
    if (which & 0x80) {
        const uint8_t *zero = (const uint8_t *)memchr(data, 0, size);
        if (!zero) return 0;
        size_t n = (size_t)(zero - data);
        memcpy(format, data, n);
        format[n] = 0;
        data = zero + 1;
        size -= n + 1;
    }
    FILE *file = fuzz_memory_file(data, size);
    if (!file) return 0;
    VfsFile *f = vfs_open_stream(file, 0, VFS_LOOSE_LENGTH, false, false);
    if (!f) return 0;
    for (int call = 0; call < FUZZ_CALLS_MAX; call++) {
        int result = which & 0x80 ? fuzz_any_format(f, format) : fuzz_fixed_format(f, which);
        if (result <= 0) break;
    }
    char line[64];
    while (vfs_gets(f, line, sizeof line)) {
    }
    vfs_close(f);
    return 0;
}
