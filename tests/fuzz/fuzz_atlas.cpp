// The font atlas grid reader on arbitrary pixels. The first two bytes give
// the atlas width and height (1..64 each), the third picks the character
// list, the rest are the RGBA pixels (missing ones zero). Whatever the
// pixels: no crash, no read outside the atlas; a refused atlas is left as it
// was, and an accepted one gives boxes inside the atlas and advances above 0.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    int width = data[0] % 64 + 1, height = data[1] % 64 + 1;
    static const char *const lists[] = {"A", "0123456789", "!\"#$%&'()*+,-./:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ", "-x"};
    const char *chars = lists[data[2] % 4];
    std::vector<unsigned char> px((size_t)width * height * 4, 0);
    size_t n = size - 3 < px.size() ? size - 3 : px.size();
    if (n) memcpy(px.data(), data + 3, n);
    std::vector<unsigned char> before = px;

    Font font;
    font_clear(&font);
    if (!font_atlas_parse(px.data(), width, height, chars, &font)) {
        if (px != before) abort();
        return 0;
    }
    for (const char *c = chars; *c; c++) {
        unsigned char i = (unsigned char)*c;
        if (!font.has_glyph[i]) abort();
        if (!(font.left[i] >= 0 && font.left[i] < font.right[i] && font.right[i] <= 1)) abort();
        if (!(font.top[i] >= 0 && font.top[i] < font.bottom[i] && font.bottom[i] <= 1)) abort();
        if (!(font.advance[i] > 0 && std::isfinite(font.advance[i]))) abort();
    }
    return 0;
}
