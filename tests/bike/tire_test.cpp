// The tyre contact: the torus-triangle test against a brute-force circle
// sampling, the contact search on small hand-made height fields, the soft
// contact, friction direction and rolling resistance numbers, the roost
// count, the erosion queue, and one contact joint in a real world step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "bike/bike.h"
#include "bike/physics.h"
#include "bike/tire.h"
#include "track/terrain.h"

namespace {

struct V3 {
    double x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(double s, V3 a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double len(V3 a) { return std::sqrt(dot(a, a)); }
V3 unit(V3 a) { return (1 / len(a)) * a; }
V3 of(const float v[3]) { return {v[0], v[1], v[2]}; }

V3 closest_on_segment(V3 p, V3 a, V3 b) {
    V3 d = b - a;
    double t = dot(p - a, d) / dot(d, d);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return a + t * d;
}

// The point of the closed triangle nearest to p, done the slow obvious way.
V3 closest_on_triangle(V3 p, const V3 v[3]) {
    V3 n = unit(cross(v[1] - v[0], v[2] - v[0]));
    V3 q = p - dot(p - v[0], n) * n;
    bool inside = true;
    for (int k = 0; k < 3; k++) {
        if (dot(cross(v[(k + 1) % 3] - v[k], q - v[k]), n) < 0) inside = false;
    }
    if (inside) return q;
    V3 best = closest_on_segment(p, v[0], v[1]);
    for (int k = 1; k < 3; k++) {
        V3 c = closest_on_segment(p, v[k], v[(k + 1) % 3]);
        if (len(p - c) < len(p - best)) best = c;
    }
    return best;
}

// The smallest circle-triangle distance by sampling the circle, then
// sampling again more finely around the best sample, twice.
double brute_distance(V3 c, V3 a, double R, const V3 v[3]) {
    V3 e1 = unit(cross(a, std::fabs(a.x) < 0.9 ? V3{1, 0, 0} : V3{0, 1, 0}));
    V3 e2 = cross(a, e1);
    auto at = [&](double th) {
        V3 x = c + R * std::cos(th) * e1 + R * std::sin(th) * e2;
        return len(x - closest_on_triangle(x, v));
    };
    double best_th = 0, best = at(0), step = 2 * M_PI / 4096;
    for (int i = 1; i < 4096; i++) {
        double d = at(i * step);
        if (d < best) best = d, best_th = i * step;
    }
    for (int round = 0; round < 2; round++) {
        double centre = best_th;
        for (int i = -500; i <= 500; i++) {
            double th = centre + i * step / 500;
            double d = at(th);
            if (d < best) best = d, best_th = th;
        }
        step /= 500;
    }
    return best;
}

// The distance of x from the core circle.
double circle_distance(V3 x, V3 c, V3 a, double R) {
    V3 d = x - c;
    double w = dot(d, a);
    double rho = len(d - w * a);
    return std::sqrt((rho - R) * (rho - R) + w * w);
}

enum Kind { FACE, EDGE, VERTEX };

Kind classify(V3 p, const V3 v[3]) {
    for (int k = 0; k < 3; k++) {
        if (len(p - v[k]) < 1e-4) return VERTEX;
    }
    for (int k = 0; k < 3; k++) {
        if (len(p - closest_on_segment(p, v[k], v[(k + 1) % 3])) < 1e-4) return EDGE;
    }
    return FACE;
}

float torus(V3 c, V3 a, double R, double r, const V3 v[3], TireContact *out) {
    double cc[3] = {c.x, c.y, c.z}, aa[3] = {a.x, a.y, a.z};
    double t[3][3] = {{v[0].x, v[0].y, v[0].z}, {v[1].x, v[1].y, v[1].z}, {v[2].x, v[2].y, v[2].z}};
    return wheel_torus_triangle(cc, aa, R, r, t[0], t[1], t[2], out);
}

const double k_R = 1.0, k_r = 1.0 / 3;
// A ground triangle with an upward face normal, and a wall.
const V3 k_ground[3] = {{0, 0, 0}, {0, 0, 3}, {3, 0, 0}};
const V3 k_wall[3] = {{0, 0, 0}, {0, 2, 0}, {0, 0, 2}};
// A long skew triangle whose middle edge runs past the ring so closely that
// its distance has two dips between coarse samples.
const V3 k_skew[3] = {{-1.5016344150070262, -0.5160023768041293, -0.20876893876528779},
                      {1.7675972915103646, 0.64546145994470505, 0.48512132022768339},
                      {-1.895752936553095, 0.19392286343217036, -0.97770741720577115}};

}  // namespace

TEST(TorusTriangle, MatchesBruteForce) {
    struct Row {
        const char *what;
        const V3 *tri;
        V3 c, a;
        Kind kind;
    } rows[] = {
        {"upright over the face", k_ground, {0.8, 1.2, 0.8}, {1, 0, 0}, FACE},
        {"leaning over the face", k_ground, {1.0, 1.1, 0.8}, {0.94, 0.34, 0}, FACE},
        {"tilted and turned over the face", k_ground, {1.0, 0.95, 1.0}, {0.6, 0.5, 0.62}, FACE},
        {"beyond the long edge", k_ground, {1.8, 0.95, 1.8}, {1, 0, 0}, EDGE},
        {"beside the x edge, ring below the plane", k_ground, {1.5, 0.5, -0.25}, {0, 0, 1}, EDGE},
        {"tilted and turned beside the x edge", k_ground, {1.5, 0.8, -0.6}, {0.3, 0.3, 0.9}, EDGE},
        {"off the corner", k_ground, {3.15, 0.9, -0.3}, {1, 0, -1}, VERTEX},
        {"off the corner, in the long edge's plane", k_ground, {3.35, 0.9, -0.35}, {1, 0, 1}, VERTEX},
        {"against a wall", k_wall, {1.2, 0.6, 0.8}, {0, 0, 1}, FACE},
        {"ring through the face away from its lowest point", k_ground, {3.2, 0.5, 0.5}, {0, 0, 1}, FACE},
        {"edge with two dips", k_skew, {1.3247609109733069, -0.049587556416908152, 0.90154076898542268},
         {0.53825593369326841, -0.58770255417710215, -0.60405815751275005}, EDGE},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        V3 a = unit(row.a);
        TireContact tc;
        float depth = torus(row.c, a, k_R, k_r, row.tri, &tc);
        double expected = k_r - brute_distance(row.c, a, k_R, row.tri);
        ASSERT_GT(expected, 0) << "the table is meant for touching placements";
        EXPECT_EQ(depth, tc.depth);
        EXPECT_NEAR(tc.depth, expected, 1e-4);

        V3 p = of(tc.point), n = of(tc.normal);
        EXPECT_LT(len(p - closest_on_triangle(p, row.tri)), 1e-4) << "point on the triangle";
        EXPECT_EQ(classify(p, row.tri), row.kind);
        EXPECT_NEAR(len(n), 1, 1e-5);
        double gap = k_r - tc.depth;
        if (gap > 1e-3) {
            EXPECT_LT(circle_distance(p + gap * n, row.c, a, k_R), 1e-3) << "normal reaches the ring";
        }
        if (row.kind == FACE) {
            V3 face = unit(cross(row.tri[1] - row.tri[0], row.tri[2] - row.tri[0]));
            EXPECT_NEAR(std::fabs(dot(n, face)), 1, 1e-5);
            EXPECT_GT(dot(n, row.c - p), 0) << "face normal towards the wheel";
        }
    }
}

TEST(TorusTriangle, SunkThroughTheFaceAndOutOfReach) {
    TireContact tc;
    // The ring's lowest point 0.2 below the face: deeper than the tube.
    torus({1, 0.8, 1}, {1, 0, 0}, k_R, k_r, k_ground, &tc);
    EXPECT_NEAR(tc.depth, k_r + 0.2, 1e-6);
    EXPECT_NEAR(tc.normal[1], 1, 1e-6);
    EXPECT_NEAR(tc.point[1], 0, 1e-6);
    // Below the triangle, the normal turns towards the wheel.
    torus({1, -1.2, 1}, {1, 0, 0}, k_R, k_r, k_ground, &tc);
    EXPECT_NEAR(tc.depth, k_r - 0.2, 1e-6);
    EXPECT_NEAR(tc.normal[1], -1, 1e-6);
    // Well clear of it, near and far.
    EXPECT_LT(torus({1, 1.5, 1}, {1, 0, 0}, k_R, k_r, k_ground, &tc), 0);
    EXPECT_LT(torus({40, 3, 40}, {1, 0, 0}, k_R, k_r, k_ground, &tc), 0);
    EXPECT_LT(torus({1.5, 0.8, -0.9}, {0, 0, 1}, k_R, k_r, k_ground, &tc), 0);
}

TEST(TorusTriangle, CirclePointFallsBackOnTheAxle) {
    double c[3] = {1, 2, 3}, out[3];
    double ax[3] = {1, 0, 0}, ay[3] = {0, 1, 0};
    double on_x[3] = {4, 2, 3}, on_y[3] = {1, 7, 3}, off[3] = {1, 2, 7};
    wheel_circle_point(c, ax, 0.5, on_x, out);   // (R, 0, 0) lies on the axle: (0, R, 0)
    EXPECT_DOUBLE_EQ(out[0], 1);
    EXPECT_DOUBLE_EQ(out[1], 2.5);
    EXPECT_DOUBLE_EQ(out[2], 3);
    wheel_circle_point(c, ay, 0.5, on_y, out);
    EXPECT_DOUBLE_EQ(out[0], 1.5);
    EXPECT_DOUBLE_EQ(out[1], 2);
    EXPECT_DOUBLE_EQ(out[2], 3);
    wheel_circle_point(c, ax, 0.5, off, out);
    EXPECT_DOUBLE_EQ(out[0], 1);
    EXPECT_DOUBLE_EQ(out[1], 2);
    EXPECT_DOUBLE_EQ(out[2], 3.5);
}

// A 5 x 5 point field with spacing 2 (0..8 ft) and one default tile, set up
// directly in g_terrain, and one wheel body in the shared physics world.
class TireGround : public testing::Test {
protected:
    WheelState wheel;

