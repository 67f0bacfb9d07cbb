#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "bike/bike.h"
#include "bike/collide.h"
#include "bike/physics.h"
#include "bike_fixture.h"
#include "make_shapes.h"

namespace {

// The field of BikeFixture with the data set's shape files beside it. The
// shape cache lives as long as the process, so each test starts and ends
// with it empty: a name looked up by another test's data must not linger.
class CollideTest : public BikeFixture {
public:
    void SetUp() override {
        shapes_free();
        BikeFixture::SetUp();
        for (int i = 0; i < SHP_COUNT; i++) {
            write_file(dir / (std::string("data/") + k_shp_members[i]), shp_image(shp_spheres((ShpFile)i)));
        }
    }
    void TearDown() override {
        objects_clear();
        for (Shape *s : instances) shape_instance_free(s);
        for (dBodyID b : loose_bodies) dBodyDestroy(b);
        dJointGroupEmpty(g_contact_group);
        BikeFixture::TearDown();
        shapes_free();
    }

    dBodyID body_at(double x, double y, double z) {
        dBodyID b = dBodyCreate(g_world);
        dBodySetPosition(b, x, y, z);
        loose_bodies.push_back(b);
        return b;
    }
    Shape *instance(const char *name) {
        Shape *s = shape_instance(name);
        if (s) instances.push_back(s);
        return s;
    }
    static void set_velocity(BikeState *b, double vz) {
        for (dBodyID body : b->bodies) dBodySetLinearVel(body, 0, 0, vz);
    }
    static int contact_joints(BikeState *b) {
        int n = 0;
        for (dBodyID body : b->bodies) n += dBodyGetNumJoints(body);
        return n;
    }

