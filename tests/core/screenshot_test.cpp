#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cstdlib>
#include <vector>

#include "core/screenshot.h"
#include "files/image.h"
#include "platform/window_fixture.h"

TEST(Screenshot, NumberIsOneAboveTheHighestExisting) {
    ScratchDir dir;
    EXPECT_EQ(0, screenshot_highest_number(dir.path.c_str()));
    const char *files[] = {"screenshot007.png", "screenshot12.png", "screenshots.txt", "myscreenshot99.png",
                           "Screenshot50.png"};
    for (const char *f : files) write_file(dir / f, "x");
    EXPECT_EQ(12, screenshot_highest_number(dir.path.c_str()));
    EXPECT_EQ(0, screenshot_highest_number((dir / "missing").c_str()));
}

class ScreenshotFrame : public WindowFixture {};

TEST_F(ScreenshotFrame, PngHoldsTheFrameReadBackAndNumbersCountUp) {
    use_data_dirs(dir / "xdg", "");
    write_file(dir / "xdg/Quorvin/screenshot007.png", "x");
    write_file(dir / "xdg/Quorvin/screenshot12.png", "x");
    ASSERT_NE(nullptr, open(64, 48));
    ZolmViewport vp;
    ASSERT_TRUE(zolm_begin_frame(window, &vp));
    // Left half red, right half blue, a green band along the bottom.
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(32, 0, 32, 48);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(0, 0, 64, 8);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    ASSERT_TRUE(screenshot_save(64, 48));
    ASSERT_TRUE(screenshot_save(64, 48));
    std::vector<unsigned char> frame(64 * 48 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 64, 48, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
    ASSERT_TRUE(zolm_swap(window));

    Image shot = {};
    ASSERT_TRUE(png_read_rgba("@screenshot013.png", &shot));
    ASSERT_EQ(64, shot.width);
    ASSERT_EQ(48, shot.height);
    ASSERT_EQ(3, shot.channels);
    // The file is top-down; the frame read back is bottom-up.
    for (int y = 0; y < 48; y++) {
        for (int x = 0; x < 64; x++) {
            for (int c = 0; c < 3; c++) {
                ASSERT_EQ(frame[((47 - y) * 64 + x) * 3 + c], shot.pixels[(y * 64 + x) * 3 + c])
                    << x << "," << y;
            }
        }
    }
    // Bottom-left of the picture is the green band, top-right blue.
    EXPECT_EQ(255, shot.pixels[(47 * 64 + 0) * 3 + 1]);
    EXPECT_EQ(255, shot.pixels[(0 * 64 + 63) * 3 + 2]);
    image_free(&shot);
    EXPECT_TRUE(file_exists(dir / "xdg/Quorvin/screenshot014.png"));
}
