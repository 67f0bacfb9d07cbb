// The content of a track directory besides its terrain and timing gates:
// lighting and sky, billboards, statues with their collision shapes, the
// flaggers, the fixed cameras, ground decals, the title and the minimap; the
// load order that brings them in with the terrain, the track identity digest
// the networked players compare, and the editor's billboard and statue
// writers.
//
// Owns: every array of g_track with the names, flares and shape instances in
// it, and the statue entries of the collision bins (objects_clear at unload).
// Textures and models belong to their caches; the terrain to g_terrain.
// Never: loads a texture or model or touches GL unless the options say a GL
// context is current (everything else runs headless); opens a name from a
// file outside the data directories; crashes or stops on bad input (readers
// keep what they read up to the first item that does not match).
#pragma once

#include <cstdint>

#include "core/ripemd160.h"
#include "files/texture.h"

struct Model;
struct Shape;
struct VfsFile;

enum {
    TRACK_NAME_MAX = 480,           // bytes of a track name, "@" + name + "/" + file fits VFS_NAME_MAX
    TRACK_TITLE_BYTES = 256,        // the title from "desc", terminator included
    CONTENT_NAME_BYTES = 1024,      // names read with "%1023s"
    CONTENT_LINE_BYTES = 1024,      // "lighting" and "cameras" lines
    CONTENT_ARRAY_START = 16,       // room of a growable array at its first element
    TRACK_ROOST_BILLBOARDS = 2000,  // the first billboards, kept for roost particles
    TRACK_GATE_CAMERAS = 256,       // timing-gate numbers a camera can be mapped to
    FLARE_MAX_ELEMENTS = 8,
    STARTER_PICTURES = 5,
    LAP_FLAGGER_PICTURES = 4,
    GATE_FLAGGER_PICTURES = 2,
    GATE_FLAGGER_GATES = 4,
};

// The fixed-camera view's defaults for a camera with no "fov" or "autofovsize".
static const float CAMERA_DEFAULT_FOV = 90.0f;
static const float LIGHTING_NEAR_MIN = 1.0f / 1024.0f;
static const float LIGHTING_NEAR_MAX = 0.875f;
static const float LIGHTING_FAR_MAX = 1048576.0f;
// Statues at this angle or above face the viewer; the angle is then the
// log2 of their facing size.
static const float STATUE_FACING_ANGLE = 3.25f;

// What the content readers may touch, set by the game before a track loads
// (and by tools and tests). The defaults are headless: nothing loads but the
// collision shapes, no debug lines.
struct ContentOptions {
    bool gl;           // a GL context is current: load textures, models and the minimap; set the fog
    bool shaders;      // shader programs draw statues: look for normal and specular maps
    int debug_level;   // 0, 1 or 2: the extra log lines
};
void content_set_options(const ContentOptions *options);
const ContentOptions *content_options();

// --- lighting -------------------------------------------------------------------

enum FlareKind { FLARE_POINT = 0, FLARE_DIRECTION = 1 };
enum SkyFace { SKY_NORTH, SKY_EAST, SKY_SOUTH, SKY_WEST, SKY_UP, SKY_ENV, SKY_TEXTURES };

struct FlareElement {
    float axis[2];        // placement and scale along the flare axis
    float color[3];
    float size;
    TextureId texture;
};

struct LensFlare {
    float position[3];    // world position (point) or direction (like the sun)
    int kind;             // FlareKind
    int element_count;    // 0..FLARE_MAX_ELEMENTS
    FlareElement elements[FLARE_MAX_ELEMENTS];
};

struct Lighting {
    float sun[3];              // unit vector toward the sun
    float sun_color[3];
    float ambient[3];
    float global_ambient[3];
    float near_plane, far_plane;
    bool dynamic;
    TextureId sky[SKY_TEXTURES];                    // SkyFace order; 0 without GL or when missing
    char sky_names[SKY_TEXTURES][CONTENT_NAME_BYTES];   // as given, or the "@sky-*.ppm" default
    float fog_color[3];        // kept from track to track until a "fog" line sets it
    float fog_density;         // 0 unless "fog" sets it
    LensFlare *flares;         // finished flares (malloc'd)
    int flare_count, flare_capacity;
    LensFlare building;        // the flare the next "flare_element" adds to
};

