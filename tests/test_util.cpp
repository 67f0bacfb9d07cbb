#include "test_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "files/vfs.h"

static int remove_entry(const char *path, const struct stat *, int, struct FTW *) {
    remove(path);
    return 0;
}

ScratchDir::ScratchDir() {
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvtest.XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    if (mkdtemp(buf.data())) path = buf.data();
}

ScratchDir::~ScratchDir() {
    if (!path.empty()) nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

void write_file(const std::string &path, const std::string &bytes) {
    for (size_t i = 1; i < path.size(); i++) {
        if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

bool read_file(const std::string &path, std::string *bytes) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes->clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, n);
    fclose(f);
    return true;
}

bool file_exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void use_data_dirs(const std::string &xdg, const std::string &data) {
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    if (data.empty()) unsetenv("QV_HOME");
    else setenv("QV_HOME", data.c_str(), 1);
    vfs_reset();
}

std::string saf_image(const std::vector<std::pair<std::string, std::string>> &members) {
    std::string header, body;
    for (const auto &m : members) {
        header += std::to_string(m.second.size()) + " " + m.first + "\n";
        body += m.second;
    }
    return header + "-\n" + body;
}

std::string gzip_bytes(const std::string &bytes) {
    z_stream z;
    memset(&z, 0, sizeof z);
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, bytes.size()) + 32, '\0');
    z.next_in = (Bytef *)bytes.data();
    z.avail_in = (uInt)bytes.size();
    z.next_out = (Bytef *)&out[0];
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
