// The default tracks of the data set: the outdoor course "vovezuzize" and the
// level practice field "flat", generated from code.
//
// The course is laid out as a closed centre line made of straights and
// circular corners, with widths, berms and obstacles placed by distance along
// the lap. The sampled centre line stays available (track_course_vovezuzize)
// so that the generators of gates, objects and lighting place their content
// along the same line the height field was shaped from.
//
// Owns: the course and the height field, built on first use and kept for the
// whole process (both are pure functions of the code).
// Never: depends on anything but plain arithmetic and the C library, so a
// build writes the same bytes on every run.
#pragma once

#include <string>
#include <vector>

#include "archive.h"

struct MeshModel;

// One sample of the centre line, every TRACK_SAMPLE_STEP feet along the lap.
struct TrackPoint {
    float x, z;          // world position, feet (the field's corner is the origin)
    float heading;       // the game's heading: the rider faces (-sin a, 0, -cos a)
    float dir_x, dir_z;  // unit direction of travel
    float s;             // distance along the lap from the gate line, feet
    float width;         // riding width, feet
    float base_y;        // height of the ground under the course, without obstacles
    float y;             // height of the riding surface on the centre line
    float berm;          // berm height on the outside of the corner here (0 on straights)
    float curvature;     // 1 / radius, positive in right-hand corners, 0 on straights
};

enum TrackObstacleKind {
    OBSTACLE_SMALL_DOUBLE,   // rhythm-section double
    OBSTACLE_DOUBLE,
    OBSTACLE_TRIPLE,
    OBSTACLE_TABLE,
    OBSTACLE_STEP_UP,
    OBSTACLE_WHOOPS,
};

// One obstacle across the full width of the course. Distances are along the
// lap. Jumps are sized by ballistics: a take-off at design_speed from the lip
// at lip_angle lands on the landing crest gap feet further on (rise feet
// above the lip for a step-up).
struct TrackObstacle {
    int kind;               // TrackObstacleKind
    const char *name;
    float s_face;           // where the face (or the first whoop) begins
    float s_lip;            // the lip (jumps)
    float s_end;            // where the ground is back to the course's base
    float lip_angle;        // radians, at the lip
    float face_height;      // lip above the base, feet
    float gap;              // lip to landing crest, feet (table: deck length)
    float rise;             // landing crest above the lip (step-up), else 0
    float landing_height;   // landing crest above the base
    float landing_length;   // length of the landing's down-slope
    float landing_angle;    // its steepest slope, radians (at the crest)
    float design_speed;     // take-off speed the gap is sized for, ft/s
    float runup;            // from the exit of the corner before to the lip
    float corner_radius;    // radius of that corner
    int count;              // whoops: how many
    float spacing;          // whoops: crest to crest
};

struct TrackCorner {
    float s_start, s_end;   // along the lap
    float radius;           // feet
    float angle;            // radians, positive to the right
    float berm;             // berm height on the outside, feet (0: flat corner)
};

enum { TRACK_MAX_POINTS = 8192 };
static const float TRACK_SAMPLE_STEP = 2.0f;

struct TrackCourse {
    std::vector<TrackPoint> points;      // closed: the last point runs back into the first
    std::vector<TrackCorner> corners;    // in lap order
    std::vector<TrackObstacle> obstacles;
    float lap_length;                    // feet
    float start_straight;                // gate line (s = 0) to the first corner
    float gate_width;                    // riding width at the gate line
    float pad_width;                     // the dirt start pad around the gate line
    float pad_behind, pad_ahead;         // its extent behind and after the gate line
};

// The sun of the default track: the shading and shadows are computed for it,
// and its "lighting" file must carry the same values.
struct TrackSun {
    float vector[3];    // unit vector toward the sun (x east, y up, z south)
    float color[3];
    float ambient[3];
};
extern const TrackSun k_track_sun;

// The height field of a generated track as the terrain loader reads it back
// (heights already quantised to the 16-bit samples of "terrain.hf").
struct TrackField {
    int k;                        // N = 2^(k+1) + 1 points per side
    int n;
    float spacing;
    std::vector<float> heights;   // N x N, row j (along z) outer
    std::vector<unsigned char> dirt;   // (R+1) x (R+1) tile corners: 1 dirt, 0 grass
};

