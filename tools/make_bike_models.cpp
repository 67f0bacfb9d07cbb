// The default bike parts, wheels and starting gate. Parts are laid out in
// bike coordinates (the bike standing on y = 0, front wheel towards -z, +x
// the rider's right), then moved so that each lies around the rest position
// of the body that carries it.
#include "make_models.h"

#include <cmath>

static const float BIKE_PI = 3.14159265358979323846f;

// The tyres' outer radii.
static const float k_front_tire_outer = 0.8333333f + 0.3333333f;
static const float k_rear_tire_outer = 0.75f + 0.3333333f;
static const float k_x_axis[3] = {1, 0, 0}, k_y_axis[3] = {0, 1, 0};

// The steering axis (up along the fork) and the direction across it that
// points forward and up; the fork legs run parallel to the axis, a little
// ahead of it, through the front axle.
struct ForkAxes {
    float d[3], e[3];
    float leg_offset;   // from the axis to the legs, along e
};

static ForkAxes fork_axes() {
    ForkAxes f;
    v3_sub(f.d, k_fork_upper_pos, k_fork_lower_pos);
    v3_normalize(f.d);
    v3(f.e, 0, f.d[2], -f.d[1]);
    float to_axle[3];
    v3_sub(to_axle, k_front_axle, k_fork_upper_pos);
    f.leg_offset = v3_dot(to_axle, f.e);
    return f;
}

// The point of the left (side -1) or right (+1) fork leg at distance t along
// the axis from the steering head.
static void fork_leg_point(const ForkAxes &f, int side, float t, float out[3]) {
    v3_mad(out, k_fork_upper_pos, f.e, f.leg_offset);
    v3_mad(out, out, f.d, t);
    out[0] = side * k_fork_leg_x;
}

static float fork_axle_t(const ForkAxes &f) {
    float to_axle[3];
    v3_sub(to_axle, k_front_axle, k_fork_upper_pos);
    return v3_dot(to_axle, f.d);
}

static MeshModel bike_part(MeshPiece piece, const float body_pos[3]) {
    mesh_translate(&piece, -body_pos[0], -body_pos[1], -body_pos[2]);
    MeshModel m;
    m.bones = 0;
    m.pieces.push_back(piece);
    return m;
}

static void tube(MeshPiece *m, const float a[3], const float b[3], float r0, float r1, int segs, bool caps,
                 UvRect uv) {
    float d[3], side[3] = {1, 0, 0};
    v3_sub(d, b, a);
    v3_normalize(d);
    if (std::fabs(d[0]) > 0.9f) v3(side, 0, 1, 0);
    mesh_tube(m, a, b, side, r0, r0, r1, r1, segs, 0, caps, uv);
}

// A tube along x from x0 to x1 through (y, z).
static void x_tube(MeshPiece *m, float x0, float x1, float y, float z, float r, int segs, UvRect uv) {
    float a[3] = {x0, y, z}, b[3] = {x1, y, z};
    mesh_tube(m, a, b, k_y_axis, r, r, r, r, segs, 0, true, uv);
}

static void box(MeshPiece *m, float cx, float cy, float cz, float hx, float hy, float hz, UvRect uv) {
    float c[3] = {cx, cy, cz}, h[3] = {hx, hy, hz};
    mesh_box(m, c, h, uv);
}

// A box tilted about the x axis: its length (z) rises by `rise` radians.
static void tilted_box(MeshPiece *m, float cx, float cy, float cz, float hx, float hy, float hz, float rise,
                       UvRect uv) {
    float c[3] = {cx, cy, cz}, h[3] = {hx, hy, hz};
    float ay[3] = {0, std::cos(rise), -std::sin(rise)};
    mesh_obox(m, c, k_x_axis, ay, h, uv);
}

// --- frame ------------------------------------------------------------------

