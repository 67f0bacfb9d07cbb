// The console message ring: player-visible lines, newest last, each also
// written to the log. The HUD draws the lines shown; the main loop expires
// them one by one by the game clock.
//
// Owns: the ring of 1000 lines of up to 127 characters and its counters.
#pragma once

enum {
    CONSOLE_LINES = 1000,
    CONSOLE_LINE_BYTES = 128,
};

struct ConsoleRing {
    char lines[CONSOLE_LINES][CONSOLE_LINE_BYTES];
    int write_index;        // next line written; wraps after 999
    int shown;              // lines shown, 0..max_shown
    int max_shown;          // the "message_lines" setting; 5 until the
                            // settings record sets it
    double expiry;          // game clock at which one line fewer is shown
};

extern ConsoleRing g_console;   // whole process; console_clear() at start-up

void console_clear();
// Shows a line (formatted, cut to 127 characters) and logs it as "%s\n"
// (no "\n" added when it ends in one), adding the colour reset when the text
// holds an escape character.
void console_message(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The i-th shown line, 0 the oldest shown; none when out of range.
const char *console_shown_line(int i);
// A line of the whole ring counted back from the newest (0), for the chat
// view's scroll-back; none outside 0..999. Lines never written are empty.
const char *console_recent_line(int back);
// The per-frame expiry: one line fewer once the game clock passes the expiry.
void console_expire(double game_clock);
// The game clock that console_message stamps new lines with.
void console_set_clock(double game_clock);
