#include <cstring>
#include <string>

#include "bike/bike.h"
#include "bike/physics.h"
#include "files/model.h"
#include "files/texture.h"
#include "make_data.h"
#include "platform/window_fixture.h"
#include "render/gl_ext.h"
#include "render/text.h"

// A bike made with a GL context loads its parts, texture sets and number
// plate from the default data set, and falls back to the defaults when
// asked for textures that are not there.
class BikeGraphics : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        use_data_dirs(dir / "xdg", dir / "data");
        static const std::vector<DataArchive> data = make_data_set();
        for (const DataArchive &a : data) {
            std::string error;
            ASSERT_TRUE(archive_write(a.members, dir / ("data/" + a.file), &error)) << error;
        }
        ASSERT_NE(nullptr, open());
        gl_detect();
        texture_set_options(0, TEXTURE_COMPRESS_NO, false);
        ASSERT_TRUE(fonts_load());
        ASSERT_TRUE(physics_init());
        BikeOptions graphics = {true};
        bike_set_options(&graphics);
    }
    void TearDown() override {
        BikeOptions headless = {false};
        bike_set_options(&headless);
        fonts_free();
        models_free();
        textures_free();
        WindowFixture::TearDown();
    }
};

TEST_F(BikeGraphics, LoadsItsPartsTexturesAndPlate) {
    BikeState *own = bike_create("crf450(2013)", 0, "123", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    for (int i = 0; i < BIKE_MODELS; i++) EXPECT_NE(own->models[i], nullptr) << "model " << i;
    for (int i = 0; i < BIKE_TEXTURE_SETS; i++) EXPECT_NE(own->textures[i], 0u) << "texture set " << i;
    EXPECT_STREQ(texture_name(own->textures[BIKE_TEXTURES_BIKE]), "@crf450v2013.png");
    EXPECT_NE(own->plate_texture, 0u);
    EXPECT_STREQ(bike_plate_text(own), "123");

    // Textures that do not exist: each group falls back to its default.
    BikeState *asked = bike_create("crf450(2013)", 1, "12345678", "@nope-1.png", "@nope-2.png", "@nope-3.png",
                                   "@nope-4.png");
    ASSERT_NE(asked, nullptr);
    for (int i = 0; i < BIKE_TEXTURE_SETS; i++) EXPECT_EQ(asked->textures[i], own->textures[i]) << "set " << i;
    EXPECT_STREQ(bike_plate_text(asked), "1234567");   // seven characters at most
    bike_free(asked);
    bike_free(own);
    EXPECT_EQ(GL_NO_ERROR, (int)glGetError());
}
