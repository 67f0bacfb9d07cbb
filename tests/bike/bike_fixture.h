// A level practice field for the bike tests: 1024 ft square at 4 ft
// spacing, ground at y = 0, with the default data set's dirt surface and
// shape files, in a scratch data directory; the physics world ready; bikes
// made here are freed at the end.
#pragma once

#include <vector>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/rider.h"
#include "bike/physics.h"
#include "make_shapes.h"
#include "make_track.h"
#include "track/track_fixture.h"

class BikeFixture : public TrackFixture {
public:
    void SetUp() override {
        TrackFixture::SetUp();
        ASSERT_TRUE(physics_init());
        shapes_free();
        for (int i = 0; i < SHP_COUNT; i++)
            write_file(dir / (std::string("data/") + k_shp_members[i]), shp_image(shp_spheres((ShpFile)i)));
        g_bike_race = BikeRaceInfo{};
        int k = 7, n = grid_points(k), r = 1 << k;
        put("flat", "terrain.hf", std::to_string(k) + " 4 0 10\n");
        put("flat", "shading.ppm", ppm(n, n, 100));
        put("flat", "tileinfo", track_tileinfo(true));
        put("flat", "tilemap", std::string((size_t)r * r, '\0'));
        ASSERT_TRUE(terrain_load("@flat", TERRAIN_UPDATE_COPY));
        options.roost_frequency = 1000;
        options.erosion = false;
        options.collisions = true;
    }
    void TearDown() override {
        for (BikeState *b : bikes) bike_free(b);
        bikes.clear();
        objects_clear();
        shapes_free();
        g_bike_race = BikeRaceInfo{};
        TrackFixture::TearDown();
    }

    // A bike placed in the middle of the field facing -z.
    BikeState *make(const char *model = "crf450(2013)", float x = 512, float z = 512) {
        BikeState *b = bike_create(model, (int)bikes.size(), "7", nullptr, nullptr, nullptr, nullptr);
        if (!b) return nullptr;
        bikes.push_back(b);
        bike_place(b, x, z, 0);
        return b;
    }
    void run(int ticks) {
        for (int i = 0; i < ticks; i++) physics_tick(bikes.data(), (int)bikes.size(), tick++, &options);
    }
    static const dReal *pos(BikeState *b, int body = BODY_FRAME) { return dBodyGetPosition(b->bodies[body]); }
    static const dReal *vel(BikeState *b, int body = BODY_FRAME) { return dBodyGetLinearVel(b->bodies[body]); }

    std::vector<BikeState *> bikes;
    PhysicsTickOptions options;
    int64_t tick = 0;
};
