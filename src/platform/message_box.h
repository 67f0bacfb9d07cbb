// Message boxes for the player. Until the window layer draws real ones, the
// title and text go to standard error (and the log).
#pragma once

void zolm_message_box(const char *title, const char *format, ...) __attribute__((format(printf, 2, 3)));
