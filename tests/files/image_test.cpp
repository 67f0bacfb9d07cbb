// The picture readers and writers: byte-exact decodes of small hand-made
// files of every format, the mip chain rules, the PNG info text and custom
// mip levels, rejection of damaged files, writer round trips, and the
// default pictures of the data set.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

#include "files/image.h"
#include "files/vfs.h"
#include "make_art.h"
#include "platform/log.h"
#include "test_util.h"

namespace {

using Bytes = std::vector<int>;

std::string bytes_of(const Bytes &values) {
    std::string s;
    for (int v : values) s += (char)v;
    return s;
}

Bytes pixels_of(const unsigned char *p, size_t n) {
    return Bytes(p, p + n);
}

Bytes base_of(const Image &image) {
    return pixels_of(image.pixels, (size_t)image.width * image.height * image.channels);
}

// Reads path as a stream and hands it to read after the magic word.
template <class Reader>
bool read_after_magic(const std::string &path, Reader read, Image *out) {
    VfsFile *f = vfs_open(path.c_str(), "rb");
    if (!f) return false;
    char magic[16];
    bool ok = vfs_scanf(f, "%15s", magic) == 1 && read(f, magic, out);
    vfs_close(f);
    return ok;
}

bool read_ppm(const std::string &path, Image *out) {
    return read_after_magic(path, [](VfsFile *f, const char *magic, Image *o) { return ppm_read(f, magic[1] == '3', o); }, out);
}

bool read_pgm(const std::string &path, Image *out) {
    return read_after_magic(path, [](VfsFile *f, const char *magic, Image *o) { return pgm_read(f, magic[1] == '2', o); }, out);
}

bool read_delta(const std::string &path, int out_channels, Image *out) {
    return read_after_magic(path, [&](VfsFile *f, const char *magic, Image *o) {
        return delta_read(f, strcmp(magic, "V7") == 0 ? 4 : 3, out_channels, o);
    }, out);
}

bool is_empty(const Image &image) {
    return !image.pixels && !image.info && image.width == 0 && image.height == 0 && image.channels == 0 && !image.has_chain;
}

// --- PNG files made by hand, with zlib, so every colour type can be tried --

void put32(std::string *s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) *s += (char)(v >> shift & 0xff);
}

std::string png_chunk(const char *type, const std::string &data) {
    std::string c;
    put32(&c, (uint32_t)data.size());
    std::string body = std::string(type, 4) + data;
    c += body;
    put32(&c, (uint32_t)crc32(0, (const Bytef *)body.data(), (uInt)body.size()));
    return c;
}

int png_channels_of(int color) {
    return color == 0 ? 1 : color == 2 ? 3 : color == 3 ? 1 : color == 4 ? 2 : 4;
}

// A PNG of the given rows (packed samples, no filter bytes), every row
// filtered with "None"; before and after are chunks around the image data.
std::string png_file(int width, int height, int depth, int color, const std::string &rows,
                     const std::string &before = "", const std::string &after = "", int interlace = 0) {
    std::string ihdr;
    put32(&ihdr, (uint32_t)width);
    put32(&ihdr, (uint32_t)height);
    ihdr += (char)depth;
    ihdr += (char)color;
    ihdr += '\0';
    ihdr += '\0';
    ihdr += (char)interlace;
    size_t row = ((size_t)width * png_channels_of(color) * depth + 7) / 8;
    std::string raw;
    for (int y = 0; y < height; y++) raw += '\0' + rows.substr(y * row, row);
    uLongf size = compressBound(raw.size());
    std::string z(size, '\0');
    compress((Bytef *)&z[0], &size, (const Bytef *)raw.data(), raw.size());
    z.resize(size);
    return std::string("\x89PNG\r\n\x1a\n", 8) + png_chunk("IHDR", ihdr) + before + png_chunk("IDAT", z) + after +
           png_chunk("IEND", "");
}

std::string text_chunk(const char *key, const std::string &text) {
    return png_chunk("tEXt", std::string(key) + '\0' + text);
}

std::string ztxt_chunk(const char *key, const std::string &text) {
    uLongf size = compressBound(text.size());
    std::string z(size, '\0');
    compress((Bytef *)&z[0], &size, (const Bytef *)text.data(), text.size());
    z.resize(size);
    return png_chunk("zTXt", std::string(key) + '\0' + '\0' + z);
}

// Sends the log to a file for the life of the object.
struct LogCapture {
    std::string path;
    explicit LogCapture(const std::string &file) : path(file) {
        setenv("ZOLM_LOGFILE", path.c_str(), 1);
        zolm_log_reset();
    }
    ~LogCapture() {
        zolm_log_reset();
        unsetenv("ZOLM_LOGFILE");
    }
    std::string text() {
        zolm_log_reset();
        std::string s;
        read_file(path, &s);
        return s;
    }
};

}  // namespace

// --- PPM and PGM --------------------------------------------------------------

