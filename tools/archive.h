// Writing and unpacking ".saf" archives, and the scrambled form of a file.
#pragma once

#include <string>
#include <vector>

struct ArchiveMember {
    std::string name;    // "/" separated, no leading "/"
    std::string bytes;
};

// The archive image: one "length name\n" line per member, "-\n", the data.
// False (with *error set) when a name cannot be stored: empty, holding a line
// feed, or making a header line of more than 1023 bytes.
bool archive_image(const std::vector<ArchiveMember> &members, std::string *image, std::string *error);
bool archive_write(const std::vector<ArchiveMember> &members, const std::string &path, std::string *error);

// Every regular file under dir, named relative to it, sorted by name.
bool archive_collect_dir(const std::string &dir, std::vector<ArchiveMember> *members, std::string *error);

// Extracts every member into dir. Refuses members whose name would leave
// dir (absolute, or with a ".." part). False on a malformed archive.
bool archive_unpack(const std::string &archive, const std::string &dir, std::string *error);

// The scrambled form of bytes, with a key taken from their digest so the
// same input always gives the same output.
std::string scramble_bytes(const std::string &bytes);

bool file_read_all(const std::string &path, std::string *bytes);
// Writes bytes to path, creating the directories on the way.
bool file_write_all(const std::string &path, const std::string &bytes);
