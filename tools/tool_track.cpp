// "quorvin-tool check-track": loads a track's terrain headless, from the same
// data directories the game uses, and reports what the load said and what it
// loaded, so a track maker sees every warning without starting the game.
//
// The load's console messages also go to the log, so a log of our own (a
// temporary file named by ZOLM_LOGFILE) collects both kinds of message.
#include "tool_track.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/ripemd160.h"
#include "files/texture.h"
#include "platform/log.h"
#include "track/terrain.h"

// Lines every good load shows; they are not warnings.
static const char *const k_info_prefixes[] = {"Terrain texture rendering with "};

static bool info_line(const std::string &line) {
    for (const char *prefix : k_info_prefixes) {
        if (line.compare(0, strlen(prefix), prefix) == 0) return true;
    }
    return false;
}

// The log's lines after its two opening lines, without their time stamps.
static std::vector<std::string> log_lines(const char *path) {
    std::vector<std::string> lines;
    FILE *f = fopen(path, "rb");
    if (!f) return lines;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    fclose(f);
    size_t at = 0;
    int index = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (index++ < 2) continue;   // "Logfile ... opened", "ZOLM ..."
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find("] ");
            if (close != std::string::npos) line.erase(0, close + 2);
        }
        lines.push_back(line);
    }
    return lines;
}

static void print_summary() {
    const Terrain &t = g_terrain;
    printf("k %d, N %d, spacing %g ft, world size %g ft\n", t.k, t.n, t.spacing, t.world_size);
    float lo = t.heights[0], hi = t.heights[0];
    for (size_t p = 1; p < (size_t)t.n * t.n; p++) {
        if (t.heights[p] < lo) lo = t.heights[p];
        if (t.heights[p] > hi) hi = t.heights[p];
    }
    printf("heights %g .. %g ft (declared %g .. %g)\n", lo, hi, t.min_height, t.max_height);
    printf("%d tile%s\n", t.tile_count, t.tile_count == 1 ? "" : "s");
    for (int i = 0; i < t.tile_count; i++) {
        const SurfaceTile &tile = t.tiles[i];
        printf("  %3d  %s  friction", i, tile.texture_name ? tile.texture_name : "(no texture)");
        for (int p = 0; p < TILE_CURVE_POINTS && tile.friction_speed[p] > 0.0f; p++) {
            printf(" %g@%g", tile.friction[p], tile.friction_speed[p]);
        }
        printf("  corner code %d\n", tile.corner_code);
    }
    char hex[41];
    ripemd160_to_hex(t.height_digest, hex);
    printf("height digest %s\n", hex);
}

// The load never reads tile pictures headless; say which cannot be read.
static int check_tile_textures() {
    int problems = 0;
    for (int i = 0; i < g_terrain.tile_count; i++) {
        const char *name = g_terrain.tiles[i].texture_name;
        CachedImage image;
        if (name && image_load(name, &image)) continue;
        printf("tile %d: can't read texture '%s'\n", i, name ? name : "");
        problems++;
    }
    textures_free();
    return problems;
}

int tool_check_track(int, char **argv) {
    std::string dir = argv[0][0] == '@' ? argv[0] : std::string("@") + argv[0];
    const char *tmp = getenv("TMPDIR");
    std::string log_path = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvcheck.XXXXXX";
    int fd = mkstemp(&log_path[0]);
    if (fd < 0) {
        fprintf(stderr, "quorvin-tool: can't make a temporary log file\n");
        return 1;
    }
    close(fd);
    setenv("ZOLM_LOGFILE", log_path.c_str(), 1);
    unsetenv("ZOLM_LOGFILE_FLAGS");
    zolm_log_reset();

    TerrainOptions options = *terrain_options();
    options.gl = false;
    options.debug_level = 0;
    terrain_set_options(&options);
    bool loaded = terrain_load(dir.c_str(), TERRAIN_UPDATE_SOFTWARE);
    zolm_log(nullptr);
    std::vector<std::string> lines = log_lines(log_path.c_str());
    unlink(log_path.c_str());
    unsetenv("ZOLM_LOGFILE");

    int warnings = 0;
    printf("track %s\n", dir.c_str());
    for (const std::string &line : lines) {
        printf("%s\n", line.c_str());
        if (!info_line(line)) warnings++;
    }
    if (!loaded) {
        printf("load failed\n");
        return 1;
    }
    warnings += check_tile_textures();
    print_summary();
    terrain_free();
    if (warnings > 0) printf("%d warning%s\n", warnings, warnings == 1 ? "" : "s");
    return warnings == 0 ? 0 : 1;
}