// Every field at its default (fog colour and density too); no flares. The
// record's old flares are not freed (lighting_free first).
void lighting_defaults(Lighting *l);
// Reads a "lighting" file (none: defaults only) over the defaults, keeping
// the fog colour the record holds, then clamps the planes, normalises the
// sun, fills the sky faces not given and (with GL) sets the fog. The record
// holds defaults or an earlier reading (its flares are freed). False when an
// unknown key stopped the reading.
bool lighting_read(VfsFile *f, Lighting *l);
void lighting_free(Lighting *l);   // the flares; the rest stays

// --- the track record ---------------------------------------------------------------

// An upright picture turned toward the viewer about the vertical axis.
struct Billboard {
    float x, y, z;            // y: terrain height at (x, z) + y_offset
    float height;
    float y_offset;
    float aspect;             // width = height * aspect
    int32_t sort_key;         // the renderer's
    TextureId texture;        // 0: not drawn
    uint8_t color[4];         // r, g, b, a
    char *texture_name;       // without its colour prefix, or none (malloc'd)
};

// A placed model.
struct Statue {
    Model *model;             // from the model cache, or none
    Shape *shape;             // an instance owned by the track, or none
    TextureId texture, normal_map, specular_map;
    float x, y, z;            // y: terrain height + y_offset
    float y_offset;
    float angle;              // as read
    float orientation[9];     // row-major rotation: column c is where the model's axis c goes
    float facing_size;        // 2^angle from STATUE_FACING_ANGLE on, else 0
    int32_t flags;            // 0 at creation; the renderer's
    // The names as given (none for "null"), kept whether or not they loaded
    // so the editor writes back what it read (malloc'd).
    char *model_name, *texture_name, *shape_name;
};

struct TrackCamera {
    float x, y, z;            // y: terrain height + y offset
    float run[4];             // the fixed-camera view's own, 0 at load
    float fov;                // degrees
    float auto_fov_size;
};

// The starter walks from A to B once the gate has dropped.
struct StarterFlagger {
    bool present;
    float a[3], b[3];         // x, y offset, z
    float height, aspect, walk_time;
    TextureId pictures[STARTER_PICTURES];
    int billboard;            // index in billboards
};

enum LapFlaggerPicture { LAP_PICTURE_RACING, LAP_PICTURE_HALF, LAP_PICTURE_LAST_LAP, LAP_PICTURE_FINISHED };

struct LapFlagger {
    bool present;
    float position[3];        // x, y offset, z
    float height, aspect;
    TextureId pictures[LAP_FLAGGER_PICTURES];   // LapFlaggerPicture order
    int billboard;
};

enum GateFlaggerPicture { GATE_PICTURE_NORMAL, GATE_PICTURE_WARNING };

struct GateFlagger {
    float position[3];        // x, y offset, z
    float height, aspect;
    int gates[GATE_FLAGGER_GATES];   // timing-gate numbers, -1 for none
    TextureId pictures[GATE_FLAGGER_PICTURES];
    int billboard;
};

// A picture laid onto the ground texture.
struct Decal {
    float x, z;
    float angle;              // radians
    float size, aspect;       // covers size x (size * aspect)
    TextureId texture, normal_map, specular_map;
    const unsigned char *pixels;   // update method 1: RGBA from the image cache
    int width, height;
    char *texture_name;       // (malloc'd)
};

struct Track {
    char name[TRACK_NAME_MAX];        // directory in the data, "" when no track is loaded
    char title[TRACK_TITLE_BYTES];    // first line of "desc", else the name
    uint8_t digest[RIPEMD160_BYTES];  // track identity
    Lighting lighting;
    // The terrain is g_terrain; the timing gates live with their module.
    Billboard *billboards;
    int billboard_count, billboard_capacity;
    int32_t *billboard_order;         // two entries per billboard, for the renderer's sort
    int billboard_order_count, billboard_order_capacity;
    Statue *statues;
    int statue_count, statue_capacity;
    int first_file_billboard, first_file_statue;   // where the writers start
    TrackCamera *cameras;
    int camera_count, camera_capacity;
    int32_t gate_cameras[TRACK_GATE_CAMERAS];      // camera of timing gate n, or -1
    StarterFlagger starter;
    LapFlagger lap_flagger;
    GateFlagger *gate_flaggers;
    int gate_flagger_count, gate_flagger_capacity;
    Decal *decals;
    int decal_count, decal_capacity;
    TextureId minimap;                // 0 without GL or without "map.png"
    bool has_minimap;                 // "map.png" exists
};

