// The platform log, the last error text and the ZOLM_OPTIONS options.
//
// The game thread, the window thread and the audio thread all log, so one
// mutex guards the stream and the state around it; the time prefix and the
// text are still two writes, under the same lock. A text is formatted into a
// stack buffer first (the first-call and flush checks look at its start);
// one too long for it goes to the stream straight through vfprintf, so no
// text is ever cut.
#include "platform/log.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>

#include "platform/clock.h"

enum {
    LOG_TEXT_BYTES = 1024,
    LOG_ERROR_BYTES = 1024,
    OPTION_NAME_CHARS = 60,
    OPTION_VALUE_BYTES = 64,
    LOG_CONTROL_BYTE = 19,
};

static const char LOG_SETTING[] = "ZOLM_LOGFILE=";

static std::mutex s_log_mutex;
static FILE *s_log_file;                 // none until opened, again after closing
static bool s_log_started;               // set by the first call
static bool s_log_flush = true;          // flush and sync after every line
static char s_last_error[LOG_ERROR_BYTES] = "Unknown";
static char *s_options;                  // ZOLM_OPTIONS, copied on first use
static bool s_options_read;

// Writes one line: the prefix, then the text. text holds the first n bytes
// of format applied to ap; when it did not fit, ap formats straight into the
// stream. Caller holds the mutex.
static void log_write(const char *text, int n, const char *format, va_list ap) {
    if (!s_log_file) return;
    int32_t s, us;
    zolm_time(&s, &us);
    fprintf(s_log_file, "[%d:%02d:%02d.%02d] ", s / 3600, s / 60 % 60, s % 60, us / 10000);
    if (n >= 0 && n < LOG_TEXT_BYTES) fwrite(text, 1, (size_t)n, s_log_file);
    else vfprintf(s_log_file, format, ap);
    if (s_log_flush) {
        fflush(s_log_file);
        fsync(fileno(s_log_file));
    }
}

// zolm_log for callers that already hold the mutex.
static void log_locked(const char *format, ...) __attribute__((format(printf, 1, 2)));
static void log_locked(const char *format, ...) {
    char text[LOG_TEXT_BYTES];
    va_list ap, probe;
    va_start(ap, format);
    va_copy(probe, ap);
    int n = vsnprintf(text, sizeof text, format, probe);
    va_end(probe);
    log_write(text, n, format, ap);
    va_end(ap);
}

// Opens the named log: ">>name" appends, ">name" or a plain name rewrites;
// ZOLM_LOGFILE_FLAGS, when set, is the open mode instead.
static void log_open(const char *name, const char *flags) {
    const char *mode = "w";
    if (strncmp(name, ">>", 2) == 0) {
        mode = "a";
        name += 2;
    } else if (name[0] == '>') {
        name += 1;
    }
    if (flags) mode = flags;
    s_log_file = fopen(name, mode);
    if (!s_log_file) return;
    log_locked("Logfile \"%s\" opened\n", name);
    log_locked("ZOLM 0.31\n");
}

void zolm_log(const char *format, ...) {
    std::lock_guard<std::mutex> lock(s_log_mutex);
    if (!format) {
        if (s_log_file) fclose(s_log_file);
        s_log_file = nullptr;
        return;
    }

    char text[LOG_TEXT_BYTES];
    va_list ap, probe;
    va_start(ap, format);
    va_copy(probe, ap);
    int n = vsnprintf(text, sizeof text, format, probe);
    va_end(probe);
    if (n < 0) {
        n = 0;
        text[0] = 0;
    }

    if (!s_log_started) {
        s_log_started = true;
        const char *env_name = getenv("ZOLM_LOGFILE");
        const char *flags = getenv("ZOLM_LOGFILE_FLAGS");
        bool setting = strncmp(text, LOG_SETTING, sizeof LOG_SETTING - 1) == 0;
        if (env_name) {
            log_open(env_name, flags);
        } else if (setting && n < LOG_TEXT_BYTES) {
            log_open(text + sizeof LOG_SETTING - 1, flags);
        } else if (setting) {
            // A name longer than the buffer: format the whole text once more.
            char *whole = (char *)malloc((size_t)n + 1);
            if (whole) {
                va_copy(probe, ap);
                vsnprintf(whole, (size_t)n + 1, format, probe);
                va_end(probe);
                log_open(whole + sizeof LOG_SETTING - 1, flags);
                free(whole);
            }
        }
        if (setting) {
            va_end(ap);
            return;
        }
    }

    if (text[0] == LOG_CONTROL_BYTE) {
        if (strncmp(text + 1, "FLUSH", 5) == 0) {
            s_log_flush = true;
            va_end(ap);
            return;
        }
        if (strncmp(text + 1, "NOFLUSH", 7) == 0) {
            s_log_flush = false;
            va_end(ap);
            return;
        }
    }

    log_write(text, n, format, ap);
    va_end(ap);
}

void zolm_error(const char *text) {
    if (!text) text = "";
    zolm_log("Error: %s\n", text);
    std::lock_guard<std::mutex> lock(s_log_mutex);
    snprintf(s_last_error, sizeof s_last_error, "%s", text);
}

const char *zolm_last_error() {
    return s_last_error;
}

// Copies what follows "[name:" in ZOLM_OPTIONS (at most OPTION_VALUE_BYTES - 1
// bytes); false when there is no such entry.
static bool option_value(const char *name, char value[OPTION_VALUE_BYTES]) {
    char key[OPTION_NAME_CHARS + 3];
    snprintf(key, sizeof key, "[%.60s:", name);

    std::lock_guard<std::mutex> lock(s_log_mutex);
    if (!s_options_read) {
        s_options_read = true;
        const char *env = getenv("ZOLM_OPTIONS");
        s_options = strdup(env ? env : "");
    }
    const char *at = s_options ? strstr(s_options, key) : nullptr;
    if (!at) return false;
    snprintf(value, OPTION_VALUE_BYTES, "%s", at + strlen(key));
    return true;
}

int zolm_option_bool(const char *name, int default_value) {
    char value[OPTION_VALUE_BYTES];
    if (!option_value(name, value)) return default_value;
    if (strncmp(value, "yes]", 4) == 0 || strncmp(value, "on]", 3) == 0) return 1;
    if (strncmp(value, "no]", 3) == 0 || strncmp(value, "off]", 4) == 0) return 0;
    zolm_log("unrecognized setting for %s\n", name);
    return default_value;
}

int zolm_option_int(const char *name, int default_value) {
    char value[OPTION_VALUE_BYTES];
    if (!option_value(name, value)) return default_value;
    char *end;
    long v = strtol(value, &end, 10);
    if (end == value) {
        zolm_log("unrecognized setting for %s\n", name);
        return default_value;
    }
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    return (int)v;
}

void zolm_log_reset() {
    std::lock_guard<std::mutex> lock(s_log_mutex);
    if (s_log_file) fclose(s_log_file);
    s_log_file = nullptr;
    s_log_started = false;
    s_log_flush = true;
    snprintf(s_last_error, sizeof s_last_error, "%s", "Unknown");
    free(s_options);
    s_options = nullptr;
    s_options_read = false;
}