    void SetUp() override {
        ASSERT_TRUE(physics_init());
        terrain_free();
        g_terrain.k = 1;
        g_terrain.n = 5;
        g_terrain.spacing = 2;
        g_terrain.tile_size = 4;
        g_terrain.world_size = 8;
        g_terrain.heights = (float *)calloc(25, sizeof(float));
        g_terrain.tile_count = 1;
        tile_set_defaults(&g_terrain.tiles[0]);
        memset(&wheel, 0, sizeof wheel);
        wheel.body = dBodyCreate(g_world);
        dMass mass;
        dMassSetSphereTotal(&mass, 20, 1);
        dBodySetMass(wheel.body, &mass);
        wheel.axle[0] = 1;
        wheel.ring_radius = 1;
        wheel.section_radius = 1.0f / 3;
    }
    void TearDown() override {
        dJointGroupEmpty(g_contact_group);
        dBodyDestroy(wheel.body);
        terrain_free();
    }
    void set_heights(const std::function<float(int, int)> &h) {
        for (int j = 0; j < 5; j++) {
            for (int i = 0; i < 5; i++) g_terrain.heights[j * 5 + i] = h(i, j);
        }
    }
    // The wheel centre at (x, z) with its axle turned about y by yaw and
    // leaned about z by lean (radians).
    void place(double x, double y, double z, double yaw = 0, double lean = 0) {
        dBodySetPosition(wheel.body, x, y, z);
        dMatrix3 ry, rz, rot;
        dRFromAxisAndAngle(ry, 0, 1, 0, yaw);
        dRFromAxisAndAngle(rz, 0, 0, 1, lean);
        dMultiply0(rot, ry, rz, 3, 3, 3);
        dBodySetRotation(wheel.body, rot);
    }
};

TEST_F(TireGround, FlatSlopedAndBeyondTheEdge) {
    const float g = 1.0f / std::sqrt(1.0625f);   // 1 / |(0, 1, -0.25)|
    struct Row {
        const char *what;
        float (*height)(int, int);
        double x, y, z;
        float depth, normal[3];
    } rows[] = {
        {"flat", [](int, int) { return 1.0f; }, 3.1, 2.2333333, 4.3, 0.1f, {0, 1, 0}},
        // h = 0.25 z: the centre lies 1.3 g above the plane.
        {"slope along the wheel", [](int, int j) { return 0.5f * j; }, 3.1, 2.3, 4.0, 4.0f / 3 - 1.3f * g,
         {0, g, -0.25f * g}},
        // Beyond x = 0 the border column's height 2 stretches on as a ledge.
        {"ledge beyond the edge", [](int i, int) { return 2.0f + 0.5f * i; }, -5, 3.2333333, 4, 0.1f, {0, 1, 0}},
        {"ledge beyond the far corner", [](int i, int j) { return 1.0f + i + j; }, 20, 10.2333333, 20, 0.1f,
         {0, 1, 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        set_heights(row.height);
        place(row.x, row.y, row.z);
        TireContact tc;
        ASSERT_TRUE(wheel_find_contact(&wheel, &tc));
        EXPECT_NEAR(tc.depth, row.depth, 1e-4);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(tc.normal[k], row.normal[k], 1e-4);
        // The point lies under the centre along the normal, at the ring's
        // lowest point minus the section.
        V3 c = {row.x, row.y, row.z};
        V3 p = of(tc.point);
        EXPECT_NEAR(len(c - p), k_R + k_r - tc.depth, 1e-4);
        EXPECT_NEAR(len(cross(unit(c - p), of(tc.normal))), 0, 1e-4);
    }
    // Lifted clear of the flat ground: nothing.
    set_heights([](int, int) { return 1.0f; });
    place(3.1, 2.5, 4.3);
    TireContact tc;
    EXPECT_FALSE(wheel_find_contact(&wheel, &tc));
}

// Heights 1 on the points with odd i + j, 0 on the others: the field's
// diagonal rule splits every cell along its two low corners, so each cell
// holds a valley. The other diagonal would make each one a ridge of height 1.
TEST_F(TireGround, DiagonalRuleOnSaddleCells) {
    set_heights([](int i, int j) { return (float)((i + j) & 1); });
    wheel.ring_radius = 0.01f;   // almost a ball of radius r
    wheel.section_radius = 0.3f;
    struct Row {
        double x, z, yaw, lean;
    } rows[] = {
        {3, 3, 0, 0}, {5, 3, 0, 0}, {3.4, 2.5, 0.3, 0.2}, {4.6, 5.5, -0.7, 0.4}, {1.5, 6.5, 1.2, -0.3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "at " << row.x << ", " << row.z);
        // The ball's centre 0.25 ft over the field as its own rule sees it.
        place(row.x, terrain_height((float)row.x, (float)row.z) + 0.25, row.z, row.yaw, row.lean);
        TireContact tc;
        ASSERT_TRUE(wheel_find_contact(&wheel, &tc));
        EXPECT_LT(tc.depth, 0.2f) << "the other diagonal would reach far into the ball";
        EXPECT_NEAR(tc.point[1], terrain_height(tc.point[0], tc.point[2]), 1e-4);
        TerrainVec n = terrain_normal(tc.point[0], tc.point[2]);
        V3 nn = unit({n.x, n.y, n.z});
        bool on_cell_lines = std::fabs(std::remainder(tc.point[0], 2.0)) < 1e-3 ||
                             std::fabs(std::remainder(tc.point[2], 2.0)) < 1e-3 ||
                             std::fabs(std::remainder(tc.point[0] - tc.point[2], 2.0)) < 1e-3 ||
                             std::fabs(std::remainder(tc.point[0] + tc.point[2], 2.0)) < 1e-3;
        if (!on_cell_lines) {
            EXPECT_NEAR(dot(nn, of(tc.normal)), 1, 1e-4);
        }
    }
}

// The search skips triangles whose plane keeps them from going deeper than
// the best face contact; it must find what testing every triangle finds.
TEST_F(TireGround, SearchAgreesWithTestingEveryTriangle) {
    set_heights([](int i, int j) { return (float)(0.37 * ((i * 7 + j * 3) % 5) + 0.2 * (i == j)); });
    uint32_t seed = 12345;
    auto uniform = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / 16777216.0;
    };
    int compared = 0;
    for (int trial = 0; trial < 400; trial++) {
        double x = 1 + 6 * uniform(), z = 1 + 6 * uniform();
        place(x, terrain_height((float)x, (float)z) + 0.6 + 0.9 * uniform(), z, 3 * uniform(), uniform() - 0.5);
        TireContact found;
        bool touching = wheel_find_contact(&wheel, &found);

        // Every triangle of the cells within reach, deepest kept.
        const dReal *pos = dBodyGetPosition(wheel.body);
        dVector3 axle;
        dBodyVectorToWorld(wheel.body, 1, 0, 0, axle);
        double c[3] = {pos[0], pos[1], pos[2]}, a[3] = {axle[0], axle[1], axle[2]};
        double reach = k_R + k_r, best = 0;
        for (int j = (int)floor((c[2] - reach) / 2); j < (int)ceil((c[2] + reach) / 2); j++) {
            for (int i = (int)floor((c[0] - reach) / 2); i < (int)ceil((c[0] + reach) / 2); i++) {
                int p = ((i ^ j) & 1) == 0 ? 1 : 0;
                int tri[2][3][2] = {{{i, j}, {i, j + 1}, {i + 1, j + p}}, {{i + 1, j + 1}, {i + 1, j}, {i, j + 1 - p}}};
                for (auto &t : tri) {
                    double v[3][3];
                    for (int k = 0; k < 3; k++) {
                        int ci = std::min(4, std::max(0, t[k][0])), cj = std::min(4, std::max(0, t[k][1]));
                        v[k][0] = t[k][0] * 2.0, v[k][1] = g_terrain.heights[cj * 5 + ci], v[k][2] = t[k][1] * 2.0;
                    }
                    TireContact tc;
                    best = std::max(best, (double)wheel_torus_triangle(c, a, k_R, k_r, v[0], v[1], v[2], &tc));
                }
            }
        }
        ASSERT_EQ(touching, best > 0) << "trial " << trial;
        if (touching) {
            EXPECT_NEAR(found.depth, best, 1e-5) << "trial " << trial;
            compared++;
        }
    }
    EXPECT_GT(compared, 200);
}

TEST(TireNumbers, SoftContact) {
    struct Row {
        double depth, r, kp, kd;
    } rows[] = {{0.1, 1.0 / 3, 1648, 262.1}, {0.5, 1.0 / 3, 25000, 2500}, {0, 1.0 / 3, 1000, 200}};
    for (const Row &row : rows) {
        SoftContact s = wheel_soft_contact(row.depth, row.r);
        EXPECT_NEAR(s.kp, row.kp, 1e-9);
        EXPECT_NEAR(s.kd, row.kd, 1e-9);
        EXPECT_NEAR(s.cfm, 1 / (row.kp / 128 + row.kd), 1e-12);
        EXPECT_NEAR(s.erp, row.kp / 128 * s.cfm, 1e-12);
    }
}

TEST(TireNumbers, FrictionDirection) {
    const float up[3] = {0, 1, 0};
    struct Row {
        const char *what;
        float v[3], axle[3];
        bool found;
        float dir[3];
    } rows[] = {
        {"spinning in place: from the velocity", {0, 0, -5}, {1, 0, 0}, true, {-1, 0, 0}},
        {"sliding sideways", {3, 0, 4}, {1, 0, 0}, true, {0.8f, 0, -0.6f}},
        {"at rest: from the axle", {0, 0, 0}, {1, 0, 0}, true, {0, 0, -1}},
        {"creeping: from the axle", {0, 0, 0.01f}, {1, 0, 0}, true, {0, 0, -1}},
        {"axle along the normal", {0, 0, 0}, {0, 1, 0}, false, {0, 0, 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        float dir[3] = {9, 9, 9};
        ASSERT_EQ(wheel_friction_direction(up, row.v, row.axle, dir), row.found);
        if (!row.found) continue;
        for (int k = 0; k < 3; k++) EXPECT_NEAR(dir[k], row.dir[k], 1e-6);
    }
}

TEST_F(TireGround, RollingResistance) {
    // Default tile: 5 lbf with no sinkage, 15 at full; 10 at k = 0.5.
    const float up[3] = {0, 1, 0};
    struct Row {
        float v[3], force[3];
    } rows[] = {
        {{1, 0, 0}, {-10, 0, 0}}, {{0.5f, 0, 0}, {-5, 0, 0}}, {{4, 3, 0}, {-10, 0, 0}}, {{0, -2, -8}, {0, 0, 10}},
    };
    for (const Row &row : rows) {
        float force[3];
        wheel_rolling_resistance(row.v, up, 0, 0.5f, force);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(force[k], row.force[k], 1e-5);
    }
}

TEST(TireNumbers, FrictionFactorAndRoostCount) {
    EXPECT_EQ(wheel_friction_factor(false, 1.0f), 1.0f);
    EXPECT_NEAR(wheel_friction_factor(true, 0), 1, 1e-7);
    EXPECT_NEAR(wheel_friction_factor(true, (float)M_PI / 8), 1 - 0.375 / 2, 1e-6);
    EXPECT_NEAR(wheel_friction_factor(true, -1.2f), 0.625, 1e-7);

    int twos = 0;
    for (uint32_t random = 0; random < 10000; random++) {
        int n = roost_emission_count(150, random * 2654435761u);
        ASSERT_TRUE(n == 1 || n == 2);
        twos += n == 2;
        ASSERT_EQ(roost_emission_count(1000, random * 2654435761u), 10);
    }
    EXPECT_NEAR(twos, 5000, 200);
    EXPECT_EQ(roost_emission_count(150, 49), 2);
    EXPECT_EQ(roost_emission_count(150, 50), 1);
    EXPECT_EQ(roost_emission_count(0, 0), 0);
}

TEST_F(TireGround, ErosionQueue) {
    auto bike = std::make_unique<BikeState>();
    memset(bike.get(), 0, sizeof *bike);
    wheel.contact_depth = 0.1f;
    wheel.contact_pos[0] = 3, wheel.contact_pos[2] = 5;
    // Default tile: erode_lower 50, off and on speeds 10 and 15 ft/s.
    struct Row {
        const char *what;
        float speed, depth, fx, fz;
        bool stored;
        float sample_fx;
    } rows[] = {
        {"below erode_lower", 20, 0.1f, 40, 20, false, 0},
        {"above erode_lower", 20, 0.1f, 40, 40, true, 40},
        {"half speed factor, on the threshold", 12.5f, 0.1f, 100, 0, false, 0},
        {"half speed factor, above it", 12.5f, 0.1f, 120, 0, true, 60},
        {"slower than the off speed", 5, 0.1f, 500, 500, false, 0},
        {"in the air", 20, 0, 500, 500, false, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        bike->erosion.read = bike->erosion.write = 7;
        dBodySetLinearVel(wheel.body, 0, 0, row.speed);
        wheel.contact_depth = row.depth;
        wheel.feedback.f1[0] = row.fx, wheel.feedback.f1[1] = 900, wheel.feedback.f1[2] = row.fz;
        wheel_queue_erosion(bike.get(), &wheel);
        ErosionSample s;
        ASSERT_EQ(erosion_queue_peek(&bike->erosion, &s), row.stored);
        if (!row.stored) continue;
        EXPECT_EQ(s.x, 3);
        EXPECT_EQ(s.z, 5);
        EXPECT_FLOAT_EQ(s.fx, row.sample_fx);
        erosion_queue_pop(&bike->erosion);
        EXPECT_FALSE(erosion_queue_peek(&bike->erosion, &s));
    }

    // With no lower bound the tiny-force floor still holds.
    g_terrain.tiles[0].erosion[ERODE_LOWER] = 0;
    g_terrain.tiles[0].erosion[ERODE_ON_SPEED] = g_terrain.tiles[0].erosion[ERODE_OFF_SPEED] = 10;
    dBodySetLinearVel(wheel.body, 0, 0, 11);
    wheel.contact_depth = 0.1f;
    wheel.feedback.f1[0] = 0.03f, wheel.feedback.f1[2] = 0;
    wheel_queue_erosion(bike.get(), &wheel);
    ErosionSample s;
    EXPECT_FALSE(erosion_queue_peek(&bike->erosion, &s));

    // Filling: 1023 samples fit, in order, across the ring's wrap.
    bike->erosion.read = bike->erosion.write = 1000;
    for (int i = 0; i < EROSION_QUEUE_SLOTS + 10; i++) {
        wheel.feedback.f1[0] = 1 + i;
        wheel_queue_erosion(bike.get(), &wheel);
    }
    int count = 0;
    while (erosion_queue_peek(&bike->erosion, &s)) {
        ASSERT_EQ(s.fx, 1.0f + count);
        erosion_queue_pop(&bike->erosion);
        count++;
    }
    EXPECT_EQ(count, EROSION_QUEUE_SLOTS - 1);
    erosion_queue_pop(&bike->erosion);   // empty: no effect
    EXPECT_EQ(bike->erosion.read, bike->erosion.write);
}

TEST_F(TireGround, ContactJointHoldsTheWheelUp) {
    set_heights([](int, int) { return 1.0f; });
    place(4, 1 + 1 + 1.0 / 3 - 0.05, 4);
    dBodySetLinearVel(wheel.body, 0, 0, 2);
    ASSERT_TRUE(wheel_ground_contact(&wheel, 1.0f));
    EXPECT_NEAR(wheel.contact_depth, 0.05f, 1e-5);
    EXPECT_NEAR(wheel.contact_vel[2], 2, 1e-5);
    EXPECT_EQ(dBodyGetNumJoints(wheel.body), 1);
    dWorldStep(g_world, PHYSICS_STEP);
    EXPECT_GT(wheel.feedback.f1[1], 0);
    // Rolling forward, friction and rolling resistance hold it back.
    EXPECT_LT(wheel.feedback.f1[2], 0);
    dJointGroupEmpty(g_contact_group);
    EXPECT_EQ(dBodyGetNumJoints(wheel.body), 0);

    // Lifted clear: no joint, depth 0.
    place(4, 3, 4);
    EXPECT_FALSE(wheel_ground_contact(&wheel, 1.0f));
    EXPECT_EQ(wheel.contact_depth, 0);
    EXPECT_EQ(dBodyGetNumJoints(wheel.body), 0);
}