extern Track g_track;   // filled by track_load(), emptied by track_unload()

// Loads the track in its order: digest, lighting, terrain, timing gates,
// roost billboards, flaggers, billboards, statues, minimap, collision bins,
// digest of the statue shapes, cameras. Only the terrain is required. On
// failure the track is unloaded, the name cleared, and false returned. The
// caller shows "Loading track..." over the title picture first.
bool track_load(const char *name, int update_method);
// Frees everything the load made and the terrain; logs the two deallocation
// lines. Safe with no track loaded.
void track_unload();
// The same for a record that is not g_track (tests, tools); leaves the
// terrain and the collision bins alone.
void track_free(Track *t);

// --- the readers (each adds to a track; f may be none) ------------------------------

// "billboards": returns how many were added.
int billboards_read(VfsFile *f, Track *t);
// "statues": returns how many were added. A shape that does not load shows
// "Warning: missing shape file" and the statue goes on without it.
int statues_read(VfsFile *f, Track *t);
// "cameras": returns the number of cameras. Gate numbers outside
// 0..gate_count-1 are read past but not mapped.
int cameras_read(VfsFile *f, Track *t, int gate_count);
// "flaggers": returns how many flaggers were made (starter, lap and gate
// flaggers together). Gate numbers are clamped to -1..gate_count-1.
int flaggers_read(VfsFile *f, Track *t, int gate_count);
// "decals": returns how many were added. Without GL nothing loads and each
// decal keeps its name; with GL one whose picture does not load is skipped.
int decals_read(VfsFile *f, Track *t, int update_method);

// One billboard; the name may carry a colour prefix "#rrggbb#". The index,
// or -1 when the array cannot grow.
int billboard_add(Track *t, float x, float y_offset, float z, float height, float aspect, const char *name);
// One statue (the readers and the starting-gate statues); names may be none
// or "null". The index, or -1 when the array cannot grow.
int statue_add(Track *t, float x, float y_offset, float z, float angle, const char *model, const char *texture,
               const char *shape);

// The colour of a "#rrggbb#name" prefix; returns the name after it, or none
// when the name has no such prefix.
const char *billboard_color_prefix(const char *name, uint8_t rgb[3]);
// A statue's rotation (row-major, see Statue) at (x, z) over g_terrain.
void statue_orientation(float x, float z, float angle, float out[9]);
// The i-th name the normal or specular map of a statue is looked for under
// (kind "_norm" or "_spec"): three from the texture name, then three from
// the model name. False when there is no i-th name.
bool statue_map_candidate(const char *texture, const char *model, const char *kind, int i, char *out,
                          int size);

// Where a flagger stands and what it shows. Times are in seconds of the
// race clock; gate_drop is the whole second the gate drops.
int starter_picture(const StarterFlagger *s, double now, int gate_drop, float position[3]);
int lap_flagger_picture(int leader_completed_laps, int race_laps, int half_laps);
// fallen_next_gates: the next gate of each fallen rider.
int gate_flagger_picture(const GateFlagger *g, const int *fallen_next_gates, int count);

// --- the editor's writers ----------------------------------------------------------

// Write the billboards and statues from the first file ones on. The _save
// forms write g_track's files in the home directory and fail with "Can't
// open 'billboards'" / "Can't open 'statues'" on the console.
bool billboards_write(const Track *t, VfsFile *f);
bool statues_write(const Track *t, VfsFile *f);
bool billboards_save();
bool statues_save();

// The name a file's name is opened under: "@" put in front of a name
// without one (after a leading "!"), refused (false) when empty, too long or
// holding a ".." part, so nothing outside the data directories is reached.
bool content_data_name(const char *name, char *out, int size);