MeshModel bike_frame_model(int detail) {
    int segs = detail ? 8 : 4, slices = detail ? 14 : 7, stacks = detail ? 8 : 4;
    MeshPiece m = mesh_piece(40, 0.6f, 0.6f, 0.6f);
    ForkAxes f = fork_axes();

    // Steering head.
    float h0[3], h1[3];
    v3_mad(h0, k_fork_upper_pos, f.d, -0.32f);
    v3_mad(h1, k_fork_upper_pos, f.d, 0.32f);
    tube(&m, h0, h1, 0.11f, 0.11f, segs, true, bike_uv(BR_FRAME));

    // The left half of the frame, mirrored to the right: main spar, cradle,
    // subframe, radiator, shroud and foot peg.
    size_t v0 = m.verts.size(), t0 = m.tris.size();
    static const float spar[][3] = {
        {-0.1f, 2.85f, 2.3f}, {-0.3f, 2.6f, 3.0f}, {-0.32f, 2.3f, 3.9f}, {-0.3f, 1.75f, 4.15f}, {-0.28f, 1.3f, 4.05f}};
    mesh_path(&m, spar, 5, 0.09f, segs, true, bike_uv(BR_FRAME));
    static const float cradle[][3] = {
        {-0.02f, 2.7f, 2.28f}, {-0.16f, 1.2f, 2.55f}, {-0.18f, 0.85f, 2.9f}, {-0.2f, 0.85f, 3.8f}, {-0.28f, 1.3f, 4.05f}};
    mesh_path(&m, cradle, 5, 0.06f, segs, false, bike_uv(BR_FRAME));
    static const float sub_upper[][3] = {{-0.3f, 2.35f, 3.95f}, {-0.24f, 2.92f, 5.65f}};
    static const float sub_lower[][3] = {{-0.29f, 1.75f, 4.2f}, {-0.24f, 2.82f, 5.45f}};
    mesh_path(&m, sub_upper, 2, 0.05f, segs, true, bike_uv(BR_FRAME));
    mesh_path(&m, sub_lower, 2, 0.045f, segs, true, bike_uv(BR_FRAME));
    box(&m, -0.33f, 2.42f, 2.72f, 0.07f, 0.3f, 0.28f, bike_uv(BR_RADIATOR));
    {
        float c[3] = {-0.43f, 2.68f, 2.78f}, ax[3] = {1, 0, 0.3f}, h[3] = {0.025f, 0.3f, 0.42f};
        v3_normalize(ax);
        mesh_obox(&m, c, ax, k_y_axis, h, bike_uv(BR_GRAPHIC));
    }
    box(&m, -0.52f, 1.423f, 4.184f, 0.2f, 0.04f, 0.07f, bike_uv(BR_BLACK));
    mesh_mirror_x(&m, v0, t0);

    // Engine: crankcase, cylinder, head and the side covers.
    box(&m, 0, 1.4f, 3.35f, 0.26f, 0.32f, 0.42f, bike_uv(BR_ENGINE));
    {
        float c[3] = {0, 2.0f, 3.08f}, ay[3] = {0, 1, -0.25f}, h[3] = {0.22f, 0.32f, 0.22f};
        v3_normalize(ay);
        mesh_obox(&m, c, k_x_axis, ay, h, bike_uv(BR_ENGINE));
        float hc[3] = {0, 2.36f, 3.0f}, hh[3] = {0.25f, 0.09f, 0.26f};
        mesh_obox(&m, hc, k_x_axis, ay, hh, bike_uv(BR_ACCENT));
    }
    x_tube(&m, 0.2f, 0.31f, 1.42f, 3.42f, 0.22f, segs + 2, bike_uv(BR_ENGINE));
    x_tube(&m, -0.31f, -0.2f, 1.45f, 3.3f, 0.18f, segs + 2, bike_uv(BR_ENGINE));

    // Tank, seat and the side panels under it.
    {
        float c[3] = {0, 2.95f, 3.05f}, r[3] = {0.36f, 0.27f, 0.62f};
        mesh_ellipsoid(&m, c, r, slices, stacks, bike_uv(BR_PLASTIC));
        float a[3] = {0, 3.1f, 3.3f}, b[3] = {0, 3.16f, 5.75f};
        mesh_tube(&m, a, b, k_x_axis, 0.21f, 0.15f, 0.17f, 0.12f, segs + 2, 0, true, bike_uv(BR_SEAT));
    }
    tilted_box(&m, 0, 2.8f, 4.78f, 0.3f, 0.22f, 0.6f, 0.12f, bike_uv(BR_PLASTIC));
    tilted_box(&m, 0, 3.14f, 5.95f, 0.28f, 0.03f, 0.95f, 0.1f, bike_uv(BR_PLASTIC));

    // Exhaust: header round the right of the engine into the silencer.
    static const float header[][3] = {
        {0.05f, 2.32f, 2.8f}, {0.12f, 2.1f, 2.5f}, {0.3f, 1.55f, 2.65f}, {0.34f, 1.55f, 3.6f}, {0.33f, 1.95f, 4.25f}};
    mesh_path(&m, header, 5, 0.065f, segs, false, bike_uv(BR_EXHAUST));
    {
        float a[3] = {0.33f, 1.95f, 4.22f}, b[3] = {0.38f, 2.55f, 5.9f};
        tube(&m, a, b, 0.14f, 0.14f, segs + 2, true, bike_uv(BR_EXHAUST));
    }

    // Rear shock: spring and body.
    {
        float a[3] = {0, 2.45f, 4.05f}, b[3] = {0, 1.5f, 4.45f}, mid[3];
        v3_add(mid, a, b);
        v3(mid, mid[0] / 2, mid[1] / 2, mid[2] / 2);
        tube(&m, a, mid, 0.12f, 0.12f, segs, true, bike_uv(BR_BLACK));
        tube(&m, mid, b, 0.1f, 0.1f, segs, true, bike_uv(BR_ACCENT));
    }
    return bike_part(m, k_frame_pos);
}

