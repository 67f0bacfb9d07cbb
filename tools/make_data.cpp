// The default data set builder. Each part of the game adds the files it needs
// here, grouped into archives the way a shipped game keeps them.
#include "make_data.h"

#include <cmath>
#include <algorithm>
#include <cstdio>

#include "make_art.h"
#include "make_track.h"
#include "make_fonts.h"
#include "make_models.h"
#include "make_shapes.h"

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

std::vector<DataArchive> make_data_set() {
    std::vector<DataArchive> set;
    DataArchive base;
    base.file = "base.saf";
    art_add_pictures(&base.members);
    fonts_add_atlases(&base.members);
    set.push_back(base);
    DataArchive bikes;
    bikes.file = "bikes.saf";
    models_add_files(&bikes.members);
    shp_add_files(&bikes.members);
    set.push_back(bikes);
    DataArchive tracks;
    tracks.file = "tracks.saf";
    track_add_default_tracks(&tracks.members);
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
