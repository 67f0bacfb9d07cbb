// Message boxes for the player: an SDL message box (OK button, no owner
// window) when a display is there to show it; the title and text always go to
// standard error and the log as well.
#pragma once

// Formats into at most 1023 characters. Safe to call with or without an open
// window, before or after SDL is started; returns when the player has
// dismissed the box.
void zolm_message_box(const char *title, const char *format, ...) __attribute__((format(printf, 2, 3)));
