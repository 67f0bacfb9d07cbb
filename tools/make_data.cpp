// The default data set builder. Each part of the game adds the files it needs
// here, grouped into archives the way a shipped game keeps them.
#include "make_data.h"

#include <cmath>
#include <algorithm>
#include <cstdio>

#include "make_art.h"

const char *const k_marker_archive = "zzzz.saf";

DataArchive make_data_marker() {
    DataArchive a;
    a.file = k_marker_archive;
    a.members.push_back({"quorvin.txt", "Quorvin default data set, format 1\n"});
    return a;
}

std::string terrain_hf_image(int k, float spacing, const std::vector<float> &heights) {
    float lo = heights.empty() ? 0.0f : heights[0];
    float hi = lo;
    for (float h : heights) {
        lo = std::min(lo, h);
        hi = std::max(hi, h);
    }
    char line[128];
    snprintf(line, sizeof line, "%d %f %f %f\n:", k, spacing, lo, hi);
    std::string out = line;
    float range = hi - lo;
    for (float h : heights) {
        long u = range > 0.0f ? std::lround((h - lo) / range * 65535.0f) : 0;
        if (u < 0) u = 0;
        if (u > 65535) u = 65535;
        out += (char)(u & 0xff);
        out += (char)((u >> 8) & 0xff);
    }
    return out;
}

// The first track: a gentle field of rolling ground, 512 ft square. The
// track content proper (jumps, corners, gates) comes with the track parts.
static void add_track_vovezuzize(std::vector<ArchiveMember> *members) {
    const int k = 6;
    const int n = (1 << (k + 1)) + 1;
    const float spacing = 4.0f;
    std::vector<float> heights(n * n);
    for (int j = 0; j < n; j++) {
        for (int i = 0; i < n; i++) {
            float x = i * spacing, z = j * spacing;
            heights[j * n + i] = 4.0f * std::sin(x / 41.0f) * std::cos(z / 57.0f) +
                                 1.5f * std::sin((x + 2.0f * z) / 23.0f) + 10.0f;
        }
    }
    members->push_back({"vovezuzize/desc", "Vovezuzize\n"});
    members->push_back({"vovezuzize/terrain.hf", terrain_hf_image(k, spacing, heights)});
}

std::vector<DataArchive> make_data_set() {
    std::vector<DataArchive> set;
    DataArchive base;
    base.file = "base.saf";
    art_add_pictures(&base.members);
    set.push_back(base);
    DataArchive tracks;
    tracks.file = "tracks.saf";
    add_track_vovezuzize(&tracks.members);
    set.push_back(tracks);
    set.push_back(make_data_marker());
    return set;
}

bool make_data(const std::string &dir, std::string *error) {
    for (const DataArchive &a : make_data_set()) {
        if (!archive_write(a.members, dir + "/" + a.file, error)) return false;
    }
    return true;
}