TEST(Ppm, DecodesRawAndTextFormsWithCommentsAndScaling) {
    struct Case {
        const char *what;
        std::string file;
        Bytes base;
    };
    const Case cases[] = {
        {"P6, max 15, comments before each number",
         "P6\n# made by hand\n2 # width\n  # more\n1\n#max\n15\n" + bytes_of({15, 0, 7, 1, 2, 3}),
         {255, 0, 119, 17, 34, 51}},
        {"P3, max 15, comments between samples", "P3 2 1 15\n15 0 7 # first pixel\n1 2\n# last\n3\n",
         {255, 0, 119, 17, 34, 51}},
        {"P6, max 255, bytes as they are", "P6 2 1 255\n" + bytes_of({0, 128, 255, 9, 8, 7}), {0, 128, 255, 9, 8, 7}},
        {"P6, max 65535, two bytes per sample, high first",
         "P6 2 1 65535\n" + bytes_of({0xff, 0xff, 0x80, 0x00, 0x00, 0xff, 0, 0, 0x12, 0x34, 0xff, 0xfe}),
         {255, 127, 0, 0, 18, 254}},
        {"P3, max 1000, a sample above the maximum counts as the maximum", "P3 2 1 1000 1000 500 0 2000 1 999\n",
         {255, 127, 0, 255, 0, 254}},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        write_file(dir / "pic.ppm", c.file);
        Image image;
        ASSERT_TRUE(read_ppm(dir / "pic.ppm", &image)) << image_last_error();
        EXPECT_EQ(2, image.width);
        EXPECT_EQ(1, image.height);
        EXPECT_EQ(3, image.channels);
        EXPECT_EQ(c.base, base_of(image));
        // The chain's one pixel is the mean of the pair.
        ASSERT_TRUE(image.has_chain);
        for (int k = 0; k < 3; k++) EXPECT_EQ((c.base[k] + c.base[3 + k]) / 2, image.pixels[6 + k]);
        image_free(&image);
        EXPECT_TRUE(is_empty(image));
    }
}

TEST(Pgm, DecodesRawAndTextFormsWithoutAChain) {
    ScratchDir dir;
    const std::pair<std::string, Bytes> cases[] = {
        {"P5\n# gray\n3 2\n255\n" + bytes_of({0, 1, 2, 253, 254, 255}), {0, 1, 2, 253, 254, 255}},
        {"P2\n3 # w\n2 # h\n15\n0 1 2 # row\n15 14 13\n", {0, 17, 34, 255, 238, 221}},
        {"P5 1 2 300\n" + bytes_of({0x01, 0x2c, 0x00, 0x96}), {255, 127}},
    };
    for (const auto &c : cases) {
        write_file(dir / "pic.pgm", c.first);
        Image image;
        ASSERT_TRUE(read_pgm(dir / "pic.pgm", &image)) << image_last_error();
        EXPECT_EQ(1, image.channels);
        EXPECT_FALSE(image.has_chain);
        EXPECT_EQ(c.second, base_of(image));
        image_free(&image);
    }
}

TEST(Ppm, RejectsBadHeadersAndShortDataWithTheReason) {
    struct Case {
        const char *file;
        bool ascii_pgm;     // read as PGM instead
        const char *error;
    };
    const Case cases[] = {
        {"P6 -2 1 255\n", false, "Can't get PPM dimensions"},
        {"P6 2\n", false, "Can't get PPM dimensions"},
        {"P6 2 x 255\n", false, "Can't get PPM dimensions"},
        {"P6 # only a comment", false, "Can't get PPM dimensions"},
        {"P6 0 1 255\n", false, "PPM size 0x1 out of range"},
        {"P6 16385 1 255\n", false, "PPM size 16385x1 out of range"},
        {"P6 16384 4097 255\n", false, "PPM size 16384x4097 out of range"},
        {"P6 2 1 0\n123456", false, "PPM maximum value 0 out of range"},
        {"P6 2 1 65536\n123456", false, "PPM maximum value 65536 out of range"},
        {"P6 2 1 255\n12345", false, "Truncated PPM data"},
        {"P6 2 1 255", false, "Truncated PPM data"},
        {"P6 2 1 65535\n12345678901", false, "Truncated PPM data"},
        {"P6 16384 4096 255\n123", false, "Truncated PPM data"},
        {"P3 2 1 255 1 2 3 4 5\n", false, "Truncated or bad PPM data"},
        {"P3 2 1 255 1 2 3 4 5 -6\n", false, "Truncated or bad PPM data"},
        {"P3 2 1 255 1 2 3 4 5 x\n", false, "Truncated or bad PPM data"},
        {"P5 -1 1 255\n", true, "Can't get PGM dimensions"},
        {"P5 3 1 255\nab", true, "Truncated PGM data"},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        write_file(dir / "bad", c.file);
        Image image;
        EXPECT_FALSE(c.ascii_pgm ? read_pgm(dir / "bad", &image) : read_ppm(dir / "bad", &image));
        EXPECT_STREQ(c.error, image_last_error());
        EXPECT_TRUE(is_empty(image));
    }
}

