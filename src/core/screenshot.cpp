#include "core/screenshot.h"

#include <GL/gl.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>

#include "core/console.h"
#include "files/image.h"
#include "files/vfs.h"

static int s_next_number = -1;   // found on the first screenshot, then counts up

int screenshot_highest_number(const char *dir) {
    int highest = 0;
    DIR *d = dir ? opendir(dir) : nullptr;
    if (!d) return 0;
    while (struct dirent *e = readdir(d)) {
        const char *name = e->d_name;
        if (strncmp(name, "screenshot", 10) != 0 || !isdigit((unsigned char)name[10])) continue;
        long n = strtol(name + 10, nullptr, 10);
        if (n > highest && n < 1000000) highest = (int)n;
    }
    closedir(d);
    return highest;
}

bool screenshot_save(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    if (s_next_number < 0) s_next_number = screenshot_highest_number(vfs_data_dir(0)) + 1;
    unsigned char *rows = (unsigned char *)malloc((size_t)width * height * 3);
    if (!rows) return false;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows);
    char name[64];
    snprintf(name, sizeof name, "@screenshot%03d.png", s_next_number);
    bool ok = png_write_rgb(name, rows, width, height);
    free(rows);
    if (!ok) {
        console_message("Can't write \"%s\"", name + 1);
        return false;
    }
    console_message("Saved \"screenshot%03d.png\"", s_next_number);
    s_next_number++;
    return true;
}
