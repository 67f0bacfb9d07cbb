// Command-line parsing. Words are read left to right; a flag matches only its
// exact word, a valued option matches "--opt=value" or "--opt value". The
// word "--" ends the options: every later word is a file name.
#include "core/cmdline.h"

#include <cstdlib>
#include <cstring>

#include "platform/log.h"

enum OptionKind { OPT_FLAG, OPT_INT, OPT_FLOAT, OPT_TEXT };

enum OptionId {
    O_FUGLY, O_NOSOUND, O_NOVERTEXARRAYS, O_LEARN, O_NOLEARN, O_NOMMX, O_DEBUG, O_SUPER_DEBUG,
    O_PRACTICE, O_WARP, O_TEXTURE_DETAIL, O_GROUND_TEXTURE_DETAIL, O_ROOSTFREQUENCY, O_ERODE,
    O_DETAIL, O_MAX_DETAIL_DISTANCE, O_LOD_SCALE, O_LOD_BIAS, O_LOCK_FPS, O_FAKE_LAG,
    O_FAKE_LOSS, O_RECORD_AUDIO, O_RECORD_VIDEO, O_ROTATE_LINEUP, O_EDITOR, O_HIDDEN_PAUSE,
    O_HIDDEN_HUD, O_BIKES, O_WIDTH, O_HEIGHT, O_DEPTH, O_ZDEPTH, O_DRAW_FPS, O_DRAW_TIME,
    O_DRAW_RENDER_STATS, O_DRAW_PING, O_ACCURATE_SKIP, O_TRACK, O_CONNECT, O_PASSWORD,
    O_CHASE_CENTER, O_OPEN_HOME, O_GLFINISH, O_PRINT_ORIENTATION, O_RACE, O_HELP,
};

struct OptionRow {
    const char *word;
    OptionKind kind;
    OptionId id;
    const char *bad_value;   // message for a value that does not parse, or none
    const char *help;
};

