// Archive headers from arbitrary bytes: the header reader must reject or
// accept without reading outside its buffers, and an accepted archive, once
// indexed from a data directory, must open every member it lists (through
// the gzip and scrambled layers its names ask for) and read each within its
// bounds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "files/vfs.h"
#include "fuzz_memory_file.h"

enum { FUZZ_MEMBERS_MAX = 32 };

static std::string g_root;   // a scratch directory holding the data directories

static void fuzz_remove_root() {
    remove((g_root + "/data/fuzz.saf").c_str());
    rmdir((g_root + "/data").c_str());
    rmdir((g_root + "/xdg/Quorvin").c_str());
    rmdir((g_root + "/xdg").c_str());
    rmdir(g_root.c_str());
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvfuzz.XXXXXX";
    if (!mkdtemp(&pattern[0])) abort();
    g_root = pattern;
    mkdir((g_root + "/data").c_str(), 0755);
    setenv("XDG_DATA_HOME", (g_root + "/xdg").c_str(), 1);
    setenv("QV_HOME", (g_root + "/data").c_str(), 1);
    atexit(fuzz_remove_root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *file = fuzz_memory_file(data, size);
    if (!file) return 0;
    SafMember *members = nullptr;
    int count = saf_read_header(file, &members);
    fclose(file);
    if (count < 0 && members) abort();
    for (int i = 0; i < count; i++) {
        if (strlen(members[i].name) > VFS_SAF_LINE_MAX) abort();
        if ((uint64_t)members[i].offset + members[i].length > UINT32_MAX) abort();
    }
    free(members);
    if (count <= 0) return 0;

    FILE *archive = fopen((g_root + "/data/fuzz.saf").c_str(), "wb");
    if (!archive) return 0;
    fwrite(data, 1, size, archive);
    fclose(archive);
    vfs_reset();
    int opened = 0;
    for (const char *const *name = vfs_list(); *name && opened < FUZZ_MEMBERS_MAX; name++) {
        std::string at = std::string("@") + *name;
        VfsFile *f = vfs_open(at.c_str(), "rb");
        if (!f) continue;
        opened++;
        char buffer[4096];
        size_t total = 0, got;
        while ((got = vfs_read(f, buffer, sizeof buffer)) > 0) {
            total += got;
            if (!f->compressed && total > size) abort();   // past the archive's own bytes
        }
        vfs_close(f);
    }
    vfs_reset();
    return 0;
}
