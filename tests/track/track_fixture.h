// Small hand-made track directories for the terrain and tileinfo tests: the
// file writers, and a fixture with the data directories in a scratch folder,
// the log in a file the tests read, and texture loading off.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/ripemd160.h"
#include "files/image.h"
#include "files/vfs.h"
#include "platform/log.h"
#include "test_util.h"
#include "track/terrain.h"


typedef std::vector<std::string> Lines;

inline std::string ppm(int width, int height, int value) {
    return "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" +
           std::string((size_t)width * height * 3, (char)value);
}

inline std::string pgm(int width, int height, int value) {
    return "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" +
           std::string((size_t)width * height, (char)value);
}

inline std::string le16(const std::vector<uint16_t> &samples) {
    std::string s;
    for (uint16_t u : samples) s += (char)(u & 255), s += (char)(u >> 8);
    return s;
}

inline std::string hex_digest(const std::string &bytes) {
    Ripemd160 r;
    ripemd160_start(&r);
    ripemd160_add(&r, bytes.data(), bytes.size());
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_finish(&r, digest);
    char hex[41];
    ripemd160_to_hex(digest, hex);
    return hex;
}

inline std::string hex_of(const uint8_t digest[RIPEMD160_BYTES]) {
    char hex[41];
    ripemd160_to_hex(digest, hex);
    return hex;
}

inline int grid_points(int k) { return (2 << k) + 1; }

// A scratch data directory (with its home directory) and the console and
// log captured; the terrain options headless.
class TrackFixture : public testing::Test {
public:
    void SetUp() override {
        use_data_dirs(dir / "xdg", dir / "data");
        unsetenv("ZOLM_LOGFILE_FLAGS");
        setenv("ZOLM_LOGFILE", (dir / "log.txt").c_str(), 1);
        zolm_log_reset();
        console_clear();
        TerrainOptions options = {0.0025f, 128, false, false, 0};
        terrain_set_options(&options);
    }
    void TearDown() override {
        terrain_free();
        TerrainOptions options = {0.0025f, 128, false, false, 0};
        terrain_set_options(&options);
        zolm_log_reset();
        unsetenv("ZOLM_LOGFILE");
    }

    void put(const std::string &track, const std::string &file, const std::string &bytes) {
        write_file(dir / ("data/" + track + "/" + file), bytes);
    }
    // A flat track of size k: "terrain.hf" without heights, shading of 100,
    // one tile from "texturelist", a tile map of zeros.
    void minimal(const std::string &track, int k, const std::string &header = "") {
        int n = grid_points(k), r = 1 << k;
        put(track, "terrain.hf", header.empty() ? std::to_string(k) + " 1.5 -2 10\n" : header);
        put(track, "shading.ppm", ppm(n, n, 100));
        put(track, "texturelist", "dirt.png\n");
        put(track, "tilemap", std::string((size_t)r * r, '\0'));
    }

    // The console lines written since SetUp, without their line ends.
    Lines messages() {
        Lines out;
        for (int i = 0; i < g_console.write_index; i++) {
            std::string line = g_console.lines[i];
            if (!line.empty() && line.back() == '\n') line.pop_back();
            out.push_back(line);
        }
        return out;
    }
    // The same less the line every load shows about its update method.
    Lines warnings() {
        Lines out;
        for (const std::string &line : messages()) {
            if (line.rfind("Terrain texture rendering with", 0) != 0) out.push_back(line);
        }
        return out;
    }
    std::string log_text() {
        zolm_log(nullptr);
        std::string text;
        read_file(dir / "log.txt", &text);
        return text;
    }

    // A text file read as a stream.
    VfsFile *stream(const std::string &text) {
        std::string path = dir / ("stream" + std::to_string(streams++));
        write_file(path, text);
        return vfs_open(path.c_str(), "rb");
    }
    int parse_tileinfo(const std::string &text, SurfaceTile *tiles) {
        VfsFile *f = stream(text);
        TileLoad how = {TERRAIN_UPDATE_COPY, false};
        int count = tileinfo_read(f, &how, tiles);
        vfs_close(f);
        return count;
    }
    // Makes the tiles of a tileinfo text the terrain's tiles (TearDown frees them).
    void use_tiles(const std::string &text) {
        terrain_free();
        g_terrain.tile_count = parse_tileinfo(text, g_terrain.tiles);
    }

    ScratchDir dir;
    int streams = 0;
};

