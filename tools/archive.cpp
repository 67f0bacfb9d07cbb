// Archive writer and reader for the companion command. The game only reads
// archives (through the file index); this side makes and unpacks them.
#include "archive.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include "core/ripemd160.h"
#include "files/scramble.h"
#include "files/vfs.h"

bool file_read_all(const std::string &path, std::string *bytes) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes->clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

static void make_parent_dirs(const std::string &path) {
    for (size_t i = 1; i < path.size(); i++) {
        if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
}

bool file_write_all(const std::string &path, const std::string &bytes) {
    make_parent_dirs(path);
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}

bool archive_image(const std::vector<ArchiveMember> &members, std::string *image, std::string *error) {
    std::string header, body;
    for (const ArchiveMember &m : members) {
        if (m.name.empty() || m.name.find('\n') != std::string::npos) {
            *error = "member name \"" + m.name + "\" cannot be stored";
            return false;
        }
        std::string line = std::to_string(m.bytes.size()) + " " + m.name + "\n";
        if (line.size() > VFS_SAF_LINE_MAX) {
            *error = "member name \"" + m.name + "\" is too long";
            return false;
        }
        header += line;
        body += m.bytes;
    }
    if (header.size() + 2 + body.size() > 0xffffffffu) {
        *error = "archive would pass 4 GiB";
        return false;
    }
    *image = header + "-\n" + body;
    return true;
}

bool archive_write(const std::vector<ArchiveMember> &members, const std::string &path, std::string *error) {
    std::string image;
    if (!archive_image(members, &image, error)) return false;
    if (!file_write_all(path, image)) {
        *error = "can't write " + path + ": " + strerror(errno);
        return false;
    }
    return true;
}

static bool collect(const std::string &root, const std::string &rel, std::vector<ArchiveMember> *members,
                    std::string *error) {
    std::string path = rel.empty() ? root : root + "/" + rel;
    DIR *d = opendir(path.c_str());
    if (!d) {
        *error = "can't read directory " + path;
        return false;
    }
    std::vector<std::string> entries;
    while (struct dirent *e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) entries.push_back(e->d_name);
    }
    closedir(d);
    for (const std::string &name : entries) {
        std::string child_rel = rel.empty() ? name : rel + "/" + name;
        std::string child = root + "/" + child_rel;
        struct stat st;
        if (stat(child.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (!collect(root, child_rel, members, error)) return false;
        } else if (S_ISREG(st.st_mode)) {
            ArchiveMember m;
            m.name = child_rel;
            if (!file_read_all(child, &m.bytes)) {
                *error = "can't read " + child;
                return false;
            }
            members->push_back(m);
        }
    }
    return true;
}

bool archive_collect_dir(const std::string &dir, std::vector<ArchiveMember> *members, std::string *error) {
    members->clear();
    std::string root = dir;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (!collect(root, "", members, error)) return false;
    std::sort(members->begin(), members->end(),
              [](const ArchiveMember &a, const ArchiveMember &b) { return a.name < b.name; });
    return true;
}

// A member name that stays inside the directory it is unpacked into.
static bool safe_member_name(const char *name) {
    if (name[0] == 0 || name[0] == '/') return false;
    const char *p = name;
    while (*p) {
        const char *end = strchr(p, '/');
        size_t n = end ? (size_t)(end - p) : strlen(p);
        if (n == 2 && p[0] == '.' && p[1] == '.') return false;
        if (!end) break;
        p = end + 1;
    }
    return true;
}

bool archive_unpack(const std::string &archive, const std::string &dir, std::string *error) {
    FILE *f = fopen(archive.c_str(), "rb");
    if (!f) {
        *error = "can't open " + archive;
        return false;
    }
    SafMember *members = nullptr;
    int count = saf_read_header(f, &members);
    if (count < 0) {
        fclose(f);
        free(members);
        *error = archive + " is not a valid archive";
        return false;
    }
    bool ok = true;
    for (int i = 0; i < count && ok; i++) {
        const SafMember &m = members[i];
        if (!safe_member_name(m.name)) {
            *error = std::string("refusing member \"") + m.name + "\"";
            ok = false;
            break;
        }
        std::string bytes(m.length, '\0');
        if (fseek(f, (long)m.offset, SEEK_SET) != 0 ||
            (m.length > 0 && fread(&bytes[0], 1, m.length, f) != m.length)) {
            *error = std::string("member \"") + m.name + "\" runs past the end of the archive";
            ok = false;
            break;
        }
        if (!file_write_all(dir + "/" + m.name, bytes)) {
            *error = "can't write " + dir + "/" + m.name;
            ok = false;
        }
    }
    free(members);
    fclose(f);
    return ok;
}

std::string scramble_bytes(const std::string &bytes) {
    Ripemd160 r;
    ripemd160_start(&r);
    ripemd160_add(&r, bytes.data(), bytes.size());
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_finish(&r, digest);
    uint32_t key = digest[0] | (digest[1] << 8) | (digest[2] << 16) | ((uint32_t)digest[3] << 24);
    std::string out(bytes.size() + SCRAMBLE_HEADER_BYTES, '\0');
    scramble_buffer(bytes.data(), bytes.size(), key, (unsigned char *)&out[0]);
    return out;
}