TEST(Ppm, StreamReadersCheckTheMagicWord) {
    ScratchDir dir;
    write_file(dir / "a", "P3 1 1 255 1 2 3");
    write_file(dir / "b", "P4 1 1\n\x80");
    write_file(dir / "c", "P2 1 1 255 9");
    Image image;
    VfsFile *f = vfs_open((dir / "a").c_str(), "rb");
    ASSERT_TRUE(ppm_read_stream(f, &image));
    EXPECT_EQ((Bytes{1, 2, 3}), base_of(image));
    image_free(&image);
    vfs_close(f);
    f = vfs_open((dir / "b").c_str(), "rb");
    EXPECT_FALSE(ppm_read_stream(f, &image));
    EXPECT_STREQ("Can't parse PPM header", image_last_error());
    vfs_close(f);
    f = vfs_open((dir / "a").c_str(), "rb");
    EXPECT_FALSE(pgm_read_stream(f, &image));
    EXPECT_STREQ("Can't parse PGM header", image_last_error());
    vfs_close(f);
    f = vfs_open((dir / "c").c_str(), "rb");
    ASSERT_TRUE(pgm_read_stream(f, &image));
    EXPECT_EQ((Bytes{9}), base_of(image));
    image_free(&image);
    vfs_close(f);
}

// --- the predicted-delta format -------------------------------------------

// A 2 x 2 picture whose last pixel's prediction clamps high in red (250 +
// 200 - 10) and low in green (5 + 10 - 200); blue is predicted unclamped.
// Alpha (V7 only) goes 50, 60, 70 and then 70 + 60 - 50 + 1.
static const Bytes k_delta_rgb = {10, 200, 100, 200, 10, 110, 250, 5, 120, 4, 7, 133};
static const Bytes k_delta_alpha = {50, 60, 70, 81};

TEST(Delta, DecodesPredictionsWithClampingInEveryChannelCombination) {
    std::string v6 = "V6\n# comment\n2\n# another\n2\n" +
                     bytes_of({10, 200, 100, 190, 66, 10, 240, 61, 20, 5, 7, 3});
    std::string v7 = "V7 2 2\n" + bytes_of({10, 200, 100, 50, 190, 66, 10, 10, 240, 61, 20, 20, 5, 7, 3, 1});
    ScratchDir dir;
    write_file(dir / "a.v6", v6);
    write_file(dir / "a.v7", v7);
    struct Case {
        const char *file;
        int out_channels;
    };
    const Case cases[] = {{"a.v6", 3}, {"a.v6", 4}, {"a.v7", 3}, {"a.v7", 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.file) + " as " + std::to_string(c.out_channels));
        Image image;
        ASSERT_TRUE(read_delta(dir / c.file, c.out_channels, &image)) << image_last_error();
        bool stored_alpha = strcmp(c.file, "a.v7") == 0;
        Bytes want;
        for (int p = 0; p < 4; p++) {
            for (int k = 0; k < 3; k++) want.push_back(k_delta_rgb[p * 3 + k]);
            // "V6" read as RGBA gives alpha 0.
            if (c.out_channels == 4) want.push_back(stored_alpha ? k_delta_alpha[p] : 0);
        }
        EXPECT_EQ(2, image.width);
        EXPECT_EQ(2, image.height);
        EXPECT_EQ(c.out_channels, image.channels);
        EXPECT_EQ(want, base_of(image));
        ASSERT_TRUE(image.has_chain);
        EXPECT_EQ(116, image.pixels[4 * c.out_channels]);   // (10 + 200 + 250 + 4) / 4
        image_free(&image);
    }
}

TEST(Delta, RejectsBadHeadersAndShortData) {
    const std::pair<const char *, const char *> cases[] = {
        {"V6 2", "Can't get V6 dimensions"},
        {"V7 -1 2\n", "Can't get V7 dimensions"},
        {"V6 20000 2\n", "V6 size 20000x2 out of range"},
        {"V6 2 2", "Truncated V6 data"},
        {"V7 2 2\n0123456789abcde", "Truncated V7 data"},
        {"V6 10000 6000\n0123456789", "Truncated V6 data"},
    };
    ScratchDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        write_file(dir / "bad", c.first);
        Image image;
        EXPECT_FALSE(read_delta(dir / "bad", 4, &image));
        EXPECT_STREQ(c.second, image_last_error());
        EXPECT_TRUE(is_empty(image));
    }
}

// --- mip chains -------------------------------------------------------------

TEST(Mip, ChainSizesHalveDownToOnePixel) {
    EXPECT_EQ((5 * 3 + 2 * 1 + 1) * 3u, mip_chain_bytes(5, 3, 3));
    EXPECT_EQ((4 + 2 + 1) * 4u, mip_chain_bytes(1, 4, 4));
    EXPECT_EQ((64 * 64 + 32 * 32 + 16 * 16 + 8 * 8 + 4 * 4 + 2 * 2 + 1) * 1u, mip_chain_bytes(64, 64, 1));
    EXPECT_EQ(3u, mip_chain_bytes(1, 1, 3));
    EXPECT_EQ((8 * 2 + 4 + 2 + 1) * 1u, mip_chain_bytes(8, 2, 1));
    EXPECT_EQ(0u, mip_chain_bytes(0, 4, 3));
}

