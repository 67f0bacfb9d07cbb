// Formatted reading from a VfsFile, in the manner of sscanf over the
// stream's bytes. Only one byte of look-ahead exists (the stream's pushback),
// so a conversion stops on the first byte it cannot take and leaves exactly
// that byte for the next read. The text files of the game are read with a
// small set of conversions; anything else ends the call rather than guess.
//
// Results: the number of assigned conversions; at a matching failure the
// count so far; when the input ends inside a conversion the count so far, or
// -1 when it is zero; -1 at once when a literal byte of the format does not
// match, whatever was assigned before.
#include <climits>
#include <cmath>
#include <cstring>

#include "files/vfs_internal.h"

enum {
    SCAN_END = -1,         // the input ended
    SCAN_WIDTH_USED = -2,  // the field may take no more bytes
    SCAN_EXPONENT_MAX = 100000,
    SCAN_FRACTION_MAX = 100000,
};

enum ScanResult {
    SCAN_INPUT_FAILURE = -1,
    SCAN_MATCH_FAILURE = 0,
    SCAN_DONE = 1,
};

enum ScanSize { SIZE_DEFAULT, SIZE_SHORT, SIZE_LONG, SIZE_LONG_LONG };

// The bytes one conversion may still take (its width).
struct ScanField {
    VfsFile *f;
    int left;
};

static bool scan_is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static bool scan_is_digit(int c) {
    return c >= '0' && c <= '9';
}

// Bytes consumed so far, not counting the one held in pushback.
static uint32_t scan_consumed(const VfsFile *f) {
    return f->position - (f->pushback >= 0 ? 1 : 0);
}

// The next byte, left in pushback so it is not yet taken.
static int scan_peek(VfsFile *f) {
    int c = vfs_getc(f);
    if (c >= 0) f->pushback = c;
    return c;
}

static int scan_skip_space(VfsFile *f) {
    int c = scan_peek(f);
    while (c >= 0 && scan_is_space(c)) {
        f->pushback = -1;
        c = scan_peek(f);
    }
    return c;
}

static int field_peek(ScanField *field) {
    return field->left > 0 ? scan_peek(field->f) : SCAN_WIDTH_USED;
}

static void field_take(ScanField *field) {
    field->f->pushback = -1;
    field->left--;
}

static int scan_digit_value(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// An integer in base 8, 10 or 16, or with base 0 from its prefix ("0x" hex,
// a leading "0" octal). Wraps like the 32-bit targets it fills.
static ScanResult scan_integer(VfsFile *f, int base, int width, uint32_t *value) {
    if (scan_skip_space(f) < 0) return SCAN_INPUT_FAILURE;
    ScanField field = {f, width};
    int c = field_peek(&field);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        field_take(&field);
        c = field_peek(&field);
    }
    uint32_t v = 0;
    int digits = 0;
    if (base == 0) {
        base = 10;
        if (c == '0') {
            field_take(&field);
            digits = 1;
            c = field_peek(&field);
            if (c == 'x' || c == 'X') {
                field_take(&field);
                c = field_peek(&field);
                base = 16;
            } else {
                base = 8;
            }
        }
    }
    while (c >= 0 && scan_digit_value(c) < base) {
        v = v * (uint32_t)base + (uint32_t)scan_digit_value(c);
        digits++;
        field_take(&field);
        c = field_peek(&field);
    }
    if (digits == 0) return c == SCAN_END ? SCAN_INPUT_FAILURE : SCAN_MATCH_FAILURE;
    *value = negative ? 0u - v : v;
    return SCAN_DONE;
}

// Digits with at most one point and an optional exponent, gathered as one
// integer and scaled once, in extended precision.
static ScanResult scan_float(VfsFile *f, int width, long double *value) {
    if (scan_skip_space(f) < 0) return SCAN_INPUT_FAILURE;
    ScanField field = {f, width};
    int c = field_peek(&field);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        field_take(&field);
        c = field_peek(&field);
    }
    long double mantissa = 0;
    long fraction = 0;
    bool digits = false, point = false;
    for (;;) {
        if (c >= 0 && scan_is_digit(c)) {
            mantissa = mantissa * 10 + (c - '0');
            digits = true;
            if (point && fraction < SCAN_FRACTION_MAX) fraction++;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        field_take(&field);
        c = field_peek(&field);
    }
    if (!digits && !point) return c == SCAN_END ? SCAN_INPUT_FAILURE : SCAN_MATCH_FAILURE;
    long exponent = 0;
    if (c == 'e' || c == 'E') {
        field_take(&field);
        c = field_peek(&field);
        bool exponent_negative = false;
        if (c == '+' || c == '-') {
            exponent_negative = c == '-';
            field_take(&field);
            c = field_peek(&field);
        }
        while (c >= 0 && scan_is_digit(c)) {
            if (exponent < SCAN_EXPONENT_MAX) exponent = exponent * 10 + (c - '0');
            field_take(&field);
            c = field_peek(&field);
        }
        if (exponent_negative) exponent = -exponent;
    }
    long power = exponent - fraction;
    // Dividing by an exact power of ten rounds better than multiplying by an
    // inexact negative one.
    long double v = power < 0 ? mantissa / powl(10.0L, (long double)-power)
                              : mantissa * powl(10.0L, (long double)power);
    *value = negative ? -v : v;
    return SCAN_DONE;
}

static ScanResult scan_string(VfsFile *f, int width, char *out) {
    if (scan_skip_space(f) < 0) return SCAN_INPUT_FAILURE;
    ScanField field = {f, width};
    int n = 0;
    int c;
    while ((c = field_peek(&field)) >= 0 && !scan_is_space(c)) {
        if (out) out[n] = (char)c;
        n++;
        field_take(&field);
    }
    if (out) out[n] = 0;
    return SCAN_DONE;
}

