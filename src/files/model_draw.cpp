// Drawing models: CPU skinning, the three ways to send a piece (display
// list, vertex arrays, immediate mode), the normal and reflection passes and
// the wire outline. Everything here runs on the game thread with the
// window's context current; the loader never comes here.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstring>

#include "files/model.h"
#include "render/gl_ext.h"
#include "render/shaders.h"

static float s_camera[3];

void model_set_camera(const float camera[3]) {
    if (camera) memcpy(s_camera, camera, sizeof s_camera);
}

static float distance_between(const float a[3], const float b[3]) {
    float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return sqrtf(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

static bool use_shader_arrays() {
    return g_model_options.shaders && g_glf.ClientActiveTextureARB != nullptr;
}

// --- skinning ----------------------------------------------------------------

// out = R v, with R in column order (element (r, c) at 3c + r).
static void rotate(const float *m, const float *v, float out[3]) {
    for (int r = 0; r < 3; r++) out[r] = m[r] * v[0] + m[3 + r] * v[1] + m[6 + r] * v[2];
}

static void normalise(float v[3]) {
    float length = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f)
        for (int c = 0; c < 3; c++) v[c] /= length;
}

void model_skin(Model *p, int bone_count, const float *rest_origins, const float *bone_positions,
                const float *bone_rotations) {
    if (!p || p->bone_count == 0 || p->bone_count != bone_count || !rest_origins || !bone_positions ||
        !bone_rotations)
        return;
    int v = p->vertex_count;
    const float *rest_pos = p->positions + 3 * v, *rest_nrm = p->normals + 3 * v, *rest_tan = p->tangents + 3 * v;
    for (int i = 0; i < v; i++) {
        float pos[3] = {0, 0, 0}, nrm[3] = {0, 0, 0}, tan[3] = {0, 0, 0};
        for (int s = 0; s < MODEL_SLOTS; s++) {
            float w = p->bone_weights[4 * i + s];
            if (!(w > 0.0f)) continue;
            int b = p->bone_indices[4 * i + s];
            const float *m = bone_rotations + 9 * b, *origin = rest_origins + 3 * b, *at = bone_positions + 3 * b;
            float local[3] = {rest_pos[3 * i] - origin[0], rest_pos[3 * i + 1] - origin[1], rest_pos[3 * i + 2] - origin[2]};
            float r[3];
            rotate(m, local, r);
            for (int c = 0; c < 3; c++) pos[c] += w * (r[c] + at[c]);
            rotate(m, rest_nrm + 3 * i, r);
            for (int c = 0; c < 3; c++) nrm[c] += w * r[c];
            rotate(m, rest_tan + 3 * i, r);
            for (int c = 0; c < 3; c++) tan[c] += w * r[c];
        }
        normalise(nrm);
        normalise(tan);
        memcpy(p->positions + 3 * i, pos, sizeof pos);
        memcpy(p->normals + 3 * i, nrm, sizeof nrm);
        memcpy(p->tangents + 3 * i, tan, sizeof tan);
    }
}

// --- sending a piece ---------------------------------------------------------

static void draw_arrays(const Model *p) {
    bool shader_arrays = use_shader_arrays();
    // With shaders the GPU skins from the rest pose.
    int rest = shader_arrays && p->bone_count > 0 ? 3 * p->vertex_count : 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, p->positions ? p->positions + rest : nullptr);
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, 0, p->normals ? p->normals + rest : nullptr);
    if (shader_arrays) g_glf.ClientActiveTextureARB(GL_TEXTURE0_ARB);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, p->texcoords);
    if (shader_arrays) {
        g_glf.ClientActiveTextureARB(GL_TEXTURE1_ARB);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(3, GL_FLOAT, 0, p->tangents ? p->tangents + rest : nullptr);
        if (p->bone_count > 0) {
            g_glf.ClientActiveTextureARB(GL_TEXTURE2_ARB);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(4, GL_FLOAT, 0, p->bone_weights);
            g_glf.ClientActiveTextureARB(GL_TEXTURE3_ARB);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(4, GL_INT, 0, p->bone_indices);
        }
    }
    if (p->triangle_count > 0) glDrawElements(GL_TRIANGLES, 3 * p->triangle_count, GL_UNSIGNED_INT, p->triangles);
    if (shader_arrays) {
        for (int unit = 3; unit >= 1; unit--) {
            g_glf.ClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
        g_glf.ClientActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (shader_arrays && g_glf.ActiveTextureARB) g_glf.ActiveTextureARB(GL_TEXTURE0_ARB);
}

static void draw_immediate(const Model *p) {
    bool shader_arrays = use_shader_arrays() && g_glf.MultiTexCoord3fvARB && g_glf.MultiTexCoord4fvARB;
    int rest = shader_arrays && p->bone_count > 0 ? 3 * p->vertex_count : 0;
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 3 * p->triangle_count; i++) {
        int v = p->triangles[i];
        if (shader_arrays) {
            g_glf.MultiTexCoord3fvARB(GL_TEXTURE1_ARB, p->tangents + rest + 3 * v);
            if (p->bone_count > 0) {
                const int32_t *b = p->bone_indices + 4 * v;
                g_glf.MultiTexCoord4fvARB(GL_TEXTURE2_ARB, p->bone_weights + 4 * v);
                g_glf.MultiTexCoord4fARB(GL_TEXTURE3_ARB, (float)b[0], (float)b[1], (float)b[2], (float)b[3]);
            }
        }
        glTexCoord2fv(p->texcoords + 2 * v);
        glNormal3fv(p->normals + rest + 3 * v);
        glVertex3fv(p->positions + rest + 3 * v);
    }
    glEnd();
}