TEST(Mip, OddSizesDropTheLastRowAndColumnAndPairUpThinLevels) {
    // 5 x 3 gray, values 0..14: level 1 is 2 x 1 from the top-left 4 x 2.
    std::vector<unsigned char> p(mip_chain_bytes(5, 3, 1), 0xee);
    for (int i = 0; i < 15; i++) p[i] = (unsigned char)(i * 10);
    mip_chain_build(p.data(), 5, 3, 1, false);
    EXPECT_EQ((Bytes{(0 + 10 + 50 + 60) / 4, (20 + 30 + 70 + 80) / 4, (30 + 50) / 2}), pixels_of(&p[15], 3));

    // 1 x 4 RGB: pairs down the column.
    std::vector<unsigned char> q(mip_chain_bytes(1, 4, 3), 0xee);
    const Bytes column = {10, 20, 30, 11, 21, 31, 100, 0, 255, 101, 3, 254};
    for (size_t i = 0; i < column.size(); i++) q[i] = (unsigned char)column[i];
    mip_chain_build(q.data(), 1, 4, 3, false);
    EXPECT_EQ((Bytes{10, 20, 30, 100, 1, 254, 55, 10, 142}), pixels_of(&q[12], 9));
}

TEST(Mip, AlphaWeightsTheColourUnlessAllOrNothingIsOpaque) {
    struct Case {
        const char *what;
        Bytes block;        // four RGBA pixels, 2 x 2
        bool max_alpha;
        Bytes want;
    };
    const Case cases[] = {
        {"one opaque pixel gives its colour, alpha 63", {200, 100, 50, 255, 0, 0, 0, 0, 9, 9, 9, 0, 90, 90, 90, 0}, false,
         {200, 100, 50, 63}},
        {"with max-alpha the alpha is the largest", {200, 100, 50, 255, 0, 0, 0, 0, 9, 9, 9, 0, 90, 90, 90, 0}, true,
         {200, 100, 50, 255}},
        {"all transparent: the plain mean", {200, 100, 50, 0, 0, 0, 0, 0, 8, 8, 8, 0, 100, 100, 102, 0}, false,
         {77, 52, 40, 0}},
        {"all opaque: the plain mean", {200, 100, 50, 255, 0, 0, 0, 255, 8, 8, 8, 255, 100, 100, 102, 255}, false,
         {77, 52, 40, 255}},
        {"partly opaque: weighted by alpha", {100, 0, 0, 255, 200, 0, 0, 51, 0, 0, 0, 0, 0, 0, 0, 0}, false,
         {116, 0, 0, 76}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> p(mip_chain_bytes(2, 2, 4));
        for (int i = 0; i < 16; i++) p[i] = (unsigned char)c.block[i];
        mip_chain_build(p.data(), 2, 2, 4, c.max_alpha);
        EXPECT_EQ(c.want, pixels_of(&p[16], 4));
    }
    // A one-pixel-high level uses pairs by the same rules.
    std::vector<unsigned char> pair(mip_chain_bytes(2, 1, 4));
    const Bytes two = {200, 100, 50, 255, 0, 0, 0, 0};
    for (int i = 0; i < 8; i++) pair[i] = (unsigned char)two[i];
    mip_chain_build(pair.data(), 2, 1, 4, false);
    EXPECT_EQ((Bytes{200, 100, 50, 127}), pixels_of(&pair[8], 4));
}

// --- PNG --------------------------------------------------------------------

TEST(Png, DecodesEveryColourTypeToRgbOrRgba) {
    std::string plte = png_chunk("PLTE", bytes_of({255, 0, 0, 0, 255, 0, 0, 0, 255}));
    struct Case {
        const char *what;
        std::string file;
        int width, channels;
        Bytes base;
    };
    const Case cases[] = {
        {"RGB", png_file(2, 1, 8, 2, bytes_of({1, 2, 3, 250, 251, 252})), 2, 3, {1, 2, 3, 250, 251, 252}},
        {"RGBA", png_file(2, 1, 8, 6, bytes_of({1, 2, 3, 4, 5, 6, 7, 8})), 2, 4, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"palette", png_file(3, 1, 8, 3, bytes_of({2, 0, 1}), plte), 3, 3, {0, 0, 255, 255, 0, 0, 0, 255, 0}},
        {"palette with tRNS", png_file(3, 1, 8, 3, bytes_of({2, 0, 1}), plte + png_chunk("tRNS", bytes_of({0, 128}))), 3, 4,
         {0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 128}},
        {"2-bit palette", png_file(3, 1, 2, 3, bytes_of({0x18}), plte), 3, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255}},
        {"2-bit gray", png_file(4, 1, 2, 0, bytes_of({0x1b})), 4, 3, {0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}},
        {"1-bit gray", png_file(2, 1, 1, 0, bytes_of({0x40})), 2, 3, {0, 0, 0, 255, 255, 255}},
        {"16-bit gray keeps the high byte", png_file(2, 1, 16, 0, bytes_of({0x12, 0x34, 0xab, 0xcd})), 2, 3,
         {0x12, 0x12, 0x12, 0xab, 0xab, 0xab}},
        {"gray with tRNS", png_file(2, 1, 8, 0, bytes_of({7, 9}), png_chunk("tRNS", bytes_of({0, 9}))), 2, 4,
         {7, 7, 7, 255, 9, 9, 9, 0}},
        {"gray and alpha", png_file(1, 1, 8, 4, bytes_of({40, 41})), 1, 4, {40, 40, 40, 41}},
        {"16-bit RGBA", png_file(1, 1, 16, 6, bytes_of({1, 0, 2, 0, 3, 0, 4, 0})), 1, 4, {1, 2, 3, 4}},
        {"interlaced", png_file(1, 1, 8, 2, bytes_of({5, 6, 7}), "", "", 1), 1, 3, {5, 6, 7}},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        write_file(dir / "pic.png", c.file);
        Image image;
        ASSERT_TRUE(png_read_rgba((dir / "pic.png").c_str(), &image)) << image_last_error();
        EXPECT_EQ(c.width, image.width);
        EXPECT_EQ(1, image.height);
        EXPECT_EQ(c.channels, image.channels);
        EXPECT_EQ(c.base, base_of(image));
        EXPECT_TRUE(image.has_chain);
        EXPECT_EQ(nullptr, image.info);
        image_free(&image);
    }
}

