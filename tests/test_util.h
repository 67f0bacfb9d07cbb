// Helpers shared by the tests: scratch directories, small files, and a clean
// file-system environment (home and data directories under a scratch dir).
#pragma once

#include <string>
#include <vector>

// A fresh empty directory under $TMPDIR (or /tmp), removed with its contents
// when the object goes.
struct ScratchDir {
    std::string path;   // no trailing "/"
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    std::string operator/(const std::string &rel) const { return path + "/" + rel; }
};

// Writes bytes to path, creating the directories on the way.
void write_file(const std::string &path, const std::string &bytes);
bool read_file(const std::string &path, std::string *bytes);
bool file_exists(const std::string &path);

// Points the data directories at root/home (XDG_DATA_HOME = root/xdg, so the
// home directory is root/xdg/Quorvin/) and, when data is not empty, QV_HOME =
// data; then forgets any index built before. Restores nothing: each test that
// uses the file system calls it first.
void use_data_dirs(const std::string &xdg, const std::string &data);

// A ".saf" archive image of the members, in order.
std::string saf_image(const std::vector<std::pair<std::string, std::string>> &members);

// gzip-compresses bytes into one gzip member.
std::string gzip_bytes(const std::string &bytes);