static const OptionRow k_options[] = {
    {"--fugly", OPT_FLAG, O_FUGLY, nullptr, "flat shading"},
    {"--nosound", OPT_FLAG, O_NOSOUND, nullptr, "open no audio device"},
    {"--novertexarrays", OPT_FLAG, O_NOVERTEXARRAYS, nullptr, "draw without vertex arrays"},
    {"--learn", OPT_FLAG, O_LEARN, nullptr, "save the robot lines learned while racing"},
    {"--nolearn", OPT_FLAG, O_NOLEARN, nullptr, "do not save learned robot lines (default)"},
    {"--nommx", OPT_FLAG, O_NOMMX, nullptr, "do not use MMX"},
    {"--debug", OPT_FLAG, O_DEBUG, nullptr, "extra log lines"},
    {"--super-debug", OPT_FLAG, O_SUPER_DEBUG, nullptr, "even more log lines"},
    {"--practice", OPT_FLAG, O_PRACTICE, nullptr, "every robot rides as a tester"},
    {"--warp", OPT_FLAG, O_WARP, nullptr, "100 ticks a frame; finished races restart at once"},
    {"--texture-detail", OPT_INT, O_TEXTURE_DETAIL, "Bad arg for --texture-detail\n", "N  model and ground texture skip (0-4)"},
    {"--ground-texture-detail", OPT_INT, O_GROUND_TEXTURE_DETAIL, "Bad arg for --ground-texture-detail\n", "N  ground texture skip (0-4)"},
    {"--roostfrequency", OPT_INT, O_ROOSTFREQUENCY, "Bad arg for --roostfrequency\n", "N  roost particle budget (0-1000)"},
    {"--erode", OPT_FLOAT, O_ERODE, "Bad arg for --erode\n", "X  terrain erosion amount (0-100)"},
    {"--detail", OPT_FLOAT, O_DETAIL, "Bad arg for --detail\n", "X  terrain error threshold"},
    {"--max-detail-distance", OPT_FLOAT, O_MAX_DETAIL_DISTANCE, "Bad arg for --max-detail-distance\n", "X  terrain detail distance"},
    {"--lod-scale", OPT_FLOAT, O_LOD_SCALE, "Bad arg for --lod-scale\n", "X  model level-of-detail scale"},
    {"--lod-bias", OPT_FLOAT, O_LOD_BIAS, "Bad arg for --lod-bias\n", "X  model level-of-detail bias"},
    {"--lock-fps", OPT_FLOAT, O_LOCK_FPS, "Bad arg for --lock-fps\n", "F  fixed frame rate"},
    {"--fake-lag", OPT_FLOAT, O_FAKE_LAG, "Bad arg for --fake-lag\n", "MS simulated network delay"},
    {"--fake-loss", OPT_INT, O_FAKE_LOSS, "Bad arg for --fake-loss\n", "P  simulated packet loss in percent"},
    {"--record-audio", OPT_TEXT, O_RECORD_AUDIO, nullptr, "FILE  render the audio into FILE"},
    {"--record-video", OPT_FLAG, O_RECORD_VIDEO, nullptr, "write every frame as PPM to standard output"},
    {"--rotate-lineup", OPT_INT, O_ROTATE_LINEUP, nullptr, "N  gate rotation after each race"},
    {"--editor", OPT_FLAG, O_EDITOR, nullptr, "Tab also cycles into the track editor"},
    {"--hidden-pause", OPT_FLAG, O_HIDDEN_PAUSE, nullptr, "do not draw \"Paused\""},
    {"--hidden-hud", OPT_FLAG, O_HIDDEN_HUD, nullptr, "draw neither HUD nor rider names"},
    {"--bikes", OPT_TEXT, O_BIKES, nullptr, "X  (does nothing)"},
    {"--width", OPT_INT, O_WIDTH, nullptr, "N  window width"},
    {"--height", OPT_INT, O_HEIGHT, nullptr, "N  window height"},
    {"--depth", OPT_INT, O_DEPTH, nullptr, "N  colour bits (16)"},
    {"--zdepth", OPT_INT, O_ZDEPTH, nullptr, "N  depth-buffer bits (16)"},
    {"--draw-fps", OPT_INT, O_DRAW_FPS, nullptr, "N  show frames per second"},
    {"--draw-time", OPT_INT, O_DRAW_TIME, nullptr, "N  show the race time"},
    {"--draw-render-stats", OPT_INT, O_DRAW_RENDER_STATS, nullptr, "N  show render statistics"},
    {"--draw-ping", OPT_INT, O_DRAW_PING, nullptr, "N  show the ping"},
    {"--accurate-skip", OPT_FLAG, O_ACCURATE_SKIP, nullptr, "rewind and skip restore exact states"},
    {"--track", OPT_TEXT, O_TRACK, nullptr, "DIR  track to load at start"},
    {"--connect", OPT_TEXT, O_CONNECT, nullptr, "HOST[:PORT]  connect to a race server"},
    {"--password", OPT_TEXT, O_PASSWORD, nullptr, "TEXT  server password"},
    {"--chase-center", OPT_TEXT, O_CHASE_CENTER, "Bad arg for --chase-center\n", "X,Y,Z  orbit camera target on the bike"},
    {"--open-home", OPT_FLAG, O_OPEN_HOME, nullptr, "open the home directory and exit"},
    {"--glfinish", OPT_FLAG, O_GLFINISH, nullptr, "glFinish after each frame"},
    {"--print-orientation", OPT_FLAG, O_PRINT_ORIENTATION, nullptr, "log the camera orientation"},
    {"--race", OPT_FLAG, O_RACE, nullptr, "start a race at once, as the New Race menu's \"Start\" does"},
    {"--help", OPT_FLAG, O_HELP, nullptr, "show this help and exit"},
};