    std::vector<Shape *> instances;
    std::vector<dBodyID> loose_bodies;
};

const dReal k_identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
const float k_identity9[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

ShapeSphere sphere(float radius, float kp, float kd) { return ShapeSphere{{0, 0, 0}, radius, 0.5f, kp, kd}; }

}  // namespace

TEST_F(CollideTest, SpheresTouchInTheMiddleOfTheirOverlap) {
    // Radii 1 and 0.5, centres 1.2 apart along (0.6, 0.8, 0).
    const float cb[3] = {10, 1, 5}, ca[3] = {10.72f, 1.96f, 5};
    ShapeSphere a = sphere(1, 25000, 2500), b = sphere(0.5f, 2500, 250);
    dBodyID body_a = body_at(ca[0], ca[1], ca[2]), body_b = body_at(cb[0], cb[1], cb[2]);
    dBodySetLinearVel(body_b, 1, 2, 3);

    WheelState record = {};
    ASSERT_TRUE(sphere_sphere(ca, &a, body_a, cb, &b, body_b, SPHERE_TEST, &record));
    EXPECT_NEAR(record.contact_depth, 0.3, 1e-5);
    EXPECT_NEAR(record.contact_pos[0], 10 + 0.6 * 0.35, 1e-5);
    EXPECT_NEAR(record.contact_pos[1], 1 + 0.8 * 0.35, 1e-5);
    EXPECT_NEAR(record.contact_pos[2], 5, 1e-5);
    EXPECT_NEAR(record.contact_normal[0], 0.6, 1e-5);
    EXPECT_NEAR(record.contact_normal[1], 0.8, 1e-5);
    EXPECT_FLOAT_EQ(record.contact_vel[0], 1);   // B's point velocity
    EXPECT_FLOAT_EQ(record.contact_vel[2], 3);
    EXPECT_EQ(dBodyGetNumJoints(body_a), 0);      // test mode only reports
    EXPECT_EQ(dBodyGetForce(body_a)[1], 0);

    EXPECT_TRUE(sphere_sphere(ca, &a, body_a, cb, &b, body_b, SPHERE_JOINT, nullptr));
    EXPECT_EQ(dBodyGetNumJoints(body_a), 1);
    EXPECT_EQ(dBodyGetNumJoints(body_b), 1);
    dJointGroupEmpty(g_contact_group);

    // Without bodies a touch is only reported; apart, nothing touches.
    record.contact_depth = -7;
    EXPECT_TRUE(sphere_sphere(ca, &a, nullptr, cb, &b, nullptr, SPHERE_JOINT, &record));
    EXPECT_EQ(record.contact_depth, -7);
    const float far[3] = {10, 2.6f, 5};
    EXPECT_FALSE(sphere_sphere(far, &a, body_a, cb, &b, body_b, SPHERE_JOINT, &record));
}

TEST_F(CollideTest, PenaltyForceTakesTheSofterSphereAndIsCapped) {
    struct Row {
        float kp_a, kp_b, kd;
        double va;              // A's velocity along the normal (+y)
        bool b_enabled;
        double force;           // on A along +y
    } rows[] = {
        {25000, 2500, 0, 0, true, 750},     // the smaller stiffness, depth 0.3
        {25000, 25000, 0, 0, true, 1000},   // 7500 capped
        {2500, 2500, 250, -0.4, true, 850}, // closing at 0.4 ft/s adds damping
        {2500, 2500, 250, 10, true, -1000}, // parting fast: capped the other way
        {25000, 2500, 0, 0, false, 750},    // a disabled body gets nothing
    };
    for (const Row &r : rows) {
        const float ca[3] = {0, 1.2f, 0}, cb[3] = {0, 0, 0};
        ShapeSphere a = sphere(1, r.kp_a, r.kd), b = sphere(0.5f, r.kp_b, r.kd);
        dBodyID body_a = body_at(0, 1.2, 0), body_b = body_at(0, 0, 0);
        dBodySetLinearVel(body_a, 0, r.va, 0);
        if (!r.b_enabled) dBodyDisable(body_b);
        ASSERT_TRUE(sphere_sphere(ca, &a, body_a, cb, &b, body_b, SPHERE_PENALTY, nullptr));
        EXPECT_NEAR(dBodyGetForce(body_a)[1], r.force, 1e-3) << r.kp_a << " " << r.kp_b << " " << r.va;
        EXPECT_NEAR(dBodyGetForce(body_b)[1], r.b_enabled ? -r.force : 0, 1e-3);
        EXPECT_EQ(dBodyGetNumJoints(body_a), 0);
    }
}

TEST_F(CollideTest, ShapeReadAcceptsWholeFilesOnly) {
    struct Row {
        const char *text;
        int count;   // 0: rejected
    } rows[] = {
        {"1\n0.5 -1 2 0.25 0.8 10000 200\n", 1},
        {"2\n0 0 0 1 0.5 100 10 1 1 1 0.5 0.5 100 10", 2},
        {"", 0},
        {"x", 0},
        {"0\n", 0},
        {"-1\n0 0 0 1 0.5 100 10\n", 0},
        {"5000\n0 0 0 1 0.5 100 10\n", 0},
        {"1\n0 0 0 1 0.5 100\n", 0},                    // short sphere
        {"2\n0 0 0 1 0.5 100 10\n", 0},                 // short count
        {"1\n0 0 0 0 0.5 100 10\n", 0},                 // radius not positive
        {"1\n0 0 0 -1 0.5 100 10\n", 0},
        {"1\n0 0 1e39 1 0.5 100 10\n", 0},              // not a finite float
        {"1\n0 0 0 1 0.5 abc 10\n", 0},
    };
    for (const Row &r : rows) {
        VfsFile *f = stream(r.text);
        ASSERT_NE(f, nullptr);
        int count = -1;
        ShapeSphere *spheres = nullptr;
        bool ok = shape_read(f, &count, &spheres);
        vfs_close(f);
        EXPECT_EQ(ok, r.count > 0) << r.text;
        if (!ok) {
            EXPECT_EQ(spheres, nullptr);
            continue;
        }
        EXPECT_EQ(count, r.count);
        if (r.count == 1) {
            EXPECT_FLOAT_EQ(spheres[0].centre[0], 0.5f);
            EXPECT_FLOAT_EQ(spheres[0].centre[1], -1);
            EXPECT_FLOAT_EQ(spheres[0].radius, 0.25f);
            EXPECT_FLOAT_EQ(spheres[0].mu, 0.8f);
            EXPECT_FLOAT_EQ(spheres[0].kp, 10000);
            EXPECT_FLOAT_EQ(spheres[0].kd, 200);
        }
        free(spheres);
    }
}

TEST_F(CollideTest, CacheSharesShapesAndInstancesAreIndependent) {
    write_file(dir / "data/ball.shp", "2\n0 0 0 1 0.5 100 10\n0 3 4 0.5 1 200 20\n");
    Shape *s = shape_load("@ball.shp");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(shape_load("@ball.shp"), s);
    EXPECT_EQ(s->count, 2);
    EXPECT_FLOAT_EQ(s->bound, 5.5f);
    EXPECT_EQ(s->source, nullptr);

    Shape *i1 = instance("@ball.shp"), *i2 = instance("@ball.shp");
    ASSERT_TRUE(i1 && i2);
    EXPECT_NE(i1, i2);
    EXPECT_EQ(i1->source, s);
    EXPECT_EQ(i2->count, 2);
    EXPECT_NE(i1->world, i2->world);
    // Low enough that the test walks the spheres, high enough not to touch.
    const dReal pos1[3] = {100, 5, 100}, pos2[3] = {200, 5, 300};
    EXPECT_FALSE(body_shape_terrain(i1, nullptr, pos1, k_identity));
    EXPECT_FALSE(body_shape_terrain(i2, nullptr, pos2, k_identity));
    EXPECT_FLOAT_EQ(i1->world[5], 104);   // second sphere: (0, 3, 4) + pos
    EXPECT_FLOAT_EQ(i2->world[5], 304);
    EXPECT_FLOAT_EQ(i2->world[4], 8);
    EXPECT_FLOAT_EQ(s->spheres[1].centre[1], 3);

    // A missing or bad file gives no shape, and a name that failed is not
    // looked for again until the cache is emptied.
    EXPECT_EQ(shape_load("@later.shp"), nullptr);
    EXPECT_EQ(shape_instance("@later.shp"), nullptr);
    write_file(dir / "data/later.shp", "1\n0 0 0 1 0.5 100 10\n");
    EXPECT_EQ(shape_load("@later.shp"), nullptr);
    write_file(dir / "data/bad.shp", "3\n0 0 0 1 0.5 100 10\n");
    EXPECT_EQ(shape_load("@bad.shp"), nullptr);
    for (Shape *x : instances) shape_instance_free(x);
    instances.clear();
    shapes_free();
    EXPECT_NE(shape_load("@later.shp"), nullptr);
}

TEST_F(CollideTest, SphereTerrainFindsTheDeepestPointOfFlatAndSlopedGround) {
    struct Row {
        float centre[3], radius;
        bool touches;
        float depth, normal[3];
    } flat[] = {
        {{100.3f, 0.5f, 200.7f}, 1, true, 0.5f, {0, 1, 0}},
        {{101.0f, 0.9f, 201.0f}, 1, true, 0.1f, {0, 1, 0}},   // over a grid line
        {{100.3f, 1.1f, 200.7f}, 1, false, 0, {0, 0, 0}},
        {{100.3f, -0.25f, 200.7f}, 1, true, 1.25f, {0, 1, 0}},   // sunk: pushed up
    };
    for (const Row &r : flat) {
        TireContact c;
        ASSERT_EQ(sphere_terrain(r.centre, r.radius, &c), r.touches) << r.centre[1];
        if (!r.touches) continue;
        EXPECT_NEAR(c.depth, r.depth, 1e-5);
        EXPECT_NEAR(c.point[0], r.centre[0], 1e-4);
        EXPECT_NEAR(c.point[1], 0, 1e-5);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(c.normal[k], r.normal[k], 1e-5);
    }

    // The ground y = x / 2: the nearest point lies along the face normal.
    Terrain *t = &g_terrain;
    for (int j = 0; j < t->n; j++) {
        for (int i = 0; i < t->n; i++) t->heights[j * t->n + i] = 0.5f * i * t->spacing;
    }
    const float centre[3] = {100.3f, 50.15f + 0.5f, 200.7f};
    TireContact c;
    ASSERT_TRUE(sphere_terrain(centre, 1, &c));
    double dist = 0.5 / sqrt(1.25), nx = -0.5 / sqrt(1.25), ny = 1 / sqrt(1.25);
    EXPECT_NEAR(c.depth, 1 - dist, 1e-4);
    EXPECT_NEAR(c.normal[0], nx, 1e-4);
    EXPECT_NEAR(c.normal[1], ny, 1e-4);
    EXPECT_NEAR(c.point[0], centre[0] - dist * nx, 1e-4);
    EXPECT_NEAR(c.point[1], centre[1] - dist * ny, 1e-4);
    EXPECT_NEAR(c.point[2], centre[2], 1e-4);
}

TEST_F(CollideTest, FrontEndHittingABikeElsewhereSetsTheTimer) {
    // Y rides ahead; X comes from behind with its front tyre overlapping
    // Y's rear tyre (centres 2.1 ft apart).
    struct Row {
        double speed_x, speed_y;
        float timer_x, timer_y;
    } rows[] = {
        {12, 6, 256, 0},
        {8, 6, 0, 0},    // X not fast
        {12, 3, 0, 0},   // Y not moving
    };
    BikeState *y = make("crf450(2013)", 512, 500);
    ASSERT_NE(y, nullptr);
    for (int i = 0; i < BIKE_BODIES; i++) ASSERT_NE(y->shapes[i], nullptr) << i;
    double front_offset = pos(y, BODY_FRONT_WHEEL)[2] - 500;
    double x_z = pos(y, BODY_REAR_WHEEL)[2] + 2.1 - front_offset;
    BikeState *x = make("crf450(2013)", 512, (float)x_z);
    ASSERT_NE(x, nullptr);
    int64_t tick = 100;
    for (const Row &r : rows) {
        for (int order = 0; order < 2; order++) {
            x->collision_timer = y->collision_timer = 0;
            set_velocity(x, -r.speed_x);
            set_velocity(y, -r.speed_y);
            int mask = order == 0 ? bike_pair(x, y, false, tick) : bike_pair(y, x, false, tick);
            dJointGroupEmpty(g_contact_group);
            EXPECT_NE(mask & (order == 0 ? PART_REAR_WHEEL : PART_FRONT_WHEEL), 0) << order;
            EXPECT_EQ(x->collision_timer, r.timer_x) << r.speed_x << " " << r.speed_y << " " << order;
            EXPECT_EQ(y->collision_timer, r.timer_y) << r.speed_x << " " << r.speed_y << " " << order;
            EXPECT_EQ(x->last_collision_tick, tick);
            EXPECT_EQ(y->last_collision_tick, tick);
            tick++;
        }
    }
    EXPECT_EQ(x->first_collision_tick, 100);
    EXPECT_EQ(y->first_collision_tick, 100);

    // Front wheel on front wheel: each fast bike gets the shorter timer.
    bike_place(y, 512, 500, bike_heading(0, 1));
    double front_z = pos(y, BODY_FRONT_WHEEL)[2];
    bike_place(x, 512, (float)(front_z + 2.1 - front_offset), 0);
    x->collision_timer = y->collision_timer = 0;
    set_velocity(x, -12);
    set_velocity(y, 12);
    EXPECT_NE(bike_pair(x, y, false, tick) & PART_FRONT_WHEEL, 0);
    EXPECT_EQ(x->collision_timer, 192);
    EXPECT_EQ(y->collision_timer, 192);
}

TEST_F(CollideTest, BikesRiddenIntoEachOtherPushApart) {
    BikeState *x = make("crf450(2013)", 512, 500);
    ASSERT_NE(x, nullptr);
    double front_offset = pos(x, BODY_FRONT_WHEEL)[2] - 500;
    BikeState *y = make("crf450(2013)", 512, 400);
    ASSERT_NE(y, nullptr);
    // Face to face, front tyres 3.5 ft apart, closing at 20 ft/s.
    bike_place(y, 512, (float)(500 + 2 * front_offset - 3.5), bike_heading(0, 1));
    set_velocity(x, -10);
    set_velocity(y, 10);
    double closest = 1e9;
    for (int i = 0; i < 96; i++) {
        run(1);
        closest = fmin(closest, pos(x, BODY_FRONT_WHEEL)[2] - pos(y, BODY_FRONT_WHEEL)[2]);
    }
    EXPECT_GE(x->first_collision_tick, 0);
    EXPECT_GT(closest, 1.8);   // the tyres (2.3 ft together) hardly sank into each other
    double closing = vel(y)[2] - vel(x)[2];
    EXPECT_LT(closing, 0.0);   // from 20 ft/s closing to parting
    EXPECT_GT(pos(x)[2], pos(y)[2]);
}

TEST_F(CollideTest, PlacementRaisesABikeOutOfAnObject) {
    // A bike's square of search lies in bin 5 (x from 640); the object's
    // centre lies in bin 4 but reaches over the border.
    write_file(dir / "data/boulder.shp", "1\n0 0 0 9 0.5 20000 800\n");
    Shape *boulder = instance("@boulder.shp");
    ASSERT_NE(boulder, nullptr);
    BikeState *b = make("crf450(2013)", 300, 300);
    ASSERT_NE(b, nullptr);
    double rest_y = pos(b)[1];
    double frame_dx = pos(b)[0] - 300;
    const float at[3] = {639, 0, 300};
    ASSERT_TRUE(objects_add(boulder, at, k_identity9));
    EXPECT_EQ(objects_count(), 1);

    bike_place(b, (float)(646 - frame_dx), 300, 0);
    double raised = pos(b)[1] - rest_y;
    EXPECT_GT(raised, 0.2);
    EXPECT_NEAR(raised / 0.25, std::round(raised / 0.25), 1e-4);
    EXPECT_FALSE(bike_touches_static(b));
    bike_translate(b, 0, -0.25f, 0);
    EXPECT_TRUE(bike_touches_static(b));

    // Far from it nothing is raised.
    bike_place(b, 800, 800, 0);
    EXPECT_NEAR(pos(b)[1], rest_y, 1e-5);
}

TEST_F(CollideTest, ObjectsPassTestsEachObjectOnce) {
    // An object over the corner of four bins is entered in each of them.
    write_file(dir / "data/post.shp", "1\n0 0 0 1.5 0.5 20000 800\n");
    Shape *post = instance("@post.shp");
    ASSERT_NE(post, nullptr);
    BikeState *b = make("crf450(2013)", 640, 640);
    ASSERT_NE(b, nullptr);
    const dReal *frame = pos(b);
    const float at[3] = {(float)frame[0] + 1.0f, (float)frame[1], (float)frame[2]};
    ASSERT_TRUE(objects_add(post, at, k_identity9));
    dReal where[3] = {at[0], at[1], at[2]};
    int base = contact_joints(b);
    int mask = bike_shape(b, post, nullptr, where, k_identity, SPHERE_JOINT, false);
    int once = contact_joints(b) - base;
    dJointGroupEmpty(g_contact_group);
    ASSERT_NE(mask, 0);
    ASSERT_GT(once, 0);
    bike_objects_pass(b);
    EXPECT_EQ(contact_joints(b) - base, once);
}

TEST_F(CollideTest, TerrainPassMarksBodyShapesOnTheGround) {
    BikeState *b = make();
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(bike_terrain_pass(b));   // the tyres
    EXPECT_FALSE(b->touched);
    dJointGroupEmpty(g_contact_group);

    // Lying on its side at rest: body shapes touch; the rider lies still,
    // so nothing crashes.
    bike_reset_pose(b);
    bike_rotate(b, 0, 0, 1, (float)(M_PI / 2));
    bike_translate(b, 512, 0.6f, 512);
    EXPECT_TRUE(bike_terrain_pass(b));
    EXPECT_TRUE(b->touched);
    EXPECT_FALSE(bike_is_crashed(b));
    EXPECT_TRUE(bike_touches_static(b));
}
