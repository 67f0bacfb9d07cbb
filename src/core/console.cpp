// The console message ring. Lines are written at the write index and never
// moved; the lines shown are the `shown` lines written last.
#include "core/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/log.h"

enum {
    // Room for the longest message formats ("%.950s" and a few words); the
    // log gets the whole text, the ring its first 127 characters.
    CONSOLE_TEXT_BYTES = 1024,
    // Until the settings record is in, "message_lines" keeps its default.
    CONSOLE_DEFAULT_SHOWN = 5,
};

static const double CONSOLE_FIRST_EXPIRY = 2.0;   // a new line stays this long
static const double CONSOLE_NEXT_EXPIRY = 5.0;    // then one line goes every 5 s

ConsoleRing g_console = {{{0}}, 0, 0, CONSOLE_DEFAULT_SHOWN, 0.0};
static double s_clock;   // the game clock as last set

void console_clear() {
    memset(g_console.lines, 0, sizeof g_console.lines);
    g_console.write_index = 0;
    g_console.shown = 0;
    g_console.expiry = 0.0;
}

void console_message(const char *format, ...) {
    char text[CONSOLE_TEXT_BYTES];
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    if (n < 0) text[0] = 0;

    size_t length = strlen(text);
    size_t kept = length < CONSOLE_LINE_BYTES - 1 ? length : CONSOLE_LINE_BYTES - 1;
    char *line = g_console.lines[g_console.write_index];
    memcpy(line, text, kept);
    line[kept] = 0;
    g_console.write_index = (g_console.write_index + 1) % CONSOLE_LINES;
    if (g_console.shown < g_console.max_shown) g_console.shown++;
    g_console.expiry = s_clock + CONSOLE_FIRST_EXPIRY;

    // A text that changes terminal colours resets them, so a log shown in a
    // terminal does not stay coloured.
    const char *reset = strchr(text, '\033') ? "\033[0m" : "";
    if (length > 0 && text[length - 1] == '\n') zolm_log("%s%s", text, reset);
    else zolm_log("%s%s\n", text, reset);
}

const char *console_shown_line(int i) {
    if (i < 0 || i >= g_console.shown) return nullptr;
    int at = g_console.write_index - g_console.shown + i;
    if (at < 0) at += CONSOLE_LINES;
    return g_console.lines[at];
}

const char *console_recent_line(int back) {
    if (back < 0 || back >= CONSOLE_LINES) return nullptr;
    int at = g_console.write_index - 1 - back;
    if (at < 0) at += CONSOLE_LINES;
    return g_console.lines[at];
}

void console_expire(double game_clock) {
    if (game_clock > g_console.expiry && g_console.shown > 0) {
        g_console.shown--;
        g_console.expiry = game_clock + CONSOLE_NEXT_EXPIRY;
    }
}

void console_set_clock(double game_clock) {
    s_clock = game_clock;
}