static int clamp_int(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
static float clamp_float(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

static void copy_text(char *dst, const char *src) {
    snprintf(dst, CMDLINE_TEXT_MAX, "%s", src);
}

void cmdline_defaults(CommandLine *cl) {
    memset(cl, 0, sizeof *cl);
    cl->mmx = true;
    cl->depth = 16;
    cl->zdepth = 16;
    cl->chase_center[0] = 0.0f;
    cl->chase_center[1] = 2.52f;
    cl->chase_center[2] = 0.52f;
}

void cmdline_usage(FILE *out) {
    fprintf(out, "usage: quorvin [options] [demo file]\n\noptions:\n");
    for (const OptionRow &row : k_options) {
        const char *help = row.help;
        if (row.kind == OPT_FLAG) {
            fprintf(out, "  %-24s %s\n", row.word, help);
        } else {
            // The help text starts with the value's name.
            const char *space = strchr(help, ' ');
            int name_len = space ? (int)(space - help) : (int)strlen(help);
            char word[64];
            snprintf(word, sizeof word, "%s %.*s", row.word, name_len, help);
            while (space && *space == ' ') space++;
            fprintf(out, "  %-24s %s\n", word, space ? space : "");
        }
    }
    fprintf(out, "\nA valued option takes its value as \"--opt=value\" or \"--opt value\";\n"
                 "\"--\" ends the options.\n");
}

// Applies a flag. Returns false for "--help" (handled by the caller).
static void apply_flag(CommandLine *cl, OptionId id) {
    switch (id) {
    case O_FUGLY: cl->fugly = true; break;
    case O_NOSOUND: cl->nosound = true; break;
    case O_NOVERTEXARRAYS: cl->novertexarrays = true; break;
    case O_LEARN: cl->learn = true; break;
    case O_NOLEARN: cl->learn = false; break;
    case O_NOMMX:
        if (cl->mmx) zolm_log("Ignoring MMX\n");
        cl->mmx = false;
        break;
    case O_DEBUG: cl->debug = 1; break;
    case O_SUPER_DEBUG: cl->debug = 2; break;
    case O_PRACTICE: cl->practice = true; break;
    case O_WARP: cl->warp = true; break;
    case O_RECORD_VIDEO: cl->record_video = true; break;
    case O_EDITOR: cl->editor = true; break;
    case O_HIDDEN_PAUSE: cl->hidden_pause = true; break;
    case O_HIDDEN_HUD: cl->hidden_hud = true; break;
    case O_ACCURATE_SKIP: cl->accurate_skip = true; break;
    case O_OPEN_HOME: cl->open_home = true; break;
    case O_GLFINISH: cl->glfinish = true; break;
    case O_PRINT_ORIENTATION: cl->print_orientation = true; break;
    case O_RACE: cl->race = true; break;
    default: break;
    }
}

static void apply_int(CommandLine *cl, OptionId id, int v) {
    switch (id) {
    case O_TEXTURE_DETAIL:
        cl->has_texture_detail = true;
        cl->texture_detail = clamp_int(v, 0, 4);
        break;
    case O_GROUND_TEXTURE_DETAIL:
        cl->has_ground_texture_detail = true;
        cl->ground_texture_detail = clamp_int(v, 0, 4);
        break;
    case O_ROOSTFREQUENCY:
        cl->has_roost_frequency = true;
        cl->roost_frequency = clamp_int(v, 0, 1000);
        break;
    case O_FAKE_LOSS:
        cl->has_fake_loss = true;
        cl->fake_loss = clamp_int(v, 0, 100);
        break;
    case O_ROTATE_LINEUP: cl->has_rotate_lineup = true; cl->rotate_lineup = v; break;
    case O_WIDTH: cl->has_width = true; cl->width = v; break;
    case O_HEIGHT: cl->has_height = true; cl->height = v; break;
    case O_DEPTH: cl->depth = v; break;
    case O_ZDEPTH: cl->zdepth = v; break;
    case O_DRAW_FPS: cl->has_draw_fps = true; cl->draw_fps = v; break;
    case O_DRAW_TIME: cl->has_draw_time = true; cl->draw_time = v; break;
    case O_DRAW_RENDER_STATS: cl->has_draw_render_stats = true; cl->draw_render_stats = v; break;
    case O_DRAW_PING: cl->has_draw_ping = true; cl->draw_ping = v; break;
    default: break;
    }
}

static void apply_float(CommandLine *cl, OptionId id, float v) {
    switch (id) {
    case O_ERODE: cl->has_erode = true; cl->erode = clamp_float(v, 0.0f, 100.0f); break;
    case O_DETAIL: cl->has_detail = true; cl->detail = v; break;
    case O_MAX_DETAIL_DISTANCE: cl->has_max_detail_distance = true; cl->max_detail_distance = v; break;
    case O_LOD_SCALE: cl->has_lod_scale = true; cl->lod_scale = clamp_float(v, 0.000001f, 1000000.0f); break;
    case O_LOD_BIAS: cl->has_lod_bias = true; cl->lod_bias = v; break;
    case O_LOCK_FPS: cl->lock_fps = v; break;
    case O_FAKE_LAG: cl->has_fake_lag = true; cl->fake_lag = clamp_float(v * 0.001f, 0.0f, 1.0f); break;
    default: break;
    }
}

// Applies a text option; false when its value does not parse.
static bool apply_text(CommandLine *cl, OptionId id, const char *v, FILE *err) {
    switch (id) {
    case O_RECORD_AUDIO: copy_text(cl->record_audio, v); break;
    case O_BIKES: fprintf(err, "--bikes doesn't do anything anymore\n"); break;
    case O_TRACK: copy_text(cl->track, v); break;
    case O_CONNECT:
        if (strncmp(v, "quorvin:", 8) == 0) v += 8;
        copy_text(cl->connect, v);
        break;
    case O_PASSWORD: copy_text(cl->password, v); cl->has_password = true; break;
    case O_CHASE_CENTER: {
        float c[3];
        if (sscanf(v, "%f,%f,%f", &c[0], &c[1], &c[2]) != 3) return false;
        memcpy(cl->chase_center, c, sizeof c);
        break;
    }
    default: break;
    }
    return true;
}

// The value of a valued option at argv[*i]: "--opt=value" in one word, or the
// next word after an exact "--opt". Null when the word is not this option;
// *has_value tells whether a value was there.
static bool match_valued(const char *word, const char *opt, char **argv, int argc, int *i,
                         const char **value) {
    size_t n = strlen(opt);
    if (strncmp(word, opt, n) != 0) return false;
    if (word[n] == '=') {
        *value = word + n + 1;
        return true;
    }
    if (word[n] != 0) return false;
    *value = (*i + 1 < argc) ? argv[++*i] : nullptr;
    return true;
}

CmdlineResult cmdline_parse(CommandLine *cl, int argc, char **argv, FILE *out, FILE *err) {
    bool options_ended = false;
    int files = 0;
    for (int i = 1; i < argc; i++) {
        const char *word = argv[i];
        if (!options_ended && strcmp(word, "--") == 0) {
            options_ended = true;
            continue;
        }
        bool matched = false;
        if (!options_ended) {
            for (const OptionRow &row : k_options) {
                if (row.kind == OPT_FLAG) {
                    if (strcmp(word, row.word) != 0) continue;
                    matched = true;
                    if (row.id == O_HELP) {
                        cmdline_usage(out);
                        return CMDLINE_EXIT_OK;
                    }
                    apply_flag(cl, row.id);
                    break;
                }
                const char *value = nullptr;
                if (!match_valued(word, row.word, argv, argc, &i, &value)) continue;
                matched = true;
                bool ok = value != nullptr;
                if (ok && row.kind == OPT_INT) {
                    int v;
                    ok = sscanf(value, "%d", &v) == 1;
                    if (ok) apply_int(cl, row.id, v);
                } else if (ok && row.kind == OPT_FLOAT) {
                    float v;
                    ok = sscanf(value, "%f", &v) == 1;
                    if (ok) apply_float(cl, row.id, v);
                } else if (ok) {
                    ok = apply_text(cl, row.id, value, err);
                } else if (row.id == O_BIKES) {
                    ok = apply_text(cl, row.id, "", err);
                }
                if (!ok && row.bad_value) {
                    fputs(row.bad_value, err);
                    return CMDLINE_ERROR;
                }
                break;
            }
        }
        if (matched) continue;
        if (!options_ended && word[0] == '-') {
            fprintf(err, "bad option '%s'\n", word);
            return CMDLINE_ERROR;
        }
        if (++files > 1) {
            fprintf(err, "Too many files!\n");
            return CMDLINE_ERROR;
        }
        copy_text(cl->demo, word);
    }
    return CMDLINE_RUN;
}