// --- fork -------------------------------------------------------------------

MeshModel bike_fork_upper_model() {
    MeshPiece m = mesh_piece(48, 0.7f, 0.7f, 0.7f);
    ForkAxes f = fork_axes();
    // Triple clamps, between and around the legs.
    for (int k = 0; k < 2; k++) {
        float c[3], h[3] = {0.54f, k ? 0.06f : 0.08f, 0.2f};
        v3_mad(c, k_fork_upper_pos, f.d, k ? 0.42f : -0.38f);
        v3_mad(c, c, f.e, 0.06f);
        mesh_obox(&m, c, k_x_axis, f.d, h, bike_uv(BR_SWINGARM));
    }
    float s0[3], s1[3];
    v3_mad(s0, k_fork_upper_pos, f.d, -0.38f);
    v3_mad(s1, k_fork_upper_pos, f.d, 0.42f);
    tube(&m, s0, s1, 0.07f, 0.07f, 8, false, bike_uv(BR_SWINGARM));
    // Fork tubes, sliding into the lower legs.
    for (int side = -1; side <= 1; side += 2) {
        float a[3], b[3];
        fork_leg_point(f, side, 0.5f, a);
        fork_leg_point(f, side, -1.15f, b);
        tube(&m, a, b, 0.09f, 0.09f, 10, true, bike_uv(BR_FORK_TUBE));
    }
    // Handlebar on its risers, grips and levers.
    static const float bar[][3] = {{-1.22f, 4.06f, 2.93f}, {-0.85f, 4.02f, 2.88f}, {-0.45f, 3.86f, 2.7f},
                                   {0.45f, 3.86f, 2.7f},   {0.85f, 4.02f, 2.88f},  {1.22f, 4.06f, 2.93f}};
    mesh_path(&m, bar, 6, 0.04f, 8, true, bike_uv(BR_SWINGARM));
    box(&m, 0, 3.93f, 2.7f, 0.3f, 0.06f, 0.06f, bike_uv(BR_ACCENT));
    for (int side = -1; side <= 1; side += 2) {
        float a[3], b[3] = {side * 0.15f, 3.86f, 2.7f};
        v3_mad(a, k_fork_upper_pos, f.d, 0.46f);
        a[0] = side * 0.15f;
        tube(&m, a, b, 0.05f, 0.05f, 8, false, bike_uv(BR_SWINGARM));
        float g0[3] = {side * 0.85f, 4.025f, 2.885f}, g1[3] = {side * 1.24f, 4.062f, 2.932f};
        tube(&m, g0, g1, 0.065f, 0.065f, 8, true, bike_uv(BR_BLACK));
        box(&m, side * 0.98f, 4.0f, 2.72f, 0.2f, 0.02f, 0.035f, bike_uv(BR_BLACK));
    }
    return bike_part(m, k_fork_upper_pos);
}