static ScanResult scan_chars(VfsFile *f, int width, char *out) {
    for (int i = 0; i < width; i++) {
        int c = vfs_getc(f);
        if (c < 0) return SCAN_INPUT_FAILURE;
        if (out) out[i] = (char)c;
    }
    return SCAN_DONE;
}

static ScanResult scan_set(VfsFile *f, int width, const bool set[256], char *out) {
    ScanField field = {f, width};
    int n = 0;
    int c;
    while ((c = field_peek(&field)) >= 0 && set[c]) {
        if (out) out[n] = (char)c;
        n++;
        field_take(&field);
    }
    if (n == 0) return c == SCAN_END ? SCAN_INPUT_FAILURE : SCAN_MATCH_FAILURE;
    if (out) out[n] = 0;
    return SCAN_DONE;
}

// Parses a scanset after "[" into set; returns the format past its "]", or
// none when the format ends first.
static const unsigned char *scan_parse_set(const unsigned char *p, bool set[256]) {
    bool negate = false;
    if (*p == '^') {
        negate = true;
        p++;
    }
    memset(set, 0, 256 * sizeof set[0]);
    if (*p == ']') {
        set[(unsigned char)']'] = true;
        p++;
    }
    while (*p && *p != ']') {
        if (p[1] == '-' && p[2] && p[2] != ']') {
            unsigned lo = p[0], hi = p[2];
            if (lo <= hi) {
                for (unsigned c = lo; c <= hi; c++) set[c] = true;
            } else {
                set[lo] = set[(unsigned char)'-'] = set[hi] = true;
            }
            p += 3;
        } else {
            set[*p++] = true;
        }
    }
    if (!*p) return nullptr;
    if (negate) {
        for (int c = 0; c < 256; c++) set[c] = !set[c];
    }
    return p + 1;
}

static void scan_store_integer(void *target, ScanSize size, uint32_t value) {
    if (size == SIZE_SHORT) *(short *)target = (short)(uint16_t)value;
    else *(int *)target = (int)value;
}

int vfs_vscanf(VfsFile *f, const char *format, va_list args) {
    int count = 0;
    uint32_t start = scan_consumed(f);
    const unsigned char *p = (const unsigned char *)format;
    while (*p) {
        if (scan_is_space(*p)) {
            scan_skip_space(f);
            while (scan_is_space(*p)) p++;
            continue;
        }
        if (*p != '%' || p[1] == '%') {
            int expected = *p;
            p += *p == '%' ? 2 : 1;
            int c = vfs_getc(f);
            if (c != expected) {
                if (c >= 0) f->pushback = c;
                return -1;
            }
            continue;
        }
        p++;
        bool assign = true;
        if (*p == '*') {
            assign = false;
            p++;
        }
        int width = 0;
        while (scan_is_digit(*p)) {
            if (width < INT_MAX / 10 - 10) width = width * 10 + (*p - '0');
            p++;
        }
        ScanSize size = SIZE_DEFAULT;
        for (;; p++) {
            if (*p == 'h') size = SIZE_SHORT;
            else if (*p == 'l') size = size == SIZE_LONG ? SIZE_LONG_LONG : SIZE_LONG;
            else if (*p == 'L' || *p == 'q') size = SIZE_LONG_LONG;
            else break;
        }
        int conversion = *p;
        if (conversion == 0) break;
        p++;
        int field_width = width > 0 ? width : INT_MAX;

        ScanResult result;
        switch (conversion) {
        case 'd':
        case 'i':
        case 'o':
        case 'x':
        case 'X': {
            int base = conversion == 'd' ? 10 : conversion == 'i' ? 0 : conversion == 'o' ? 8 : 16;
            uint32_t value = 0;
            result = scan_integer(f, base, field_width, &value);
            if (result == SCAN_DONE && assign) {
                if (size == SIZE_SHORT) scan_store_integer(va_arg(args, short *), size, value);
                else scan_store_integer(va_arg(args, int *), size, value);
            }
            break;
        }
        case 'f': {
            long double value = 0;
            result = scan_float(f, field_width, &value);
            if (result == SCAN_DONE && assign) {
                if (size == SIZE_LONG) *va_arg(args, double *) = (double)value;
                else if (size == SIZE_LONG_LONG) *va_arg(args, long double *) = value;
                else *va_arg(args, float *) = (float)value;
            }
            break;
        }
        case 's':
            result = scan_string(f, field_width, assign ? va_arg(args, char *) : nullptr);
            break;
        case 'c':
            result = scan_chars(f, width > 0 ? width : 1, assign ? va_arg(args, char *) : nullptr);
            break;
        case '[': {
            bool set[256];
            p = scan_parse_set(p, set);
            if (!p) return count;
            result = scan_set(f, field_width, set, assign ? va_arg(args, char *) : nullptr);
            break;
        }
        case 'n':
            if (assign) {
                uint32_t consumed = scan_consumed(f) - start;
                if (size == SIZE_SHORT) scan_store_integer(va_arg(args, short *), size, consumed);
                else scan_store_integer(va_arg(args, int *), size, consumed);
            }
            continue;
        default:
            return count;
        }
        if (result == SCAN_MATCH_FAILURE) return count;
        if (result == SCAN_INPUT_FAILURE) return count > 0 ? count : -1;
        if (assign) count++;
    }
    return count;
}

int vfs_scanf(VfsFile *f, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int n = vfs_vscanf(f, format, args);
    va_end(args);
    return n;
}
