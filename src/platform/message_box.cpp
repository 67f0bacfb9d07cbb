#include "platform/message_box.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/log.h"

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
}
