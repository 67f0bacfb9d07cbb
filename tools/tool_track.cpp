// "quorvin-tool check-track": loads a whole track headless (terrain, gates,
// statues with their shapes, billboards, flaggers, cameras, lighting), from
// the same data directories the game uses, and reports what the load said
// and what it loaded, so a track maker sees every warning without starting
// the game.
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

#include "bike/collide.h"
#include "core/ripemd160.h"
#include "files/texture.h"
#include "files/vfs.h"
#include "platform/log.h"
#include "track/content.h"
#include "track/gates.h"
#include "track/terrain.h"

// Lines every good load shows; they are not warnings.
static const char *const k_info_prefixes[] = {"Terrain texture rendering with "};
// Lines of the unload that every load starts with; not shown.
static const char *const k_quiet_prefixes[] = {"Deallocating track", "Finished deallocating track"};

static bool starts_with_any(const std::string &line, const char *const *prefixes, size_t count) {
    for (size_t i = 0; i < count; i++) {
        if (line.compare(0, strlen(prefixes[i]), prefixes[i]) == 0) return true;
    }
    return false;
}

static bool info_line(const std::string &line) {
    return starts_with_any(line, k_info_prefixes, sizeof k_info_prefixes / sizeof k_info_prefixes[0]);
}

static bool quiet_line(const std::string &line) {
    return starts_with_any(line, k_quiet_prefixes, sizeof k_quiet_prefixes / sizeof k_quiet_prefixes[0]);
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

static void print_content() {
    const GateTable &g = g_gates;
    const Track &t = g_track;
    printf("title %s\n", t.title);
    printf("gates %d, F %d, L %d\n", g.gate_count, g.first_count, g.normal_count);
    printf("switch points %d first lap, %d later laps\n", g.first_switch_count, g.normal_switch_count);
    printf("starting slots %d\n", g.slot_count);
    int shaped = 0;
    for (int i = 0; i < t.statue_count; i++) shaped += t.statues[i].shape ? 1 : 0;
    printf("statues %d (%d from \"statues\"), %d with shapes, %d collision objects\n", t.statue_count,
           t.statue_count - t.first_file_statue, shaped, objects_count());
    printf("billboards %d from \"billboards\", %d for flaggers\n", t.billboard_count - t.first_file_billboard,
           t.first_file_billboard - TRACK_ROOST_BILLBOARDS);
    int mapped = 0;
    for (int32_t c : t.gate_cameras) mapped += c >= 0 ? 1 : 0;
    printf("cameras %d, %d gates mapped\n", t.camera_count, mapped);
    printf("flaggers: starter %s, lap flagger %s, %d gate flaggers\n", t.starter.present ? "yes" : "no",
           t.lap_flagger.present ? "yes" : "no", t.gate_flagger_count);
    const Lighting &l = t.lighting;
    printf("lighting: sun %g %g %g, fog density %g, %d flare%s\n", l.sun[0], l.sun[1], l.sun[2], l.fog_density,
           l.flare_count, l.flare_count == 1 ? "" : "s");
    printf("minimap %s\n", t.has_minimap ? "yes" : "no");
    char hex[41];
    ripemd160_to_hex(t.digest, hex);
    printf("track digest %s\n", hex);
}

// Whether a name from a content file opens in the data directories.
static bool content_file_opens(const char *name) {
    char safe[CONTENT_NAME_BYTES + 2];
    if (!content_data_name(name, safe, sizeof safe)) return false;
    VfsFile *f = vfs_open(safe, "rb");
    vfs_close(f);
    return f != nullptr;
}

// The load reads no pictures or models headless; say which named ones are
// missing (the sky faces are optional and not checked).
static int check_content_files() {
    int problems = 0;
    const Track &t = g_track;
    for (int i = TRACK_ROOST_BILLBOARDS; i < t.billboard_count; i++) {
        const char *name = t.billboards[i].texture_name;
        if (!name || content_file_opens(name)) continue;
        printf("billboard %d: can't open picture '%s'\n", i - TRACK_ROOST_BILLBOARDS, name);
        problems++;
    }
    for (int i = 0; i < t.statue_count; i++) {
        const Statue &s = t.statues[i];
        for (const char *name : {s.model_name, s.texture_name}) {
            if (!name || content_file_opens(name)) continue;
            printf("statue %d: can't open '%s'\n", i, name);
            problems++;
        }
    }
    return problems;
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
    ContentOptions content = {false, false, 0};
    content_set_options(&content);
    bool loaded = track_load(dir.c_str() + 1, TERRAIN_UPDATE_SOFTWARE);
    zolm_log(nullptr);
    std::vector<std::string> lines = log_lines(log_path.c_str());

    int warnings = 0;
    printf("track %s\n", dir.c_str());
    for (const std::string &line : lines) {
        if (quiet_line(line)) continue;
        printf("%s\n", line.c_str());
        if (!info_line(line)) warnings++;
    }
    if (loaded) {
        warnings += check_tile_textures();
        warnings += check_content_files();
        print_summary();
        print_content();
        // The unload's lines go to the temporary log, which goes with them.
        track_unload();
        shapes_free();
    } else {
        printf("load failed\n");
    }
    zolm_log(nullptr);
    unlink(log_path.c_str());
    unsetenv("ZOLM_LOGFILE");
    if (!loaded) return 1;
    if (warnings > 0) printf("%d warning%s\n", warnings, warnings == 1 ? "" : "s");
    return warnings == 0 ? 0 : 1;
}
