// The PNG readers on arbitrary bytes. They open pictures by name, so each
// input is written to a file in a scratch folder first. The first byte picks
// the reader: bits 0-1 give png_read_rgba, png_read_gray16 or
// image_read_file (which also reaches the other formats); bit 2 adds a
// ".info" side file asking for custom mip levels, bit 3 one asking for the
// max-alpha rule. Whatever the bytes: no crash, no overread, and a picture
// that reads holds all the bytes its size says.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "files/image.h"

static std::string s_dir, s_picture, s_info;

static void fuzz_cleanup() {
    unlink(s_picture.c_str());
    unlink(s_info.c_str());
    rmdir(s_dir.c_str());
}

static bool fuzz_scratch() {
    if (!s_dir.empty()) return true;
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_png.XXXXXX";
    if (!mkdtemp(&pattern[0])) return false;
    s_dir = pattern;
    s_picture = s_dir + "/in.png";
    s_info = s_picture + ".info";
    atexit(fuzz_cleanup);
    return true;
}

static bool fuzz_write(const std::string &path, const void *data, size_t size) {
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

static void check(bool ok, const Image &image) {
    if (!ok) {
        if (image.pixels || image.info || image.width || image.height) abort();
        return;
    }
    size_t bytes = image.has_chain ? mip_chain_bytes(image.width, image.height, image.channels)
                                   : (size_t)image.width * image.height * image.channels;
    volatile unsigned char last = image.pixels[bytes - 1];
    (void)last;
    if (image.info) (void)strlen(image.info);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || !fuzz_scratch()) return 0;
    int which = data[0];
    if (!fuzz_write(s_picture, data + 1, size - 1)) return 0;
    unlink(s_info.c_str());
    std::string info = std::string(which & 4 ? "[mip_custom]" : "") + (which & 8 ? "[mip_max_alpha]" : "");
    if (!info.empty() && !fuzz_write(s_info, info.data(), info.size())) return 0;

    Image image;
    switch (which & 3) {
    case 0:
        check(png_read_rgba(s_picture.c_str(), &image), image);
        break;
    case 1: {
        uint16_t *samples = nullptr;
        int width = 0, height = 0;
        if (png_read_gray16(s_picture.c_str(), &samples, &width, &height)) {
            volatile uint16_t last = samples[(size_t)width * height - 1];
            (void)last;
        } else if (samples || width || height) {
            abort();
        }
        free(samples);
        return 0;
    }
    default:
        check(image_read_file(s_picture.c_str(), which & 16 ? 4 : 3, &image), image);
        break;
    }
    image_free(&image);
    return 0;
}