// A display list is made for every piece when shaders skin on the GPU, and
// for unskinned lit pieces otherwise; the others change at every draw.
static void piece_decide_list(Model *p) {
    if (p->list_decided) return;
    p->list_decided = true;
    if (!(g_model_options.shaders || (p->bone_count == 0 && p->kind == MODEL_LIT))) return;
    GLuint list = glGenLists(1);
    if (list == 0) return;
    glNewList(list, GL_COMPILE);
    draw_arrays(p);
    glEndList();
    p->display_list = list;
}

void model_draw_piece(Model *p) {
    if (!p) return;
    g_model_stats.vertices += p->vertex_count;
    g_model_stats.triangles += p->triangle_count;
    piece_decide_list(p);
    if (p->display_list) glCallList(p->display_list);
    else if (!g_model_options.vertex_arrays) draw_immediate(p);
    else draw_arrays(p);
}

// --- the passes ----------------------------------------------------------------

static bool cpu_skinning(const Model *level, int bone_count) {
    return !g_model_options.shaders && level->bone_count > 0 && level->bone_count == bone_count;
}

static void shader_bones(const Model *level, int bone_count, const float *rest_origins, const float *bone_positions,
                         const float *bone_rotations) {
    if (!g_model_options.shaders || shader_current() == SHADER_FIXED) return;
    if (level->bone_count > 0 && bone_count > 0 && rest_origins && bone_positions && bone_rotations)
        shader_set_bones(bone_count, rest_origins, bone_positions, bone_rotations);
    else shader_set_bones(0, nullptr, nullptr, nullptr);
}

static void draw_self_lit(Model *p) {
    static const float black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
    float model_ambient[4], light_ambient[4];
    // The track lighting stands in the GL state while models are drawn;
    // what is saved here is put back afterwards.
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, model_ambient);
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, light_ambient);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_AMBIENT, p->color);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, black);
    glMaterialfv(GL_FRONT, GL_SPECULAR, black);
    glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
    model_draw_piece(p);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, model_ambient);
    glLightfv(GL_LIGHT0, GL_AMBIENT, light_ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
}

