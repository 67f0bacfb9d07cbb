#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cmath>
#include <vector>

#include "files/image.h"
#include "files/texture.h"
#include "platform/window_fixture.h"
#include "render/view.h"

TEST(View, ExtentsKeepTheFourByThreeVerticalAngleOnWideWindows) {
    struct Row {
        int w, h;
        float fov, hx, hy;
    } rows[] = {
        {640, 480, 90, 1.0f, 0.75f},
        {800, 800, 90, 1.0f, 1.0f},          // narrower than 4:3: horizontal angle kept
        {1600, 600, 90, 2.0f, 0.75f},        // wider: the 4:3 vertical angle kept
        {640, 480, 60, (float)std::tan(M_PI / 6), (float)std::tan(M_PI / 6) * 0.75f},
    };
    for (const Row &r : rows) {
        float hx, hy;
        view_extents(r.w, r.h, r.fov, &hx, &hy);
        EXPECT_NEAR(r.hx, hx, 1e-5) << r.w << "x" << r.h;
        EXPECT_NEAR(r.hy, hy, 1e-5) << r.w << "x" << r.h;
    }
}

class TitleScreen : public WindowFixture {};

// The title picture fills the height of a 4:3 window (cut at the sides),
// top of the picture at the top of the screen.
TEST_F(TitleScreen, PictureIsDrawnUprightOverBlack) {
    use_data_dirs(dir / "xdg", dir / "data");
    std::vector<unsigned char> title(64 * 32 * 3);
    for (int y = 0; y < 32; y++) {
        for (int x = 0; x < 64; x++) {
            unsigned char *p = &title[(y * 64 + x) * 3];
            p[0] = y < 16 ? 255 : 0;   // top half red
            p[2] = y < 16 ? 0 : 255;   // bottom half blue
            p[1] = 0;
        }
    }
    ASSERT_TRUE(png_write_rgba((dir / "data/title.png").c_str(), title.data(), 64, 32, 3, nullptr));
    ASSERT_NE(nullptr, open(64, 48));
    ZolmViewport vp;
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    texture_set_options(0, 0, false);
    ASSERT_TRUE(title_screen_load());
    set_projection(64, 48, 90.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    title_screen_draw("");
    unsigned char top[3], bottom[3];
    glReadPixels(32, 40, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, top);
    glReadPixels(32, 8, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, bottom);
    EXPECT_EQ(255, top[0]);
    EXPECT_EQ(0, top[2]);
    EXPECT_EQ(0, bottom[0]);
    EXPECT_EQ(255, bottom[2]);
    ASSERT_TRUE(zolm_swap(window));
    textures_free();
}
