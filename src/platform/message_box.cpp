// Message boxes for the player: an SDL message box with an OK button and no
// owner window when a display is there to show it. The title and text also
// go to standard error and the log, so a run from a terminal, a headless run
// (SDL's offscreen or dummy video driver, or no display at all) and the log
// all keep the message.
#include "platform/message_box.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "platform/log.h"
#include "platform/sdl_internal.h"

// Whether a message box could appear on a screen: not with a video driver
// that draws nowhere, not without an X or Wayland display.
static bool display_available() {
    const char *driver = getenv("SDL_VIDEODRIVER");
    if (driver && (strcasecmp(driver, "offscreen") == 0 || strcasecmp(driver, "dummy") == 0)) return false;
    const char *x = getenv("DISPLAY"), *wayland = getenv("WAYLAND_DISPLAY");
    return (x && x[0]) || (wayland && wayland[0]);
}

void zolm_message_box(const char *title, const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    size_t n = strlen(text);
    const char *newline = (n > 0 && text[n - 1] == '\n') ? "" : "\n";
    fprintf(stderr, "%s: %s%s", title, text, newline);
    zolm_log("%s: %s%s", title, text, newline);
    if (display_available() && SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, nullptr) != 0)
        zolm_log("Can't show a message box: %s\n", SDL_GetError());
}
