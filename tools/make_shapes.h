// The physics shapes of the default data set: the sphere sets of the seven
// bike bodies, of the starting gate and of the tracks' hay bales, written as ".shp" text (the count,
// then centre, radius, friction, stiffness and damping per sphere). Each
// centre lies in the frame of the body that owns the shape. Every number is
// written "%.4f", so the bytes never change from build to build: the game
// carries the digest of the seven bike files.
#pragma once

#include <string>
#include <vector>

#include "archive.h"

// One sphere as the file holds it.
struct ShpSphere {
    float c[3];     // centre in the owning body's frame (ft)
    float radius;   // ft
    float mu;       // friction coefficient
    float kp;       // contact stiffness (lbf/ft)
    float kd;       // contact damping (lbf per ft/s)
};

// The shapes, the seven bike bodies first in the order the game's fixed-file
// check reads them.
enum ShpFile {
    SHP_FRAME, SHP_FORK_UPPER, SHP_FORK_LOWER, SHP_SWINGARM, SHP_FRONT_WHEEL, SHP_REAR_WHEEL, SHP_RIDER,
    SHP_STARTGATE, SHP_HAYBALE, SHP_COUNT,
    SHP_BIKE_COUNT = SHP_STARTGATE,
};

// Archive member names ("generic_frame.shp", ...): the game reads them as
// "@" names at an archive's top level.
extern const char *const k_shp_members[SHP_COUNT];

std::vector<ShpSphere> shp_spheres(ShpFile which);

// The text of a ".shp" file: "%d\n", then one line of seven numbers per sphere.
std::string shp_image(const std::vector<ShpSphere> &spheres);

// Adds every shape file.
void shp_add_files(std::vector<ArchiveMember> *members);
