// Models: the ".vx" text meshes of bikes, riders, the starting gate and
// track objects. A model is a chain of pieces, each a triangle mesh with its
// own material, optionally skinned to up to four bones a vertex; its first
// piece also carries the cache fields and the chain of coarser "_lod" levels.
//
// Owns: every cached model with all its pieces, levels and display lists,
// from its first model_load until models_purge finds it unused in the
// current track generation (models first loaded before any track, in
// generation 0, live until models_free).
// Never: touches GL while loading (display lists are compiled at a piece's
// first draw, so tools load headless); reads past what a file declares or
// accepts an index outside its tables. Drawing and freeing pieces that have
// display lists need the window's context current.
#pragma once

#include <cstdint>

#include "render/shaders.h"

struct VfsFile;

enum ModelPieceKind {
    MODEL_LIT = 0,          // shininess >= 0: specular material, normal pass
    MODEL_REFLECTION = 1,   // shininess -1: only in the reflection pass, additive
    MODEL_SELF_LIT = 2,     // shininess -2: ambient colour only, normal pass
};

enum {
    MODEL_NAME_MAX = 1023,             // the unused word of a "VX2" header
    MODEL_MAX_BONES = SHADER_MAX_BONE, // what the skinning shader can take
    MODEL_MAX_VERTICES = 1 << 20,      // per piece
    MODEL_MAX_TRIANGLES = 1 << 20,     // per piece
    MODEL_SLOTS = 4,                   // bone influences a vertex keeps
};

// One piece; a model is its first piece. Fields marked "first" mean
// something only on the first piece of a model or level.
struct Model {
    char *name;               // the file it was read from (owned by the first piece, shared by the rest)
    Model *next;              // following piece of the same model or level, or none
    uint32_t generation;      // first: track generation of the last use
    bool has_reflection;      // first: some piece is a reflection piece
    uint32_t display_list;    // GL list, 0 until built at the first draw (or never)
    bool list_decided;        // whether the first draw has chosen list or not
    int kind;                 // ModelPieceKind
    int vertex_count;         // V
    int triangle_count;       // T
    int bone_count;           // B, 0 when unskinned
    float color[4];           // red, green, blue, and 1 (lit) or k (reflection, self-lit)
    float shininess;          // max(s, 0.125) when lit, else s
    float *positions;         // 3V floats, 6V when skinned: current pose, then the rest pose
    float *normals;           // the same layout
    float *tangents;          // the same layout
    float *texcoords;         // 2V floats, v stored as 1 - v
    float *bone_weights;      // 4V floats, skinned only; sum 1 per vertex
    int32_t *bone_indices;    // 4V, skinned only; each in 0 .. B-1
    int32_t *triangles;       // 3T vertex indices, each in 0 .. V-1
    float lod_distance;       // switch distance of this level, 0 for the full model
    Model *next_lod;          // first: the next coarser level, or none
};

// What the game decides at start-up: whether the shader programs are used
// (skinning on the GPU, tangents and bones as texture coordinates),
// whether vertex arrays may be used ("--novertexarrays" clears it), the
// reflection pass switch, the LOD settings and the debug log lines.
struct ModelOptions {
    bool shaders;
    bool vertex_arrays;
    bool reflections;
    float lod_scale;
    float lod_bias;
    bool debug;
};
ModelOptions model_default_options();   // no shaders, vertex arrays, reflections, scale 1, bias 0
void model_set_options(const ModelOptions *options);

// Render statistics: every drawn piece adds its V and T. The HUD reads and
// clears them once a frame.
struct ModelDrawStats {
    int64_t vertices;
    int64_t triangles;
};
extern ModelDrawStats g_model_stats;   // whole process; the HUD clears it

// Called with each warning line as it is logged (tools show them); none
// turns it off.
void model_set_warning_hook(void (*hook)(const char *line));

// The cached load: a model already cached under the name (or the name in
// another letter case, with a warning) joins the current generation;
// otherwise the file is read and, for an "@" name, its "_lod<N>" files
// are read as levels at distance 2^N. None when the file is missing or its
// first piece does not parse.
Model *model_load(const char *name);
// Reads one model from an open stream without caching or levels (the
// loader, tests, fuzzing). None on failure; free with model_free.
Model *model_read(VfsFile *f, const char *name);
// Frees a model with all its pieces, levels and display lists.
void model_free(Model *model);

// The level used at a distance from the camera under the LOD settings.
Model *model_choose_lod(Model *model, float distance);
// The camera position model_draw measures distances from (the world
// renderer sets it for each view).
void model_set_camera(const float camera[3]);

// Bone data, per bone: rest origin (3 floats), current position (3 floats)
// and rotation (9 floats, element (row r, column c) at 3c + r).
//
// The normal pass: picks the level for the object position, skins it (on
// the GPU with shaders, else on the CPU when the level has bone_count
// bones) and draws the lit and self-lit pieces up to the first reflection
// piece. The caller has set the modelview transform.
void model_draw(Model *model, const float position[3], int bone_count, const float *rest_origins,
                const float *bone_positions, const float *bone_rotations);
// The reflection pass: only the reflection pieces, with the environment
// texture bound and additive blending set by the caller; without shaders
// each vertex gets angular environment-map coordinates from the object's
// rotation (9 floats, the same column layout).
void model_draw_reflection(Model *model, const float camera[3], const float position[3], const float rotation[9],
                           int bone_count, const float *rest_origins, const float *bone_positions,
                           const float *bone_rotations);
// CPU skinning of one piece from its rest pose into its current pose; does
// nothing for an unskinned piece or a different bone count.
void model_skin(Model *piece, int bone_count, const float *rest_origins, const float *bone_positions,
                const float *bone_rotations);
// Draws one piece as it stands (display list, immediate mode or vertex
// arrays) and counts it in g_model_stats.
void model_draw_piece(Model *piece);

bool model_has_reflection(const Model *model);   // and the reflection pass is on
const char *model_name(const Model *model);

// After each track load: deletes every cached model whose generation is
// neither 0 nor the current texture generation.
void models_purge();
// Deletes every cached model (shut-down, tests).
void models_free();
int models_cached();   // how many models the cache holds

// Writes a piece as a POV-Ray "mesh2" object.
void model_export_pov(const Model *piece, VfsFile *f);
// Outlines each triangle of a piece with a line loop (debug views).
void model_draw_wire(const Model *piece);

// --- between the loader and the drawing code ----------------------------

// Fills a piece's tangents from its positions, texture coordinates and
// triangles (and copies them into the rest half of a skinned piece).
void model_make_tangents(Model *piece);
extern ModelOptions g_model_options;   // set by model_set_options
void model_warn(const char *format, ...) __attribute__((format(printf, 1, 2)));