TEST(Png, InfoIsTheTextChunksThenTheInfoFile) {
    ScratchDir dir;
    // 2 x 2 RGBA with one opaque pixel; "[mip_max_alpha]" arrives after the
    // image data, split over a compressed chunk and the side file.
    std::string rows = bytes_of({200, 100, 50, 255, 0, 0, 0, 0, 9, 9, 9, 0, 90, 90, 90, 0});
    write_file(dir / "t.png", png_file(2, 2, 8, 6, rows, text_chunk("Comment", "one,") + text_chunk("Title", "two,"),
                                       ztxt_chunk("Comment", "three,[mip_max") + text_chunk("X", "")));
    write_file(dir / "t.png.info", "_alpha]\n[compress]\n");
    Image image;
    ASSERT_TRUE(png_read_rgba((dir / "t.png").c_str(), &image)) << image_last_error();
    ASSERT_NE(nullptr, image.info);
    EXPECT_STREQ("one,two,three,[mip_max_alpha]\n[compress]\n", image.info);
    EXPECT_EQ((Bytes{200, 100, 50, 255}), pixels_of(image.pixels + 16, 4));
    image_free(&image);

    // Without the side file the flag is incomplete: the plain alpha mean.
    remove((dir / "t.png.info").c_str());
    ASSERT_TRUE(png_read_rgba((dir / "t.png").c_str(), &image));
    EXPECT_STREQ("one,two,three,[mip_max", image.info);
    EXPECT_EQ((Bytes{200, 100, 50, 63}), pixels_of(image.pixels + 16, 4));
    image_free(&image);

    // A side file alone is the whole info, through an "@" name as well.
    use_data_dirs(dir / "xdg", dir / "data");
    write_file(dir / "data/pics/u.png", png_file(1, 1, 8, 2, bytes_of({1, 2, 3})));
    write_file(dir / "data/pics/u.png.info", "[compress]");
    ASSERT_TRUE(image_read_file("@pics/u.png", 0, &image)) << image_last_error();
    EXPECT_STREQ("[compress]", image.info);
    image_free(&image);
    vfs_reset();
}

TEST(Png, CustomMipLevelsComeFromTheStripBelowTheBase) {
    ScratchDir dir;
    LogCapture log(dir / "log.txt");
    // 64 x 96 gray: the top 64 x 64 holds 200; in the strip, level k (from
    // 1) holds 10 k in its own block and 255 anywhere else.
    std::string rows(64 * 96, (char)255);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) rows[y * 64 + x] = (char)200;
    for (int k = 1, x0 = 0, size = 32; size >= 1; k++, x0 += size, size /= 2)
        for (int y = 0; y < size; y++)
            for (int x = 0; x < size; x++) rows[(64 + y) * 64 + x0 + x] = (char)(10 * k);
    write_file(dir / "c.png", png_file(64, 96, 8, 0, rows, text_chunk("Comment", "[mip_custom]")));
    Image image;
    ASSERT_TRUE(png_read_rgba((dir / "c.png").c_str(), &image)) << image_last_error();
    EXPECT_EQ(64, image.width);
    EXPECT_EQ(64, image.height);
    ASSERT_TRUE(image.has_chain);
    const unsigned char *level = image.pixels;
    for (int k = 0, size = 64; size >= 1; k++, size /= 2) {
        SCOPED_TRACE("level " + std::to_string(k));
        Bytes want((size_t)size * size * 3, k == 0 ? 200 : 10 * k);
        EXPECT_EQ(want, pixels_of(level, want.size()));
        level += want.size();
    }
    EXPECT_EQ(image.pixels + mip_chain_bytes(64, 64, 3), level);
    image_free(&image);
    EXPECT_EQ(std::string::npos, log.text().find("Warning"));

    // 64 x 100 cannot be split: a warning, and the picture as read.
    write_file(dir / "d.png", png_file(64, 100, 8, 0, std::string(6400, 'x'), text_chunk("Comment", "[mip_custom]")));
    ASSERT_TRUE(png_read_rgba((dir / "d.png").c_str(), &image));
    EXPECT_EQ(64, image.width);
    EXPECT_EQ(100, image.height);
    EXPECT_FALSE(image.has_chain);
    image_free(&image);
    std::string text = log.text();
    EXPECT_NE(std::string::npos, text.find("Warning: Invalid height for custom MIP map in '" + (dir / "d.png") + "'\n"))
        << text;

    // Too narrow for its levels: 1 x 4 over a 1 x 2 strip holds level 1,
    // and level 2, with no room right of it, is filtered from level 1.
    write_file(dir / "e.png", png_file(1, 6, 8, 0, bytes_of({0, 80, 160, 240, 7, 9}),
                                       text_chunk("Comment", "[mip_custom]")));
    ASSERT_TRUE(png_read_rgba((dir / "e.png").c_str(), &image));
    EXPECT_EQ(4, image.height);
    ASSERT_TRUE(image.has_chain);
    EXPECT_EQ((Bytes{7, 7, 7, 9, 9, 9, 8, 8, 8}), pixels_of(image.pixels + 4 * 3, 9));
    image_free(&image);
}

