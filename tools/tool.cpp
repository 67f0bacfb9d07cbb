// quorvin-tool: builds the default data set, packs and unpacks archives, and
// shows the file index and files the way the game sees them.
#include "tool.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive.h"
#include "core/ripemd160.h"
#include "files/vfs.h"
#include "make_data.h"
#include "tool_image.h"
#include "tool_track.h"
#include "tool_model.h"
#include "tool_race.h"
#include "tool_ride.h"

struct ToolCommand {
    const char *name;
    const char *args;
    const char *summary;
    int min_args, max_args;     // max -1: any number
    int (*run)(int argc, char **argv);
    const char *details;        // the whole "--help" text, when the command has more to say
};

static int fail(const std::string &message) {
    fprintf(stderr, "quorvin-tool: %s\n", message.c_str());
    return 1;
}

static int cmd_make_data(int, char **argv) {
    std::string error;
    if (!make_data(argv[0], &error)) return fail(error);
    return 0;
}

static int cmd_pack(int, char **argv) {
    std::vector<ArchiveMember> members;
    std::string error;
    if (!archive_collect_dir(argv[0], &members, &error)) return fail(error);
    if (!archive_write(members, argv[1], &error)) return fail(error);
    return 0;
}

static int cmd_unpack(int, char **argv) {
    std::string error;
    if (!archive_unpack(argv[0], argv[1], &error)) return fail(error);
    return 0;
}

static int cmd_ls(int, char **) {
    int count = 0;
    const VfsIndexEntry *entries = vfs_index(&count);
    for (int i = 0; i < count; i++) {
        const VfsIndexEntry &e = entries[i];
        printf("%s\t%s\t%u\t%u\t%d\n", e.name, e.container, e.offset, e.length, e.precedence);
    }
    return 0;
}

static int cmd_cat(int, char **argv) {
    VfsFile *f = vfs_open(argv[0], "rb");
    if (!f) return fail(std::string("can't open ") + argv[0]);
    char buf[16384];
    size_t n;
    bool ok = true;
    while ((n = vfs_read(f, buf, sizeof buf)) > 0) {
        if (fwrite(buf, 1, n, stdout) != n) {
            ok = false;
            break;
        }
    }
    vfs_close(f);
    if (fflush(stdout) != 0) ok = false;
    return ok ? 0 : fail("write error");
}

static bool digest_of(const char *name, char hex[41]) {
    Ripemd160 r;
    ripemd160_start(&r);
    char buf[16384];
    size_t n;
    if (name[0] == '@') {
        VfsFile *f = vfs_open(name, "rb");
        if (!f) return false;
        while ((n = vfs_read(f, buf, sizeof buf)) > 0) ripemd160_add(&r, buf, n);
        vfs_close(f);
    } else {
        FILE *f = fopen(name, "rb");
        if (!f) return false;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) ripemd160_add(&r, buf, n);
        bool bad = ferror(f);
        fclose(f);
        if (bad) return false;
    }
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_finish(&r, digest);
    ripemd160_to_hex(digest, hex);
    return true;
}

static int cmd_digest(int argc, char **argv) {
    int status = 0;
    for (int i = 0; i < argc; i++) {
        char hex[41];
        if (digest_of(argv[i], hex)) {
            printf("%s  %s\n", hex, argv[i]);
        } else {
            fprintf(stderr, "quorvin-tool: can't read %s\n", argv[i]);
            status = 1;
        }
    }
    return status;
}

static int cmd_scramble(int, char **argv) {
    std::string bytes;
    if (!file_read_all(argv[0], &bytes)) return fail(std::string("can't read ") + argv[0]);
    if (!file_write_all(argv[1], scramble_bytes(bytes))) return fail(std::string("can't write ") + argv[1]);
    return 0;
}

static const ToolCommand k_commands[] = {
    {"make-data", "DIR", "generate the default data set into DIR", 1, 1, cmd_make_data, nullptr},
    {"pack", "DIR OUT.saf", "write every file under DIR into an archive", 2, 2, cmd_pack, nullptr},
    {"unpack", "ARCHIVE DIR", "extract an archive into DIR", 2, 2, cmd_unpack, nullptr},
    {"ls", "", "list the file index as the game builds it", 0, 0, cmd_ls, nullptr},
    {"cat", "NAME", "write a file, read as the game reads it, to standard output", 1, 1, cmd_cat, nullptr},
    {"digest", "FILE...", "RIPEMD-160 of each file (\"@\" names through the game's files)", 1, -1, cmd_digest, nullptr},
    {"scramble", "IN OUT", "write the scrambled form of a file", 2, 2, cmd_scramble, nullptr},
    {"image", "FILE [--out OUT.png]", "decode a picture the game reads, print its size, channels and info, and write it as PNG", 1, 3, tool_image, nullptr},
    {"check-track", "NAME", "load a whole track as the game does and report", 1, 1, tool_check_track, nullptr},
    {"model", "FILE [--pov OUT]", "load a model and report its pieces, counts, bones and LOD levels", 1, 3, tool_model, nullptr},
    {"ride", "[--track NAME] [--bike MODEL] [--controls TEXT] ...", "ride one bike headless and print its state", 0, -1, tool_ride, k_ride_help},
    {"race", "--track NAME [--riders N] [--laps L] [--minutes M]", "a whole race headless, laps and standings", 2, -1, tool_race, k_race_help},
    {"bench", "physics [--bikes N] [--ticks T]", "measure how fast the bike simulation runs", 1, -1, tool_bench, k_bench_help},
};

static void usage(FILE *out) {
    fprintf(out, "usage: quorvin-tool COMMAND [ARGS]\n\ncommands:\n");
    for (const ToolCommand &c : k_commands) {
        char words[64];
        snprintf(words, sizeof words, "%s %s", c.name, c.args);
        fprintf(out, "  %-24s %s\n", words, c.summary);
    }
    fprintf(out, "\n\"quorvin-tool COMMAND --help\" describes one command.\n");
}

int tool_main(int argc, char **argv) {
    if (argc < 2) {
        usage(stderr);
        return 1;
    }
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 || strcmp(argv[1], "help") == 0) {
        usage(stdout);
        return 0;
    }
    for (const ToolCommand &c : k_commands) {
        if (strcmp(argv[1], c.name) != 0) continue;
        int nargs = argc - 2;
        char **args = argv + 2;
        for (int i = 0; i < nargs; i++) {
            if (strcmp(args[i], "--help") == 0 || strcmp(args[i], "-h") == 0) {
                if (c.details) fputs(c.details, stdout);
                else printf("usage: quorvin-tool %s %s\n  %s\n", c.name, c.args, c.summary);
                return 0;
            }
        }
        if (nargs < c.min_args || (c.max_args >= 0 && nargs > c.max_args)) {
            fprintf(stderr, "usage: quorvin-tool %s %s\n", c.name, c.args);
            return 1;
        }
        return c.run(nargs, args);
    }
    fprintf(stderr, "quorvin-tool: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 1;
}
