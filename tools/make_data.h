// The default data set: everything the game reads, generated from code so a
// fresh build is playable. The output is deterministic, byte for byte.
#pragma once

#include <string>
#include <vector>

#include "archive.h"

struct DataArchive {
    std::string file;                      // archive file name, e.g. "tracks.saf"
    std::vector<ArchiveMember> members;
};

// The marker archive "zzzz.saf" the game finds its data by. Its bytes never
// change: the game carries their digest.
extern const char *const k_marker_archive;
DataArchive make_data_marker();

// The whole data set, archives in the order they are written.
std::vector<DataArchive> make_data_set();

// Writes every archive of the data set into dir.
bool make_data(const std::string &dir, std::string *error);

// The height field file of a track: "k s min max\n:" and (2^(k+1)+1)^2
// 16-bit little-endian samples scaled between min and max.
std::string terrain_hf_image(int k, float spacing, const std::vector<float> &heights);