TEST(Png, RejectsDamagedFiles) {
    std::string good = png_file(4, 4, 8, 2, std::string(48, 'a'));
    std::string bad_crc = good;
    bad_crc[29] ^= 1;   // the IHDR's CRC
    std::string huge_ihdr;
    put32(&huge_ihdr, 16384);
    put32(&huge_ihdr, 4097);
    huge_ihdr += std::string("\x08\x02\0\0\0", 5);
    std::string huge = std::string("\x89PNG\r\n\x1a\n", 8) + png_chunk("IHDR", huge_ihdr) + png_chunk("IEND", "");
    std::string wide_ihdr = huge_ihdr;
    wide_ihdr.replace(0, 8, std::string("\0\x01\0\0\0\0\0\x01", 8));
    std::string wide = std::string("\x89PNG\r\n\x1a\n", 8) + png_chunk("IHDR", wide_ihdr) + png_chunk("IEND", "");
    std::string no_end = good.substr(0, good.size() - 12);
    std::string short_data = png_file(4, 4, 8, 2, std::string(47, 'a'));
    const std::pair<const char *, std::string> cases[] = {
        {"empty", ""},
        {"not a PNG", "P6 1 1 255\nabc"},
        {"cut in the header", good.substr(0, 20)},
        {"cut in the data", good.substr(0, good.size() - 20)},
        {"no IEND", no_end},
        {"bad IHDR CRC", bad_crc},
        {"too many pixels", huge},
        {"too wide", wide},
        {"data short of the rows", short_data},
    };
    ScratchDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        write_file(dir / "bad.png", c.second);
        Image image;
        EXPECT_FALSE(png_read_rgba((dir / "bad.png").c_str(), &image));
        EXPECT_TRUE(is_empty(image));
        EXPECT_STRNE("", image_last_error());
        uint16_t *samples = (uint16_t *)1;
        int w = 1, h = 1;
        EXPECT_FALSE(png_read_gray16((dir / "bad.png").c_str(), &samples, &w, &h));
        EXPECT_EQ(nullptr, samples);
        EXPECT_EQ(0, w + h);
    }
    Image image;
    EXPECT_FALSE(png_read_rgba((dir / "missing.png").c_str(), &image));
    EXPECT_TRUE(is_empty(image));
}

