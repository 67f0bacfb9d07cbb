// The view: projection, screen extents, 2-D overlays and the title screen.
//
// Owns: the screen extents of the current projection (set by
// set_projection) and the title picture (loaded once at start-up).
#pragma once

// Half-width and half-height of the view at distance 1, and the near and
// far planes; every 2-D drawing happens at z = -1 inside these extents.
struct ViewExtents {
    float hx, hy;
    float near_plane, far_plane;
    int width, height;     // viewport in pixels
};

extern ViewExtents g_view;   // set by set_projection before each view

// Which drawing paths this run uses, decided once at start-up from the
// settings and what the GL offers.
struct RenderFlags {
    bool shaders;            // the shader programs are built and used
    bool terrain_shaders;    // shaders, and a shader terrain rendering method
    bool ground_mipmaps;
};
extern RenderFlags g_render_flags;

// Viewport (0, 0, width, height) and the perspective for the horizontal
// field of view (degrees) up to a 4:3 window; wider windows keep the 4:3
// vertical angle. The model-view matrix becomes the identity.
void set_projection(int width, int height, float fov_degrees);
// The extents set_projection gives, without touching GL (tests, tools).
void view_extents(int width, int height, float fov_degrees, float *hx, float *hy);

// A 2-D overlay n text lines high over the current projection: saves the
// model-view matrix, puts line 0 at the top-left corner of the screen at
// z = -1 with one unit = 1/n of the screen height (text is drawn in these
// units). overlay_end restores the matrix.
void overlay_begin(float lines);
void overlay_end();

// Loads the title picture ("!@title.png"); false when it is missing.
bool title_screen_load();
// The title picture over black with an optional message (logged), inside
// a frame bracket after set_projection.
void title_screen_draw(const char *message);