const TrackCourse *track_course_vovezuzize();
const TrackField *track_field_vovezuzize();

// Height of the riding surface of the course at distance s along the lap and
// lateral offset (feet, positive to the rider's right), before the blend
// into the surrounding ground.
float track_course_surface(const TrackCourse *c, float s, float lateral);

// The centre-line sample nearest to distance s along the lap (wrapping).
const TrackPoint *track_course_at(const TrackCourse *c, float s);

// The "course" file written beside a generated track for the tools' test
// rider (the game does not read it): a comment line, then "x z heading
// width speed" every 8 ft along the lap from the gate line, speed being what
// a jump's run-up asks for (0 where the rider may choose).
std::string track_course_text(const TrackCourse *c);

// The "timing_gates" of a generated course: 40 starting slots across the
// gate line, checkpoints about every 150 ft with the last on the gate line,
// every gate required on both laps and every third a switch point.
std::string track_timing_gates_text(const TrackCourse *c);

// Adds "vovezuzize/..." and "flat/..." and the shared tile textures.
void track_add_default_tracks(std::vector<ArchiveMember> *members);

// --- tiles, textures and lighting (make_track_tiles.cpp) -------------------

enum { TRACK_TILE_TEXTURE_SIDE = 128 };

// Tile index for a tile square whose corners show grass where the mask's bits
// are set: 8 north-west, 4 north-east, 2 south-west, 1 south-east.
int track_tile_for_mask(int mask);
// The tile table: "dirt.png", "grass.png", then "dirt-grass-MMMM.png" for
// masks 1 .. 14 (index 1 + mask). With only_dirt, the dirt tile alone.
std::string track_tileinfo(bool only_dirt);
// The tile textures as PNG members at the top of the data ("dirt.png" ...).
void track_add_tile_textures(std::vector<ArchiveMember> *members);
// R x R tile bytes from the corner materials of a field.
std::string track_tilemap(const TrackField *f);
// Light per grid point (255 lit, 0 in full shadow) from a ray march toward the sun.
std::vector<unsigned char> track_shadow_light(const TrackField *f, const TrackSun *sun);
// "P6" N x N shading in the x2 scale, lit the way the game re-lights the ground.
std::string track_shading_ppm(const TrackField *f, const TrackSun *sun, const std::vector<unsigned char> &light);
std::string track_shadows_pgm(const TrackField *f, const std::vector<unsigned char> &light);
// One gzip member with a fixed header (no name, no time) and maximum compression.
std::string track_gzip(const std::string &bytes);

// --- content: lighting, billboards, statues, flaggers, cameras, minimap
// (make_track_content.cpp) ---

// How far a point lies outside the riding surface of the course: the least,
// over the centre line, of its distance less the half width there (negative
// on the course).
float track_course_clearance(const TrackCourse *c, float x, float z);
// The timing gate number whose checkpoint follows distance s along the lap
// (the generated "timing_gates" put gate i at (i + 1) * lap / count, the
// last on the gate line), and the gate count.
int track_gate_count(const TrackCourse *c);
int track_gate_after(const TrackCourse *c, float s);

// The files of the default course, each a pure function of the course.
std::string track_lighting_text(const TrackSun *sun);
std::string track_billboards_text(const TrackCourse *c);
std::string track_statues_text(const TrackCourse *c);
std::string track_flaggers_text(const TrackCourse *c);
std::string track_cameras_text(const TrackCourse *c);
// A side x side RGBA picture of the course seen from above, the whole field
// of world_size feet spread over it (x to the right, z down).
std::string track_map_png(const TrackCourse *c, float world_size, int side);

// The hay bale statue: 6 ft along x, 3 ft deep, 2.5 ft high on y = 0.
MeshModel track_haybale_model();

// Adds the content files of "vovezuzize" and "flat" and the shared pictures
// and models they name ("haybale.vx", "tree_pine.png", ...); flat_size is
// the side of the "flat" field, feet.
void track_add_content(std::vector<ArchiveMember> *members, float flat_size);