// A short file whose chunk header declares a huge length must be refused
// without the reader first reserving (and clearing) that much memory. The
// read runs in a child, whose peak resident size then tells.
TEST(Png, HugeChunkLengthInAShortFileCostsNoMemory) {
    std::string ihdr;
    put32(&ihdr, 2);
    put32(&ihdr, 2);
    ihdr += std::string("\x08\x06\0\0\0", 5);
    std::string lying;
    put32(&lying, 0x6d656e74);   // about 1.8 GB declared, a few bytes present
    lying += "tEXtComment";
    std::string file = std::string("\x89PNG\r\n\x1a\n", 8) + png_chunk("IHDR", ihdr) + lying;
    ScratchDir dir;
    write_file(dir / "lying.png", file);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Image image;
        bool read = png_read_rgba((dir / "lying.png").c_str(), &image);
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        bool small = usage.ru_maxrss < 256 * 1024;   // kilobytes
        _exit(!read && small ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(Png, Gray16ReaderSwapsWidensAndConverts) {
    std::string plte = png_chunk("PLTE", bytes_of({10, 10, 10, 255, 255, 255}));
    struct Case {
        const char *what;
        std::string file;
        std::vector<uint16_t> want;
    };
    const Case cases[] = {
        {"16-bit gray", png_file(2, 1, 16, 0, bytes_of({0x12, 0x34, 0xab, 0xcd})), {0x1234, 0xabcd}},
        {"8-bit gray is widened by 257", png_file(2, 1, 8, 0, bytes_of({0x12, 0xff})), {0x1212, 0xffff}},
        {"4-bit gray", png_file(2, 1, 4, 0, bytes_of({0x1f})), {0x1111, 0xffff}},
        {"16-bit gray and alpha loses its alpha", png_file(1, 1, 16, 4, bytes_of({0x01, 0x02, 0x03, 0x04})), {0x0102}},
        {"RGB of equal parts", png_file(2, 1, 8, 2, bytes_of({100, 100, 100, 0, 0, 0})), {100 * 257, 0}},
        {"palette", png_file(2, 1, 8, 3, bytes_of({1, 0}), plte), {0xffff, 10 * 257}},
        {"palette with tRNS loses its alpha", png_file(2, 1, 8, 3, bytes_of({1, 0}), plte + png_chunk("tRNS", bytes_of({0}))),
         {0xffff, 10 * 257}},
        {"gray with tRNS keeps its value", png_file(1, 1, 8, 0, bytes_of({9}), png_chunk("tRNS", bytes_of({0, 9}))), {9 * 257}},
        {"16-bit RGBA of equal parts", png_file(1, 1, 16, 6, bytes_of({9, 8, 9, 8, 9, 8, 0, 0})), {0x0908}},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        write_file(dir / "h.png", c.file);
        uint16_t *samples = nullptr;
        int w = 0, h = 0;
        ASSERT_TRUE(png_read_gray16((dir / "h.png").c_str(), &samples, &w, &h)) << image_last_error();
        ASSERT_EQ(c.want.size(), (size_t)w * h);
        // Little-endian in memory, whatever this machine's order.
        const unsigned char *b = (const unsigned char *)samples;
        for (size_t i = 0; i < c.want.size(); i++) EXPECT_EQ(c.want[i], b[2 * i] | b[2 * i + 1] << 8) << i;
        free(samples);
    }
}

// --- writers ----------------------------------------------------------------

TEST(Png, WriteRgbTakesRowsBottomUp) {
    ScratchDir dir;
    const Bytes bottom_up = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};   // 3 x 2
    std::string buffer = bytes_of(bottom_up);
    ASSERT_TRUE(png_write_rgb((dir / "shot.png").c_str(), (const unsigned char *)buffer.data(), 3, 2));
    Image image;
    ASSERT_TRUE(png_read_rgba((dir / "shot.png").c_str(), &image)) << image_last_error();
    EXPECT_EQ(3, image.width);
    EXPECT_EQ(2, image.height);
    EXPECT_EQ(3, image.channels);
    EXPECT_EQ((Bytes{10, 11, 12, 13, 14, 15, 16, 17, 18, 1, 2, 3, 4, 5, 6, 7, 8, 9}), base_of(image));
    image_free(&image);
    EXPECT_FALSE(png_write_rgb((dir / "empty.png").c_str(), (const unsigned char *)buffer.data(), 0, 2));
    EXPECT_FALSE(png_write_rgb(dir.path.c_str(), (const unsigned char *)buffer.data(), 3, 2));
}

// The samples of the first row of a one-row PNG of one pixel, which every
// filter stores as they are: the file's own byte order.
static std::string first_pixel_bytes(const std::string &png) {
    size_t at = png.find("IDAT");
    if (at == std::string::npos || at < 4) return "";
    const unsigned char *p = (const unsigned char *)png.data() + at - 4;
    uint32_t length = (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3];
    unsigned char raw[16];
    uLongf size = sizeof raw;
    if (uncompress(raw, &size, (const Bytef *)png.data() + at + 4, length) != Z_OK) return "";
    return std::string((const char *)raw + 1, size - 1);
}

TEST(Png, WriteGray16StoresLittleEndianSamplesInTheFileOrder) {
    ScratchDir dir;
    const unsigned char one_le[2] = {0x34, 0x12};
    uint16_t one;
    memcpy(&one, one_le, 2);
    ASSERT_TRUE(png_write_gray16((dir / "one.png").c_str(), &one, 1, 1));
    std::string file;
    ASSERT_TRUE(read_file(dir / "one.png", &file));
    EXPECT_EQ(std::string("\x12\x34", 2), first_pixel_bytes(file));
    EXPECT_EQ(16, file[24]);   // bit depth
    EXPECT_EQ(0, file[25]);    // gray

    std::vector<uint16_t> samples(5 * 3);
    for (size_t i = 0; i < samples.size(); i++) samples[i] = (uint16_t)(i * 4099 + 1);
    ASSERT_TRUE(png_write_gray16((dir / "h.png").c_str(), samples.data(), 5, 3));
    uint16_t *back = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(png_read_gray16((dir / "h.png").c_str(), &back, &w, &h));
    EXPECT_EQ(5, w);
    EXPECT_EQ(3, h);
    EXPECT_EQ(0, memcmp(samples.data(), back, samples.size() * 2));
    free(back);
}

TEST(Png, WriteRgbaToFileAndMemoryAgreeAndKeepTheText) {
    ScratchDir dir;
    const Bytes rgba = {1, 2, 3, 0, 4, 5, 6, 128, 7, 8, 9, 255, 10, 11, 12, 255};
    std::string pixels = bytes_of(rgba);
    const unsigned char *p = (const unsigned char *)pixels.data();
    ASSERT_TRUE(png_write_rgba((dir / "a.png").c_str(), p, 2, 2, 4, "[mip_max_alpha]"));
    unsigned char *memory = nullptr;
    size_t size = 0;
    ASSERT_TRUE(png_encode_rgba(p, 2, 2, 4, "[mip_max_alpha]", &memory, &size));
    std::string file;
    ASSERT_TRUE(read_file(dir / "a.png", &file));
    EXPECT_EQ(file, std::string((const char *)memory, size));
    free(memory);

    Image image;
    ASSERT_TRUE(png_read_rgba((dir / "a.png").c_str(), &image));
    EXPECT_EQ(rgba, base_of(image));
    EXPECT_STREQ("[mip_max_alpha]", image.info);
    EXPECT_EQ(255, image.pixels[16 + 3]);
    image_free(&image);

    // Gray pictures come back as RGB; bad channel counts are refused.
    ASSERT_TRUE(png_write_rgba((dir / "g.png").c_str(), p, 2, 1, 1, nullptr));
    ASSERT_TRUE(png_read_rgba((dir / "g.png").c_str(), &image));
    EXPECT_EQ((Bytes{1, 1, 1, 2, 2, 2}), base_of(image));
    image_free(&image);
    EXPECT_FALSE(png_write_rgba((dir / "x.png").c_str(), p, 2, 1, 2, nullptr));
    EXPECT_FALSE(png_encode_rgba(p, 0, 1, 3, nullptr, &memory, &size));
    EXPECT_EQ(nullptr, memory);
}

// --- any picture ------------------------------------------------------------

TEST(Image, ReadFileDispatchesOnTheMagicWord) {
    ScratchDir dir;
    struct Case {
        const char *name;
        std::string file;
        int out_channels;
        int channels;
        bool chain;
    };
    const Case cases[] = {
        {"a.ppm", "P6 1 1 255\nabc", 4, 3, true},
        {"a.txt", "P3 1 1 255 97 98 99", 4, 3, true},
        {"a.pgm", "P5 1 1 255\na", 4, 1, false},
        {"b.pgm", "P2 1 1 255 97", 4, 1, false},
        {"a.v6", "V6 1 1\nabc", 4, 4, true},
        {"b.v6", "V6 1 1\nabc", 0, 3, true},
        {"a.v7", "V7 1 1\nabcd", 3, 3, true},
        {"b.v7", "V7 1 1\nabcd", 0, 4, true},
        {"a.png", png_file(1, 1, 8, 6, "abcd"), 3, 4, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write_file(dir / c.name, c.file);
        Image image;
        ASSERT_TRUE(image_read_file((dir / c.name).c_str(), c.out_channels, &image)) << image_last_error();
        EXPECT_EQ(c.channels, image.channels);
        EXPECT_EQ(c.chain, image.has_chain);
        EXPECT_EQ('a', image.pixels[0]);
        image_free(&image);
    }
    Image image;
    write_file(dir / "bad.ppm", "P6 1 1 255\nab");
    EXPECT_FALSE(image_read_file((dir / "bad.ppm").c_str(), 3, &image));
    EXPECT_STREQ("Truncated PPM data", image_last_error());
    write_file(dir / "text", "hello");
    EXPECT_FALSE(image_read_file((dir / "text").c_str(), 3, &image));
    EXPECT_STREQ("Not a PNG file", image_last_error());
    EXPECT_FALSE(image_read_file((dir / "none").c_str(), 3, &image));
    EXPECT_TRUE(is_empty(image));
}

// --- the default pictures ---------------------------------------------------

TEST(Image, DefaultPicturesAreDeterministicPowerOfTwoPngs) {
    std::vector<ArchiveMember> first, second;
    art_add_pictures(&first);
    art_add_pictures(&second);
    struct Want {
        const char *name;
        int width, height, channels;
    };
    const Want wants[] = {
        {"title.png", 1024, 512, 3}, {"tach.png", 256, 256, 4},   {"shifter.png", 128, 128, 4},
        {"pitboard.png", 256, 128, 4}, {"roost.png", 64, 64, 4}, {"colors/white.png", 8, 8, 3},
    };
    ASSERT_EQ(sizeof wants / sizeof wants[0], first.size());
    ScratchDir dir;
    for (size_t i = 0; i < first.size(); i++) {
        SCOPED_TRACE(wants[i].name);
        EXPECT_EQ(wants[i].name, first[i].name);
        EXPECT_TRUE(first[i].bytes == second[i].bytes);
        write_file(dir / "p.png", first[i].bytes);
        Image image;
        ASSERT_TRUE(png_read_rgba((dir / "p.png").c_str(), &image)) << image_last_error();
        EXPECT_EQ(wants[i].width, image.width);
        EXPECT_EQ(wants[i].height, image.height);
        EXPECT_EQ(wants[i].channels, image.channels);
        const unsigned char *corner = image.pixels;
        const unsigned char *middle = image.pixels + ((size_t)image.height / 2 * image.width + image.width / 2) * image.channels;
        if (image.channels == 4) {
            // The HUD pieces are see-through outside their shape, solid inside.
            EXPECT_EQ(0, corner[3]);
            EXPECT_GE(middle[3], first[i].name == "roost.png" ? 200 : 255);
        }
        if (first[i].name == "colors/white.png") {
            EXPECT_EQ(Bytes(8 * 8 * 3, 255), base_of(image));
        }
        if (first[i].name == "title.png") {
            EXPECT_GT(corner[2], corner[0]);                  // blue sky at the top
            const unsigned char *ground = image.pixels + (size_t)(511 * 1024 + 512) * 3;
            EXPECT_GT(ground[0], ground[2]);                  // brown dirt at the bottom
        }
        image_free(&image);
    }
}
