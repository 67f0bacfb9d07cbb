// The game's command line: options and one optional demo file to play.
//
// Parsing only records what was asked; start-up applies it over the settings
// and the renderer parameters. Errors print to the given stream and make the
// program exit with status 1.
#pragma once

#include <cstdio>

enum { CMDLINE_TEXT_MAX = 512 };

enum CmdlineResult {
    CMDLINE_RUN = 0,       // go on starting the game
    CMDLINE_EXIT_OK = 1,   // "--help": usage printed, exit 0
    CMDLINE_ERROR = 2,     // message printed, exit 1
};

struct CommandLine {
    // Flags.
    bool fugly, nosound, novertexarrays, learn, practice, warp, record_video;
    bool editor, hidden_pause, hidden_hud, accurate_skip, open_home, glfinish;
    bool print_orientation;
    bool race;                 // "--race": start the New Race menu's race at once
    bool mmx;                  // cleared by "--nommx"
    int debug;                 // 0, 1 "--debug", 2 "--super-debug"

    // Values, each with a flag telling whether it was given.
    bool has_texture_detail;        int texture_detail;         // 0-4
    bool has_ground_texture_detail; int ground_texture_detail;  // 0-4
    bool has_roost_frequency;       int roost_frequency;        // 0-1000
    bool has_erode;                 float erode;                // 0-100
    bool has_detail;                float detail;
    bool has_max_detail_distance;   float max_detail_distance;
    bool has_lod_scale;             float lod_scale;            // 1e-6 - 1e6
    bool has_lod_bias;              float lod_bias;
    float lock_fps;                                             // 0 = off
    bool has_fake_lag;              float fake_lag;             // seconds, 0-1
    bool has_fake_loss;             int fake_loss;              // percent, 0-100
    bool has_rotate_lineup;         int rotate_lineup;
    bool has_width;                 int width;
    bool has_height;                int height;
    int depth;                      // colour bits, default 16
    int zdepth;                     // depth-buffer bits, default 16
    bool has_draw_fps;              int draw_fps;
    bool has_draw_time;             int draw_time;
    bool has_draw_render_stats;     int draw_render_stats;
    bool has_draw_ping;             int draw_ping;
    float chase_center[3];          // default (0, 2.52, 0.52)

    char record_audio[CMDLINE_TEXT_MAX];   // empty = off
    char track[CMDLINE_TEXT_MAX];          // empty = the settings' track
    char connect[CMDLINE_TEXT_MAX];        // empty = offline
    char password[CMDLINE_TEXT_MAX];
    bool has_password;
    char demo[CMDLINE_TEXT_MAX];           // the one file name, empty = none
};

void cmdline_defaults(CommandLine *cl);
// Parses argv[1..argc-1] into cl (which should hold the defaults). Messages
// go to err; "--help" prints the usage to out.
CmdlineResult cmdline_parse(CommandLine *cl, int argc, char **argv, FILE *out, FILE *err);
void cmdline_usage(FILE *out);