MeshModel bike_fork_lower_model() {
    MeshPiece m = mesh_piece(40, 0.6f, 0.6f, 0.6f);
    ForkAxes f = fork_axes();
    float ta = fork_axle_t(f);
    for (int side = -1; side <= 1; side += 2) {
        float a[3], b[3];
        fork_leg_point(f, side, ta - 0.12f, a);
        fork_leg_point(f, side, -0.95f, b);
        tube(&m, a, b, 0.115f, 0.115f, 10, true, bike_uv(BR_BLACK));
        box(&m, side * k_fork_leg_x, k_front_axle[1], k_front_axle[2], 0.08f, 0.1f, 0.1f, bike_uv(BR_BLACK));
        // The leg guard in front of the leg.
        float c[3], h[3] = {0.09f, 0.42f, 0.03f};
        fork_leg_point(f, side, ta + 0.55f, c);
        v3_mad(c, c, f.e, 0.13f);
        mesh_obox(&m, c, k_x_axis, f.d, h, bike_uv(BR_PLASTIC));
    }
    x_tube(&m, -0.5f, 0.5f, k_front_axle[1], k_front_axle[2], 0.04f, 8, bike_uv(BR_SWINGARM));

    // Front fender: a curved strip over the tyre, with a top and an under side.
    const int steps = 10;
    const float r_out = k_front_tire_outer + 0.16f, r_in = r_out - 0.025f, hw = 0.22f;
    const float a0 = -0.8f, a1 = 1.05f;
    for (int k = 0; k < steps; k++) {
        float q0 = a0 + (a1 - a0) * k / steps, q1 = a0 + (a1 - a0) * (k + 1) / steps;
        float p[2][2][2][3];   // [step][side][outer, inner]
        for (int s = 0; s < 2; s++) {
            float q = s ? q1 : q0;
            for (int x = 0; x < 2; x++) {
                for (int o = 0; o < 2; o++) {
                    float r = o ? r_in : r_out;
                    v3(p[s][x][o], x ? hw : -hw, k_front_axle[1] + r * std::cos(q), k_front_axle[2] - r * std::sin(q));
                }
            }
        }
        UvRect uv = bike_uv(BR_PLASTIC);
        mesh_quad(&m, p[0][0][0], p[0][1][0], p[1][1][0], p[1][0][0], uv);
        mesh_quad(&m, p[0][1][1], p[0][0][1], p[1][0][1], p[1][1][1], uv);
    }
    return bike_part(m, k_fork_lower_pos);
}

// --- swingarm ---------------------------------------------------------------

MeshModel bike_swingarm_model() {
    MeshPiece m = mesh_piece(40, 0.6f, 0.6f, 0.6f);
    const float arm_x = 0.28f;
    for (int side = -1; side <= 1; side += 2) {
        float a[3] = {side * arm_x, k_swingarm_pivot[1], k_swingarm_pivot[2] + 0.05f};
        float b[3] = {side * arm_x, k_rear_axle[1], k_rear_axle[2] + 0.08f};
        mesh_tube(&m, a, b, k_x_axis, 0.07f, 0.17f, 0.05f, 0.1f, 8, BIKE_PI / 8, true, bike_uv(BR_SWINGARM));
        box(&m, side * arm_x, k_rear_axle[1], k_rear_axle[2], 0.06f, 0.09f, 0.13f, bike_uv(BR_BLACK));
    }
    x_tube(&m, -0.36f, 0.36f, k_swingarm_pivot[1], k_swingarm_pivot[2], 0.09f, 10, bike_uv(BR_SWINGARM));
    box(&m, 0, 1.47f, 4.55f, arm_x, 0.08f, 0.12f, bike_uv(BR_SWINGARM));
    x_tube(&m, -0.45f, 0.45f, k_rear_axle[1], k_rear_axle[2], 0.04f, 8, bike_uv(BR_SWINGARM));
    // The chain, from the engine sprocket to the wheel's, on the left.
    static const float top[][3] = {{-0.4f, 1.68f, 3.98f}, {-0.4f, 1.39f, 6.0f}};
    static const float bottom[][3] = {{-0.4f, 1.42f, 3.98f}, {-0.4f, 0.69f, 6.0f}};
    mesh_path(&m, top, 2, 0.028f, 4, false, bike_uv(BR_BLACK));
    mesh_path(&m, bottom, 2, 0.028f, 4, false, bike_uv(BR_BLACK));
    return bike_part(m, k_swingarm_pos);
}