void model_draw(Model *model, const float position[3], int bone_count, const float *rest_origins,
                const float *bone_positions, const float *bone_rotations) {
    if (!model || !position) return;
    Model *level = model_choose_lod(model, distance_between(s_camera, position));
    shader_bones(level, bone_count, rest_origins, bone_positions, bone_rotations);
    bool skin = cpu_skinning(level, bone_count);
    for (Model *p = level; p && p->kind != MODEL_REFLECTION; p = p->next) {
        if (p->kind == MODEL_LIT) {
            // GL refuses shininess above 128.
            glMaterialfv(GL_FRONT, GL_SPECULAR, p->color);
            glMaterialf(GL_FRONT, GL_SHININESS, p->shininess < 128.0f ? p->shininess : 128.0f);
        }
        if (skin) model_skin(p, bone_count, rest_origins, bone_positions, bone_rotations);
        if (p->kind == MODEL_SELF_LIT) draw_self_lit(p);
        else model_draw_piece(p);
    }
}

// Angular environment-map coordinates: straight up maps to the centre of
// the picture, the horizon to radius 0.25.
static void reflection_texcoords(Model *p, const float delta[3], const float *m) {
    for (int i = 0; i < p->vertex_count; i++) {
        const float *pos = p->positions + 3 * i, *n = p->normals + 3 * i;
        float v[3] = {m[0] * delta[0] + m[3] * delta[1] + m[6] * delta[2] + pos[0],
                      m[1] * delta[0] + m[4] * delta[1] + m[7] * delta[2] + pos[1],
                      m[2] * delta[0] + m[5] * delta[1] + m[8] * delta[2] + pos[2]};
        float dot = v[0] * n[0] + v[1] * n[1] + v[2] * n[2];
        float r[3] = {v[0] - 2 * dot * n[0], v[1] - 2 * dot * n[1], v[2] - 2 * dot * n[2]};
        float w[3] = {m[0] * r[0] + m[1] * r[1] + m[2] * r[2], m[3] * r[0] + m[4] * r[1] + m[5] * r[2],
                      m[6] * r[0] + m[7] * r[1] + m[8] * r[2]};
        normalise(w);
        float y = w[1] < -1.0f ? -1.0f : w[1] > 1.0f ? 1.0f : w[1];
        float a = acosf(y) / (2.0f * (float)M_PI);
        float side = sqrtf(w[0] * w[0] + w[2] * w[2]);
        float *tex = p->texcoords + 2 * i;
        if (side > 0.0f) {
            tex[0] = a * w[0] / side + 0.5f;
            tex[1] = a * w[2] / side + 0.5f;
        } else {
            tex[0] = tex[1] = 0.5f;   // straight up or down: the centre
        }
    }
}

void model_draw_reflection(Model *model, const float camera[3], const float position[3], const float rotation[9],
                           int bone_count, const float *rest_origins, const float *bone_positions,
                           const float *bone_rotations) {
    if (!model || !camera || !position || !rotation) return;
    Model *level = model_choose_lod(model, distance_between(camera, position));
    shader_bones(level, bone_count, rest_origins, bone_positions, bone_rotations);
    bool skin = cpu_skinning(level, bone_count);
    float delta[3] = {position[0] - camera[0], position[1] - camera[1], position[2] - camera[2]};
    for (Model *p = level; p; p = p->next) {
        if (p->kind != MODEL_REFLECTION) continue;
        if (!g_model_options.shaders) reflection_texcoords(p, delta, rotation);
        glColor4f(p->color[3] * p->color[0], p->color[3] * p->color[1], p->color[3] * p->color[2], 1.0f);
        if (skin) model_skin(p, bone_count, rest_origins, bone_positions, bone_rotations);
        model_draw_piece(p);
    }
}

void model_draw_wire(const Model *p) {
    if (!p) return;
    for (int t = 0; t < p->triangle_count; t++) {
        glBegin(GL_LINE_LOOP);
        for (int k = 0; k < 3; k++) glVertex3fv(p->positions + 3 * p->triangles[3 * t + k]);
        glEnd();
    }
}
