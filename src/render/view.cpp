// Projection and the title screen.
#include "render/view.h"

#include <GL/gl.h>
#include <cmath>

#include "files/texture.h"
#include "platform/log.h"
#include "render/text.h"

ViewExtents g_view = {1.0f, 0.75f, 0.25f, 5000.0f, 0, 0};
RenderFlags g_render_flags;

static TextureId s_title;   // "!@title.png", generation 0: lives for the run

void view_extents(int width, int height, float fov_degrees, float *hx, float *hy) {
    double a = fov_degrees * M_PI / 360.0;
    if (height <= 0) height = 1;
    double aspect = (double)width / height;
    if (aspect > 4.0 / 3.0) {
        *hy = (float)(0.75 * std::tan(a));
        *hx = (float)(*hy * aspect);
    } else {
        *hx = (float)std::tan(a);
        *hy = (float)(*hx / aspect);
    }
}

void set_projection(int width, int height, float fov_degrees) {
    view_extents(width, height, fov_degrees, &g_view.hx, &g_view.hy);
    g_view.width = width;
    g_view.height = height;
    float n = g_view.near_plane;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-g_view.hx * n, g_view.hx * n, -g_view.hy * n, g_view.hy * n, n, g_view.far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void overlay_begin(float lines) {
    float s = 2.0f * g_view.hy / lines;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(-g_view.hx, g_view.hy - s, -1.0f);
    glScalef(s, s, s);
}

void overlay_end() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

bool title_screen_load() {
    s_title = texture_load("!@title.png");
    return s_title != 0;
}

void title_screen_draw(const char *message) {
    float hx = g_view.hx, hy = g_view.hy;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.0f, 0.0f, 0.0f);
    glBegin(GL_QUADS);
    glVertex3f(-hx, -hy, -1.0f);
    glVertex3f(hx, -hy, -1.0f);
    glVertex3f(hx, hy, -1.0f);
    glVertex3f(-hx, hy, -1.0f);
    glEnd();

    if (s_title) {
        // A 2:1 picture: full width cut at top and bottom on wide screens,
        // full height cut at the sides otherwise.
        float x, y;
        if (hx > 2.0f * hy) {
            x = hx;
            y = hx / 2.0f;
        } else {
            x = 2.0f * hy;
            y = hy;
        }
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, s_title);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-x, -y, -1.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(x, -y, -1.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(x, y, -1.0f);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-x, y, -1.0f);
        glEnd();
        glBindTexture(GL_TEXTURE_2D, 0);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glDisable(GL_TEXTURE_2D);
    }
    if (message && message[0]) {
        zolm_log("%s\n", message);
        overlay_begin(25.0f);
        text_draw(1.0f, 1.0f, 1.0f, 1.0f, message, TEXT_MODE_DEFAULT);
        overlay_end();
    }
    glEnable(GL_DEPTH_TEST);
}
