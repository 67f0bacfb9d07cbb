#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/game.h"
#include "core/ripemd160.h"
#include "make_data.h"
#include "make_shapes.h"

namespace {

// The shape files as the data set ships them, by member name.
const std::map<std::string, std::string> &shipped_shapes() {
    static std::map<std::string, std::string> files;
    if (files.empty()) {
        for (const DataArchive &a : make_data_set()) {
            if (a.file != "bikes.saf") continue;
            for (const ArchiveMember &m : a.members) {
                if (m.name.size() > 4 && m.name.compare(m.name.size() - 4, 4, ".shp") == 0) files[m.name] = m.bytes;
            }
        }
    }
    return files;
}

struct Sphere {
    float c[3], radius, mu, kp, kd;
};

// Reads a shape file the way its format is defined: a count, then seven
// numbers per sphere; false on any short read or trailing text.
bool parse_shape(const std::string &text, std::vector<Sphere> *out) {
    const char *p = text.c_str();
    int count = 0, used = 0;
    if (sscanf(p, "%d%n", &count, &used) != 1 || count <= 0) return false;
    p += used;
    for (int i = 0; i < count; i++) {
        Sphere s;
        if (sscanf(p, "%f %f %f %f %f %f %f%n", &s.c[0], &s.c[1], &s.c[2], &s.radius, &s.mu, &s.kp, &s.kd,
                   &used) != 7)
            return false;
        p += used;
        out->push_back(s);
    }
    while (*p == ' ' || *p == '\n') p++;
    return *p == '\0';
}

// How far a point (bike coordinates) lies outside a tyre at rest: its
// distance from the tyre's section ring minus the section radius.
float outside_tyre(const float p[3], const float axle[3], float ring) {
    float rho = std::hypot(p[1] - axle[1], p[2] - axle[2]);
    return std::hypot(rho - ring, p[0] - axle[0]) - 0.3333333f;
}

}  // namespace

TEST(MakeShapes, TheGameCarriesTheDigestOfTheSevenBikeShapes) {
    const std::map<std::string, std::string> &files = shipped_shapes();
    Ripemd160 r;
    ripemd160_start(&r);
    for (const char *name : k_shape_files) {
        ASSERT_EQ('@', name[0]);
        auto f = files.find(name + 1);
        ASSERT_NE(files.end(), f) << name << " is not in bikes.saf";
        ripemd160_add(&r, f->second.data(), f->second.size());
    }
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_finish(&r, digest);
    char hex[41];
    ripemd160_to_hex(digest, hex);
    EXPECT_TRUE(ripemd160_equals_hex(digest, k_shape_digest)) << "the shape files' digest is " << hex;
}

TEST(MakeShapes, EveryFileReadsAsItsFormatSaysWithSensibleSurfaces) {
    const std::map<std::string, std::string> &files = shipped_shapes();
    ASSERT_EQ((size_t)SHP_COUNT, files.size());
    for (int i = 0; i < SHP_COUNT; i++) {
        auto f = files.find(k_shp_members[i]);
        ASSERT_NE(files.end(), f) << k_shp_members[i];
        std::vector<Sphere> spheres;
        ASSERT_TRUE(parse_shape(f->second, &spheres)) << f->first << ":\n" << f->second;
        std::vector<ShpSphere> built = shp_spheres((ShpFile)i);
        ASSERT_EQ(built.size(), spheres.size()) << f->first;
        for (size_t k = 0; k < spheres.size(); k++) {
            const Sphere &s = spheres[k];
            const float got[7] = {s.c[0], s.c[1], s.c[2], s.radius, s.mu, s.kp, s.kd};
            const float want[7] = {built[k].c[0], built[k].c[1], built[k].c[2], built[k].radius,
                                   built[k].mu,   built[k].kp,   built[k].kd};
            for (int n = 0; n < 7; n++) EXPECT_NEAR(want[n], got[n], 1e-4) << f->first << " sphere " << k;
            EXPECT_GT(s.radius, 0.05f) << f->first << " sphere " << k;
            EXPECT_TRUE(s.mu >= 0.3f && s.mu <= 0.8f) << f->first << " sphere " << k;
            EXPECT_TRUE(s.kp >= 5000 && s.kp <= 20000) << f->first << " sphere " << k;
            EXPECT_TRUE(s.kd >= 200 && s.kd <= 1000) << f->first << " sphere " << k;
        }
    }
}

// Standing on its wheels at the initial pose, the bike touches the ground
// only with its tyres: every other sphere stays above y = 0.5 and outside
// both tyres, while the wheel spheres fill the tyre out to its outer radius.
TEST(MakeShapes, AtRestOnlyTheTyresComeNearTheGround) {
    static const float front_axle[3] = {0, 1.09f, 1.11f}, rear_axle[3] = {0, 1.04f, 6.0f};
    static const struct {
        const char *file;
        float body[3];
        float ring;   // 0 for a body other than a wheel
    } bodies[] = {
        {"@generic_frame.shp", {0, 1.98f, 3.6f}, 0},      {"@generic_fork_upper.shp", {0, 2.9f, 2.16f}, 0},
        {"@generic_fork_lower.shp", {0, 1.77f, 1.59f}, 0}, {"@generic_swingarm.shp", {0, 1.34f, 4.99f}, 0},
        {"@front_wheel.shp", {0, 1.09f, 1.11f}, 0.8333333f}, {"@rear_wheel.shp", {0, 1.04f, 6.0f}, 0.75f},
        {"@generic_rider.shp", {0, 4.5f, 4.12f}, 0},
    };
    const std::map<std::string, std::string> &files = shipped_shapes();
    for (const auto &b : bodies) {
        std::vector<Sphere> spheres;
        ASSERT_TRUE(parse_shape(files.at(b.file + 1), &spheres)) << b.file;
        float reach = 0;
        for (const Sphere &s : spheres) {
            float p[3] = {s.c[0] + b.body[0], s.c[1] + b.body[1], s.c[2] + b.body[2]};
            if (b.ring > 0) {
                EXPECT_EQ(0.0f, s.c[0]) << b.file;
                EXPECT_NEAR(b.ring, std::hypot(s.c[1], s.c[2]), 1e-3) << b.file;
                reach = std::fmax(reach, std::hypot(s.c[1], s.c[2]) + s.radius);
                continue;
            }
            EXPECT_GE(p[1] - s.radius, 0.5f) << b.file << " sphere at y " << p[1];
            EXPECT_GE(outside_tyre(p, front_axle, 0.8333333f), s.radius) << b.file << " sphere at z " << p[2];
            EXPECT_GE(outside_tyre(p, rear_axle, 0.75f), s.radius) << b.file << " sphere at z " << p[2];
        }
        if (b.ring > 0) {
            EXPECT_NEAR(b.ring + 0.3333333f, reach, 1e-3) << b.file;
        }
    }
}