// --- number plates ----------------------------------------------------------

MeshModel bike_side_plates_model() {
    MeshPiece m = mesh_piece(16, 0.3f, 0.3f, 0.3f);
    // Read from outside, front to back on the left and back to front on the
    // right; the rear edge rises with the side panel.
    const float x = 0.32f, zf = 4.3f, zr = 5.15f, yb = 2.58f, yt = 3.1f, lift = 0.1f;
    float lf0[3] = {-x, yb, zf}, lr0[3] = {-x, yb + lift, zr}, lr1[3] = {-x, yt + lift, zr}, lf1[3] = {-x, yt, zf};
    mesh_quad(&m, lf0, lr0, lr1, lf1, plate_uv());
    float rr0[3] = {x, yb + lift, zr}, rf0[3] = {x, yb, zf}, rf1[3] = {x, yt, zf}, rr1[3] = {x, yt + lift, zr};
    mesh_quad(&m, rr0, rf0, rf1, rr1, plate_uv());
    return bike_part(m, k_frame_pos);
}

MeshModel bike_front_plate_model() {
    MeshPiece m = mesh_piece(16, 0.3f, 0.3f, 0.3f);
    ForkAxes f = fork_axes();
    // Ahead of the clamps and tipped back with the fork; +x is on the
    // viewer's left, so the picture runs from +x to -x.
    float c[3], p[4][3];
    v3_mad(c, k_fork_upper_pos, f.d, 0.12f);
    v3_mad(c, c, f.e, f.leg_offset + 0.16f);
    const float hw = 0.42f, hh = 0.36f;
    const float sx[4] = {hw, -hw, -hw, hw}, sd[4] = {-hh, -hh, hh, hh};
    for (int k = 0; k < 4; k++) {
        v3_mad(p[k], c, f.d, sd[k]);
        p[k][0] = sx[k];
    }
    mesh_quad(&m, p[0], p[1], p[2], p[3], plate_uv());
    // The back of the plate shows the plate's plain corner.
    UvRect corner = plate_uv();
    corner.x1 = corner.x0 + 4;
    corner.y1 = corner.y0 + 4;
    for (int k = 0; k < 4; k++) v3_mad(p[k], p[k], f.e, -0.01f);
    mesh_quad(&m, p[1], p[0], p[3], p[2], corner);
    return bike_part(m, k_fork_upper_pos);
}

// --- wheels -----------------------------------------------------------------

MeshModel wheel_model(bool front) {
    MeshPiece m = mesh_piece(24, 0.4f, 0.4f, 0.4f);
    const float outer = front ? k_front_tire_outer : k_rear_tire_outer;
    const float rim = front ? 0.875f : 0.79f;       // 21 and 19 inch rims
    const float hw = front ? 0.17f : 0.21f;         // half the tyre's width
    const float body = outer - 0.05f;               // the knobs stand out to the outer radius
    const int segs = 32;

    const float tyre[][2] = {
        {rim - 0.02f, -hw * 0.75f}, {body - 0.12f, -hw},       {body - 0.03f, -hw * 0.85f}, {body, -hw * 0.5f},
        {body, hw * 0.5f},          {body - 0.03f, hw * 0.85f}, {body - 0.12f, hw},         {rim - 0.02f, hw * 0.75f},
    };
    mesh_lathe(&m, tyre, 8, 0, 0, segs, segs / 2, wheel_uv(WR_TREAD));
    // Two staggered rows of knobs.
    const int knobs = 36;
    for (int k = 0; k < knobs; k++) {
        float q = 2 * BIKE_PI * k / knobs, x = (k % 2 ? 0.45f : -0.45f) * hw;
        float radial[3] = {0, std::cos(q), std::sin(q)};
        float c[3] = {x, (body + 0.025f) * radial[1], (body + 0.025f) * radial[2]};
        float h[3] = {hw * 0.38f, 0.025f, 0.045f};
        mesh_obox(&m, c, k_x_axis, radial, h, wheel_uv(WR_TREAD));
    }
    const float rim_w = hw * 0.62f;
    const float rim_prof[][2] = {{rim - 0.07f, -rim_w}, {rim, -rim_w}, {rim, rim_w}, {rim - 0.07f, rim_w}};
    mesh_lathe(&m, rim_prof, 4, 0, 0, segs, 8, wheel_uv(WR_RIM));
    // Hub, spokes (a picture with see-through gaps on each side) and brake
    // disc; the rear wheel carries its sprocket on the left, the chain side.
    float hub0 = front ? -0.2f : -0.4f, hub1 = front ? 0.2f : 0.26f;
    x_tube(&m, hub0, hub1, 0, 0, 0.08f, 12, wheel_uv(WR_HUB));
    x_tube(&m, -0.15f, 0.15f, 0, 0, 0.15f, 12, wheel_uv(WR_HUB));
    mesh_disc(&m, -0.07f, 0, 0, rim - 0.05f, -1, segs, wheel_uv(WR_SPOKES));
    mesh_disc(&m, 0.07f, 0, 0, rim - 0.05f, 1, segs, wheel_uv(WR_SPOKES));
    float disc_x = front ? -0.23f : 0.23f, disc_r = front ? 0.44f : 0.36f;
    mesh_disc(&m, disc_x - 0.01f, 0, 0, disc_r, -1, segs, wheel_uv(WR_DISC));
    mesh_disc(&m, disc_x + 0.01f, 0, 0, disc_r, 1, segs, wheel_uv(WR_DISC));
    if (!front) {
        mesh_disc(&m, -0.41f, 0, 0, 0.36f, -1, segs, wheel_uv(WR_SPROCKET));
        mesh_disc(&m, -0.39f, 0, 0, 0.36f, 1, segs, wheel_uv(WR_SPROCKET));
    }
    MeshModel model;
    model.bones = 0;
    model.pieces.push_back(m);
    return model;
}

// --- starting gate ----------------------------------------------------------

// One slot's gate: the drop plate hinged on the ground across the slot, with
// its hinge posts and the bar along its free edge. The model is the moving
// part: it lies flat forward when dropped, and the race tips it up about the
// hinge (its x axis) while the gate is raised.
MeshModel startgate_model() {
    MeshPiece m = mesh_piece(20, 0.4f, 0.4f, 0.4f);
    const float hw = 1.6f, depth = 1.7f;
    box(&m, 0, 0.04f, -depth / 2, hw, 0.04f, depth / 2, gate_uv(0));
    x_tube(&m, -hw - 0.1f, hw + 0.1f, 0.08f, 0, 0.08f, 10, gate_uv(1));
    x_tube(&m, -hw, hw, 0.1f, -depth, 0.07f, 10, gate_uv(1));
    for (int side = -1; side <= 1; side += 2) {
        box(&m, side * (hw + 0.2f), 0.16f, 0, 0.1f, 0.16f, 0.16f, gate_uv(1));
        box(&m, side * (hw - 0.05f), 0.12f, -depth / 2, 0.05f, 0.05f, depth / 2, gate_uv(1));
    }
    MeshModel model;
    model.bones = 0;
    model.pieces.push_back(m);
    return model;
}
