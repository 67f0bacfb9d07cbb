// The bike catalogue: every model's fixed parameters, compiled in, and the
// name lookup that bike_create uses with its fallback.
//
// Owns: the catalogue rows, filled once on first use from the compact model
// table below plus the values all models share.
// Never: changes a row after filling; allocates; knows about bodies, joints
// or loaded files (the names are only text here).
#include "bike/catalogue.h"

#include <cstring>

#include "core/console.h"

// ---------------------------------------------------------------------------
// Torque tables, ft lbf at 0, 500 ... 24500 rpm.
//
// Four engines are measured: crf450(2013) (450 four-stroke, cut-off 12000 at
// its redline), yz250f(2013) (250 four-stroke, cut-off 14000, 750 above its
// 13250 redline), cr250(2007) (250 two-stroke, cut-off 10500 at its redline)
// and rs50yz (cut-off 13500, 750 above its 12750 redline). Every other model
// is derived from the template of its class:
//
//   - the cut-off keeps the template's offset above the model's redline, on
//     the 500 rpm grid (rounded up): 450s and both 350s 12000, 250
//     two-strokes 10500, 250 four-strokes 14000, 125s 13000 (rm125, redline
//     13750: 14000);
//   - below the cut-off, entry i reads the template at index
//     i * template_cutoff / model_cutoff (linear between entries), so the
//     curve keeps its shape over the model's rev range, times the model's
//     peak factor, rounded to 4 decimals;
//   - the cut-off entry is exactly 0; above it the template's negative
//     entries follow on from its own cut-off, times the class's tail factor
//     (1, or 0.58 for the 125s), extended linearly past the table's end;
//   - the closed-throttle table is the template's.
//
// Peak factors, different for every model of a class so that each pulls a
// little differently: 450s 0.96 to 1.03 by make and year (older slightly
// weaker), the 350s 0.88 (2013) and 0.86 (2011) of the 450; 250 two-strokes
// 0.98 to 1.03; 250 four-strokes 0.935 (2007) to 1.03 (250sxf(2013)); the
// 125s 0.56 (rm125, which revs highest) to 0.60 of cr250(2007), with a tail of
// 0.58, revving higher through the stretched curve.
// ---------------------------------------------------------------------------

// Engine braking of the four-strokes (crf450(2013) and yz250f(2013)).
static const float CLOSED_4T[] = {
    2, 2, 1, 0, -1, -1, -2, -2, -3, -3,
    -4, -4, -5, -5, -6, -6, -7, -7, -8, -8,
    -9, -9, -10, -10, -11, -11, -12, -12, -13, -13,
    -14, -14, -15, -15, -16, -16, -17, -17, -18, -18,
    -19, -19, -20, -20, -21, -21, -22, -22, -23, -23,
};
static_assert(sizeof CLOSED_4T == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
// Engine braking of the 250 and 125 two-strokes (cr250(2007)).
static const float CLOSED_2T[] = {
    2, 2, 1, 0, -1, -1.2f, -1.4f, -1.6f, -1.8f, -2,
    -2.25f, -2.5f, -2.75f, -3, -3.33f, -3.67f, -4, -5, -6, -7,
    -8, -9, -10, -10, -11, -11, -12, -12, -13, -13,
    -14, -14, -15, -15, -16, -16, -17, -17, -18, -18,
    -19, -19, -20, -20, -21, -21, -22, -22, -23, -23,
};
static_assert(sizeof CLOSED_2T == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
// Engine braking of the 50s: half the two-stroke's from the fifth entry.
static const float CLOSED_50[] = {
    2, 2, 1, 0, -0.5f, -0.6f, -0.7f, -0.8f, -0.9f, -1,
    -1.125f, -1.25f, -1.375f, -1.5f, -1.665f, -1.835f, -2, -2.5f, -3, -3.5f,
    -4, -4.5f, -5, -5, -5.5f, -5.5f, -6, -6, -6.5f, -6.5f,
    -7, -7, -7.5f, -7.5f, -8, -8, -8.5f, -8.5f, -9, -9,
    -9.5f, -9.5f, -10, -10, -10.5f, -10.5f, -11, -11, -11.5f, -11.5f,
};
static_assert(sizeof CLOSED_50 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");

static const float OPEN_CRF450_2013[] = {
    5, 5, 5, 5, 5, 8, 11, 14.1f, 22.2f, 22.5f,
    25.8f, 29.3f, 30.2f, 30.7f, 31, 30.9f, 30.1f, 29.3f, 27.2f, 25.6f,
    24.2f, 21.9f, 18.8f, 14.4f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_CRF450_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_YZ250F_2013[] = {
    5, 5, 5, 5, 5, 6.4f, 7.9f, 9.4f, 10.8f, 11.5f,
    12.49f, 13.62f, 16.13f, 17.79f, 18.25f, 18.55f, 18.68f, 18.65f, 17.99f, 17.52f,
    16.96f, 16.23f, 16.17f, 15.47f, 15.01f, 13.55f, 12.62f, 12, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_YZ250F_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_CR250_2007[] = {
    5, 5, 5, 5, 7.5f, 12.5f, 17.507f, 20.5583f, 22.4528f, 21.8254f,
    25.7354f, 28.0749f, 28.624f, 30.139f, 31.5877f, 32.8432f, 30.7905f, 27.8671f, 22.9926f, 17.0279f,
    9.4013f, 0, -10, -10.5f, -11, -11.5f, -12, -12.5f, -13, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_CR250_2007 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RS50[] = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1.1008f, 1.9099f, 1.7507f, 2.02f, 2.1008f, 2.3109f, 2.823f, 3.5838f, 4.1433f, 4.3123f,
    3.729f, 3.6014f, 3.772f, 3.5623f, 2.6698f, 1.6807f, 0.808f, 0, -0.5f, -0.5f,
    -1, -1, -1.5f, -1.5f, -2, -2, -2.5f, -2.5f, -3, -3,
    -3.5f, -3.5f, -4, -4, -4.5f, -4.5f, -5, -5, -5.5f, -5.5f,
};
static_assert(sizeof OPEN_RS50 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");

// Derived tables (see the rules above).
static const float OPEN_KX450F_2013[] = {
    5.1f, 5.1f, 5.1f, 5.1f, 5.1f, 8.16f, 11.22f, 14.382f, 22.644f, 22.95f,
    26.316f, 29.886f, 30.804f, 31.314f, 31.62f, 31.518f, 30.702f, 29.886f, 27.744f, 26.112f,
    24.684f, 22.338f, 19.176f, 14.688f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_KX450F_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RMZ450_2013[] = {
    4.9f, 4.9f, 4.9f, 4.9f, 4.9f, 7.84f, 10.78f, 13.818f, 21.756f, 22.05f,
    25.284f, 28.714f, 29.596f, 30.086f, 30.38f, 30.282f, 29.498f, 28.714f, 26.656f, 25.088f,
    23.716f, 21.462f, 18.424f, 14.112f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_RMZ450_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_YZ450F_2013[] = {
    5.05f, 5.05f, 5.05f, 5.05f, 5.05f, 8.08f, 11.11f, 14.241f, 22.422f, 22.725f,
    26.058f, 29.593f, 30.502f, 31.007f, 31.31f, 31.209f, 30.401f, 29.593f, 27.472f, 25.856f,
    24.442f, 22.119f, 18.988f, 14.544f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_YZ450F_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_SXF450_2013[] = {
    5.15f, 5.15f, 5.15f, 5.15f, 5.15f, 8.24f, 11.33f, 14.523f, 22.866f, 23.175f,
    26.574f, 30.179f, 31.106f, 31.621f, 31.93f, 31.827f, 31.003f, 30.179f, 28.016f, 26.368f,
    24.926f, 22.557f, 19.364f, 14.832f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_SXF450_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_SXF350_2013[] = {
    4.4f, 4.4f, 4.4f, 4.4f, 4.4f, 7.04f, 9.68f, 12.408f, 19.536f, 19.8f,
    22.704f, 25.784f, 26.576f, 27.016f, 27.28f, 27.192f, 26.488f, 25.784f, 23.936f, 22.528f,
    21.296f, 19.272f, 16.544f, 12.672f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_SXF350_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_CRF450_2011[] = {
    4.85f, 4.85f, 4.85f, 4.85f, 4.85f, 7.76f, 10.67f, 13.677f, 21.534f, 21.825f,
    25.026f, 28.421f, 29.294f, 29.779f, 30.07f, 29.973f, 29.197f, 28.421f, 26.384f, 24.832f,
    23.474f, 21.243f, 18.236f, 13.968f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_CRF450_2011 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_KX450F_2011[] = {
    4.95f, 4.95f, 4.95f, 4.95f, 4.95f, 7.92f, 10.89f, 13.959f, 21.978f, 22.275f,
    25.542f, 29.007f, 29.898f, 30.393f, 30.69f, 30.591f, 29.799f, 29.007f, 26.928f, 25.344f,
    23.958f, 21.681f, 18.612f, 14.256f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_KX450F_2011 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RMZ450_2011[] = {
    4.8f, 4.8f, 4.8f, 4.8f, 4.8f, 7.68f, 10.56f, 13.536f, 21.312f, 21.6f,
    24.768f, 28.128f, 28.992f, 29.472f, 29.76f, 29.664f, 28.896f, 28.128f, 26.112f, 24.576f,
    23.232f, 21.024f, 18.048f, 13.824f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_RMZ450_2011 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_YZ450F_2011[] = {
    4.875f, 4.875f, 4.875f, 4.875f, 4.875f, 7.8f, 10.725f, 13.7475f, 21.645f, 21.9375f,
    25.155f, 28.5675f, 29.445f, 29.9325f, 30.225f, 30.1275f, 29.3475f, 28.5675f, 26.52f, 24.96f,
    23.595f, 21.3525f, 18.33f, 14.04f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_YZ450F_2011 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_SXF450_2011[] = {
    4.975f, 4.975f, 4.975f, 4.975f, 4.975f, 7.96f, 10.945f, 14.0295f, 22.089f, 22.3875f,
    25.671f, 29.1535f, 30.049f, 30.5465f, 30.845f, 30.7455f, 29.9495f, 29.1535f, 27.064f, 25.472f,
    24.079f, 21.7905f, 18.706f, 14.328f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_SXF450_2011 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_SXF350_2011[] = {
    4.3f, 4.3f, 4.3f, 4.3f, 4.3f, 6.88f, 9.46f, 12.126f, 19.092f, 19.35f,
    22.188f, 25.198f, 25.972f, 26.402f, 26.66f, 26.574f, 25.886f, 25.198f, 23.392f, 22.016f,
    20.812f, 18.834f, 16.168f, 12.384f, 0, -10, -11, -12, -13, -14,
    -15, -16, -17, -18, -19, -20, -21, -22, -23, -24,
    -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};
static_assert(sizeof OPEN_SXF350_2011 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_SX250_2012[] = {
    5.15f, 5.15f, 5.15f, 5.15f, 7.725f, 12.875f, 18.0322f, 21.175f, 23.1264f, 22.4802f,
    26.5075f, 28.9171f, 29.4827f, 31.0432f, 32.5353f, 33.8285f, 31.7142f, 28.7031f, 23.6824f, 17.5387f,
    9.6833f, 0, -10, -10.5f, -11, -11.5f, -12, -12.5f, -13, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_SX250_2012 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_KX250_2006[] = {
    4.9f, 4.9f, 4.9f, 4.9f, 7.35f, 12.25f, 17.1569f, 20.1471f, 22.0037f, 21.3889f,
    25.2207f, 27.5134f, 28.0515f, 29.5362f, 30.9559f, 32.1863f, 30.1747f, 27.3098f, 22.5327f, 16.6873f,
    9.2133f, 0, -10, -10.5f, -11, -11.5f, -12, -12.5f, -13, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_KX250_2006 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RM250_2008[] = {
    4.95f, 4.95f, 4.95f, 4.95f, 7.425f, 12.375f, 17.3319f, 20.3527f, 22.2283f, 21.6071f,
    25.478f, 27.7942f, 28.3378f, 29.8376f, 31.2718f, 32.5148f, 30.4826f, 27.5884f, 22.7627f, 16.8576f,
    9.3073f, 0, -10, -10.5f, -11, -11.5f, -12, -12.5f, -13, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_RM250_2008 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_YZ250_2012[] = {
    5.1f, 5.1f, 5.1f, 5.1f, 7.65f, 12.75f, 17.8571f, 20.9695f, 22.9019f, 22.2619f,
    26.2501f, 28.6364f, 29.1965f, 30.7418f, 32.2195f, 33.5001f, 31.4063f, 28.4244f, 23.4525f, 17.3685f,
    9.5893f, 0, -10, -10.5f, -11, -11.5f, -12, -12.5f, -13, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_YZ250_2012 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_CRF250_2013[] = {
    5.05f, 5.05f, 5.05f, 5.05f, 5.05f, 6.464f, 7.979f, 9.494f, 10.908f, 11.615f,
    12.6149f, 13.7562f, 16.2913f, 17.9679f, 18.4325f, 18.7355f, 18.8668f, 18.8365f, 18.1699f, 17.6952f,
    17.1296f, 16.3923f, 16.3317f, 15.6247f, 15.1601f, 13.6855f, 12.7462f, 12.12f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_CRF250_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_KX250F_2013[] = {
    5.1f, 5.1f, 5.1f, 5.1f, 5.1f, 6.528f, 8.058f, 9.588f, 11.016f, 11.73f,
    12.7398f, 13.8924f, 16.4526f, 18.1458f, 18.615f, 18.921f, 19.0536f, 19.023f, 18.3498f, 17.8704f,
    17.2992f, 16.5546f, 16.4934f, 15.7794f, 15.3102f, 13.821f, 12.8724f, 12.24f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_KX250F_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RMZ250_2013[] = {
    4.975f, 4.975f, 4.975f, 4.975f, 4.975f, 6.368f, 7.8605f, 9.353f, 10.746f, 11.4425f,
    12.4276f, 13.5519f, 16.0494f, 17.701f, 18.1588f, 18.4573f, 18.5866f, 18.5567f, 17.9f, 17.4324f,
    16.8752f, 16.1488f, 16.0892f, 15.3926f, 14.9349f, 13.4823f, 12.5569f, 11.94f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_RMZ250_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_SXF250_2013[] = {
    5.15f, 5.15f, 5.15f, 5.15f, 5.15f, 6.592f, 8.137f, 9.682f, 11.124f, 11.845f,
    12.8647f, 14.0286f, 16.6139f, 18.3237f, 18.7975f, 19.1065f, 19.2404f, 19.2095f, 18.5297f, 18.0456f,
    17.4688f, 16.7169f, 16.6551f, 15.9341f, 15.4603f, 13.9565f, 12.9986f, 12.36f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_SXF250_2013 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_CRF250_2009[] = {
    4.925f, 4.925f, 4.925f, 4.925f, 4.925f, 6.304f, 7.7815f, 9.259f, 10.638f, 11.3275f,
    12.3026f, 13.4157f, 15.888f, 17.5231f, 17.9763f, 18.2718f, 18.3998f, 18.3702f, 17.7201f, 17.2572f,
    16.7056f, 15.9865f, 15.9275f, 15.2379f, 14.7848f, 13.3468f, 12.4307f, 11.82f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_CRF250_2009 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_KX250F_2009[] = {
    4.95f, 4.95f, 4.95f, 4.95f, 4.95f, 6.336f, 7.821f, 9.306f, 10.692f, 11.385f,
    12.3651f, 13.4838f, 15.9687f, 17.6121f, 18.0675f, 18.3645f, 18.4932f, 18.4635f, 17.8101f, 17.3448f,
    16.7904f, 16.0677f, 16.0083f, 15.3153f, 14.8599f, 13.4145f, 12.4938f, 11.88f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_KX250F_2009 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RMZ250_2009[] = {
    4.875f, 4.875f, 4.875f, 4.875f, 4.875f, 6.24f, 7.7025f, 9.165f, 10.53f, 11.2125f,
    12.1777f, 13.2795f, 15.7267f, 17.3453f, 17.7937f, 18.0862f, 18.213f, 18.1837f, 17.5402f, 17.082f,
    16.536f, 15.8242f, 15.7658f, 15.0832f, 14.6347f, 13.2112f, 12.3045f, 11.7f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_RMZ250_2009 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_YZ250F_2009[] = {
    4.9f, 4.9f, 4.9f, 4.9f, 4.9f, 6.272f, 7.742f, 9.212f, 10.584f, 11.27f,
    12.2402f, 13.3476f, 15.8074f, 17.4342f, 17.885f, 18.179f, 18.3064f, 18.277f, 17.6302f, 17.1696f,
    16.6208f, 15.9054f, 15.8466f, 15.1606f, 14.7098f, 13.279f, 12.3676f, 11.76f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_YZ250F_2009 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_SXF250_2009[] = {
    5.025f, 5.025f, 5.025f, 5.025f, 5.025f, 6.432f, 7.9395f, 9.447f, 10.854f, 11.5575f,
    12.5524f, 13.6881f, 16.2106f, 17.8789f, 18.3412f, 18.6427f, 18.7734f, 18.7432f, 18.0799f, 17.6076f,
    17.0448f, 16.3111f, 16.2508f, 15.5473f, 15.085f, 13.6177f, 12.6831f, 12.06f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_SXF250_2009 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_CRF250_2008[] = {
    4.85f, 4.85f, 4.85f, 4.85f, 4.85f, 6.208f, 7.663f, 9.118f, 10.476f, 11.155f,
    12.1153f, 13.2114f, 15.6461f, 17.2563f, 17.7025f, 17.9935f, 18.1196f, 18.0905f, 17.4503f, 16.9944f,
    16.4512f, 15.7431f, 15.6849f, 15.0059f, 14.5597f, 13.1435f, 12.2414f, 11.64f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_CRF250_2008 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_KX250F_2008[] = {
    4.825f, 4.825f, 4.825f, 4.825f, 4.825f, 6.176f, 7.6235f, 9.071f, 10.422f, 11.0975f,
    12.0528f, 13.1433f, 15.5654f, 17.1673f, 17.6112f, 17.9007f, 18.0262f, 17.9972f, 17.3603f, 16.9068f,
    16.3664f, 15.6619f, 15.6041f, 14.9285f, 14.4846f, 13.0758f, 12.1783f, 11.58f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_KX250F_2008 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RMZ250_2008[] = {
    4.775f, 4.775f, 4.775f, 4.775f, 4.775f, 6.112f, 7.5445f, 8.977f, 10.314f, 10.9825f,
    11.9279f, 13.0071f, 15.4041f, 16.9894f, 17.4288f, 17.7153f, 17.8394f, 17.8107f, 17.1804f, 16.7316f,
    16.1968f, 15.4996f, 15.4424f, 14.7738f, 14.3345f, 12.9403f, 12.0521f, 11.46f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_RMZ250_2008 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_YZ250F_2008[] = {
    4.8f, 4.8f, 4.8f, 4.8f, 4.8f, 6.144f, 7.584f, 9.024f, 10.368f, 11.04f,
    11.9904f, 13.0752f, 15.4848f, 17.0784f, 17.52f, 17.808f, 17.9328f, 17.904f, 17.2704f, 16.8192f,
    16.2816f, 15.5808f, 15.5232f, 14.8512f, 14.4096f, 13.008f, 12.1152f, 11.52f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_YZ250F_2008 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_CRF250_2007[] = {
    4.75f, 4.75f, 4.75f, 4.75f, 4.75f, 6.08f, 7.505f, 8.93f, 10.26f, 10.925f,
    11.8655f, 12.939f, 15.3235f, 16.9005f, 17.3375f, 17.6225f, 17.746f, 17.7175f, 17.0905f, 16.644f,
    16.112f, 15.4185f, 15.3615f, 14.6965f, 14.2595f, 12.8725f, 11.989f, 11.4f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_CRF250_2007 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_KX250F_2007[] = {
    4.725f, 4.725f, 4.725f, 4.725f, 4.725f, 6.048f, 7.4655f, 8.883f, 10.206f, 10.8675f,
    11.803f, 12.8709f, 15.2428f, 16.8115f, 17.2462f, 17.5297f, 17.6526f, 17.6242f, 17.0005f, 16.5564f,
    16.0272f, 15.3373f, 15.2807f, 14.6191f, 14.1844f, 12.8048f, 11.9259f, 11.34f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_KX250F_2007 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RMZ250_2007[] = {
    4.7f, 4.7f, 4.7f, 4.7f, 4.7f, 6.016f, 7.426f, 8.836f, 10.152f, 10.81f,
    11.7406f, 12.8028f, 15.1622f, 16.7226f, 17.155f, 17.437f, 17.5592f, 17.531f, 16.9106f, 16.4688f,
    15.9424f, 15.2562f, 15.1998f, 14.5418f, 14.1094f, 12.737f, 11.8628f, 11.28f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_RMZ250_2007 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_YZ250F_2007[] = {
    4.675f, 4.675f, 4.675f, 4.675f, 4.675f, 5.984f, 7.3865f, 8.789f, 10.098f, 10.7525f,
    11.6782f, 12.7347f, 15.0816f, 16.6336f, 17.0638f, 17.3443f, 17.4658f, 17.4378f, 16.8207f, 16.3812f,
    15.8576f, 15.1751f, 15.119f, 14.4645f, 14.0343f, 12.6693f, 11.7997f, 11.22f, 0, -13.5f,
    -14, -14.5f, -15, -15.5f, -16, -16.5f, -17, -17.5f, -18, -18.5f,
    -19, -19.5f, -20, -20.5f, -21, -21.5f, -22, -22.5f, -23, -23.5f,
};
static_assert(sizeof OPEN_YZ250F_2007 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_CR125[] = {
    2.9f, 2.9f, 2.9f, 2.9f, 3.2346f, 4.4615f, 6.8038f, 9.1488f, 10.9709f, 12.2196f,
    12.9946f, 12.7007f, 14.2287f, 15.605f, 16.3814f, 16.7033f, 17.413f, 18.0946f, 18.713f, 18.6369f,
    17.5976f, 16.2281f, 13.9881f, 11.3398f, 8.1749f, 4.4041f, 0, -5.8f, -6.09f, -6.38f,
    -6.67f, -6.96f, -7.25f, -7.54f, -7.83f, -8.12f, -8.41f, -8.7f, -8.99f, -9.28f,
    -9.57f, -9.86f, -10.15f, -10.44f, -10.73f, -11.02f, -11.31f, -11.6f, -11.89f, -12.18f,
};
static_assert(sizeof OPEN_CR125 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_KX125[] = {
    2.85f, 2.85f, 2.85f, 2.85f, 3.1788f, 4.3846f, 6.6865f, 8.9911f, 10.7817f, 12.009f,
    12.7706f, 12.4817f, 13.9834f, 15.3359f, 16.099f, 16.4153f, 17.1128f, 17.7827f, 18.3903f, 18.3156f,
    17.2942f, 15.9483f, 13.747f, 11.1443f, 8.0339f, 4.3282f, 0, -5.8f, -6.09f, -6.38f,
    -6.67f, -6.96f, -7.25f, -7.54f, -7.83f, -8.12f, -8.41f, -8.7f, -8.99f, -9.28f,
    -9.57f, -9.86f, -10.15f, -10.44f, -10.73f, -11.02f, -11.31f, -11.6f, -11.89f, -12.18f,
};
static_assert(sizeof OPEN_KX125 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_RM125[] = {
    2.8f, 2.8f, 2.8f, 2.8f, 2.8f, 3.85f, 5.6f, 7.701f, 9.8039f, 11.0855f,
    12.0431f, 12.4857f, 12.2222f, 13.8644f, 15.0669f, 15.7988f, 16.0294f, 16.6657f, 17.2835f, 17.8649f,
    18.3922f, 17.5301f, 16.4241f, 14.9231f, 12.8759f, 10.3707f, 7.4002f, 3.9485f, 0, -5.8f,
    -6.09f, -6.38f, -6.67f, -6.96f, -7.25f, -7.54f, -7.83f, -8.12f, -8.41f, -8.7f,
    -8.99f, -9.28f, -9.57f, -9.86f, -10.15f, -10.44f, -10.73f, -11.02f, -11.31f, -11.6f,
};
static_assert(sizeof OPEN_RM125 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_YZ125[] = {
    2.95f, 2.95f, 2.95f, 2.95f, 3.2904f, 4.5385f, 6.9212f, 9.3065f, 11.16f, 12.4303f,
    13.2187f, 12.9197f, 14.4741f, 15.874f, 16.6639f, 16.9913f, 17.7133f, 18.4066f, 19.0356f, 18.9583f,
    17.901f, 16.5079f, 14.2293f, 11.5353f, 8.3158f, 4.4801f, 0, -5.8f, -6.09f, -6.38f,
    -6.67f, -6.96f, -7.25f, -7.54f, -7.83f, -8.12f, -8.41f, -8.7f, -8.99f, -9.28f,
    -9.57f, -9.86f, -10.15f, -10.44f, -10.73f, -11.02f, -11.31f, -11.6f, -11.89f, -12.18f,
};
static_assert(sizeof OPEN_YZ125 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");
static const float OPEN_SX125[] = {
    3, 3, 3, 3, 3.3462f, 4.6154f, 7.0385f, 9.4643f, 11.3492f, 12.641f,
    13.4427f, 13.1387f, 14.7194f, 16.1431f, 16.9463f, 17.2793f, 18.0135f, 18.7186f, 19.3582f, 19.2796f,
    18.2044f, 16.7877f, 14.4705f, 11.7309f, 8.4568f, 4.556f, 0, -5.8f, -6.09f, -6.38f,
    -6.67f, -6.96f, -7.25f, -7.54f, -7.83f, -8.12f, -8.41f, -8.7f, -8.99f, -9.28f,
    -9.57f, -9.86f, -10.15f, -10.44f, -10.73f, -11.02f, -11.31f, -11.6f, -11.89f, -12.18f,
};
static_assert(sizeof OPEN_SX125 == sizeof(float) * BIKE_TORQUE_POINTS, "one entry per 500 rpm");

// ---------------------------------------------------------------------------
// Values shared by a group of models: masses, suspension ranges and the
// engine's inertia, driveline and shift points.
// ---------------------------------------------------------------------------

struct ModelGroup {
    float frame_mass, fork_mass, swingarm_half_mass, rider_mass;
    float fork_spring_min, fork_spring_max, fork_rebound_base;
    float shock_spring_min, shock_spring_max, shock_rebound_base;
    float engine_inertia, driveline_stiffness, driveline_damping;
    float downshift_rpm, upshift_rpm, redline_rpm;
};

// The 450s and both 350s.
static const ModelGroup GROUP_450 = {
    4.735f, 0.703125f, 0.5025f, 5.46875f,
    376.3026f, 913.8778f, 32, 2486.285f, 5174.161f, 650,
    0.008850098f, 7500, 0.75f, 6000, 10500, 12000,
};
static const ModelGroup GROUP_250_2T = {
    4.365625f, 0.75375f, 0.589375f, 5.46875f,
    322.5451f, 860.1203f, 30, 2083.104f, 4770.979f, 600,
    0.006835938f, 7500, 0.75f, 6000, 9000, 10500,
};
static const ModelGroup GROUP_250F = {
    4.24f, 0.703125f, 0.504375f, 4.6875f,
    335.9845f, 873.5597f, 30, 2217.498f, 4905.374f, 600,
    0.004882812f, 7500, 0.75f, 8000, 12500, 13250,
};
static const ModelGroup GROUP_125 = {
    3.65375f, 0.7396875f, 0.541875f, 4.6875f,
    322.5451f, 860.1203f, 30, 1814.316f, 4502.192f, 600,
    0.004882812f, 7500, 0.75f, 9400, 12000, 12750,
};
static const ModelGroup GROUP_50 = {
    3.34125f, 0.7396875f, 0.541875f, 4.6875f,
    309.1057f, 846.6809f, 30, 1814.316f, 4502.192f, 600,
    0.001193576f, 1200, 1.0f, 9400, 12000, 12750,
};

// ---------------------------------------------------------------------------
// Gearing: primary ratio, standard countershaft and rear teeth, gears 1-6
// (-1: no such gear).
// ---------------------------------------------------------------------------

struct Gearing {
    float primary_ratio, front_sprocket, rear_sprocket;
    float gear_ratio[BIKE_GEARS];
};

static const Gearing GEAR_CRF450 = {2.73913f, 13, 48, {1.8f, 1.470588f, 1.235294f, 1.05f, 0.9090909f, -1}};
static const Gearing GEAR_KX450F = {2.727273f, 13, 50, {1.75f, 1.411765f, 1.1875f, 1.0f, 0.875f, -1}};
static const Gearing GEAR_RMZ450 = {2.625f, 13, 50, {1.8f, 1.470588f, 1.235294f, 1.05f, 0.9090909f, -1}};
static const Gearing GEAR_YZ450F = {2.652174f, 13, 48, {1.928571f, 1.533333f, 1.277778f, 1.090909f, 0.952381f, -1}};
static const Gearing GEAR_450SXF_2013 = {2.375f, 14, 50, {2.0f, 1.666667f, 1.4f, 1.181818f, 1.0f, -1}};
static const Gearing GEAR_450SXF_2011 = {2.551724f, 14, 52, {2.125f, 1.631579f, 1.3f, 1.086957f, 0.9230769f, -1}};
static const Gearing GEAR_350SXF = {3.041667f, 14, 50, {2.0f, 1.625f, 1.333333f, 1.142857f, 0.9545455f, -1}};
static const Gearing GEAR_250SX = {2.769231f, 13, 48, {2.0f, 1.6f, 1.333333f, 1.142857f, 0.9545455f, -1}};
static const Gearing GEAR_CR250 = {3.0f, 13, 49, {1.8f, 1.470588f, 1.210526f, 1.0f, 0.8695652f, -1}};
static const Gearing GEAR_KX250 = {3.0f, 13, 51, {1.8f, 1.4375f, 1.176471f, 1.0f, 0.8695652f, -1}};
static const Gearing GEAR_RM250 = {3.0f, 13, 50, {1.8f, 1.470588f, 1.210526f, 1.0f, 0.8695652f, -1}};
static const Gearing GEAR_YZ250 = {3.0f, 14, 50, {1.928571f, 1.533333f, 1.277778f, 1.090909f, 0.952381f, -1}};
static const Gearing GEAR_CRF250_2013 = {3.166667f, 13, 49, {2.357143f, 1.882353f, 1.55f, 1.333333f, 1.136364f, -1}};
static const Gearing GEAR_KX250F_2013 = {3.35f, 13, 50, {2.142857f, 1.75f, 1.444444f, 1.235294f, 1.045455f, -1}};
static const Gearing GEAR_RMZ250_2013 = {3.315789f, 13, 49, {2.153846f, 1.764706f, 1.470588f, 1.238095f, 1.090909f, -1}};
static const Gearing GEAR_YZ250F_2013 = {3.352941f, 13, 50, {2.142857f, 1.75f, 1.444444f, 1.222222f, 1.041667f, -1}};
static const Gearing GEAR_250SXF_2013 = {3.041667f, 13, 50, {2.461538f, 2.0f, 1.647059f, 1.368421f, 1.190476f, 1.090909f}};
static const Gearing GEAR_CRF250 = {3.166667f, 13, 51, {2.142857f, 1.75f, 1.45f, 1.227273f, 1.041667f, -1}};
static const Gearing GEAR_KX250F = {3.35f, 13, 48, {2.142857f, 1.785714f, 1.444444f, 1.2f, 1.052632f, -1}};
static const Gearing GEAR_RMZ250 = {3.210526f, 13, 48, {2.153846f, 1.764706f, 1.470588f, 1.238095f, 1.090909f, -1}};
static const Gearing GEAR_YZ250F = {3.352941f, 13, 48, {2.142857f, 1.75f, 1.45f, 1.227273f, 1.041667f, -1}};
static const Gearing GEAR_250SXF_2009 = {3.090909f, 13, 48, {2.461538f, 2.0f, 1.647059f, 1.368421f, 1.190476f, 1.090909f}};
static const Gearing GEAR_CR125 = {3.15f, 13, 52, {2.357143f, 1.866667f, 1.578947f, 1.294118f, 1.133333f, -1}};
static const Gearing GEAR_KX125 = {3.2f, 13, 51, {2.384615f, 1.857143f, 1.529412f, 1.294118f, 1.125f, 1.0f}};
static const Gearing GEAR_RM125 = {3.368421f, 12, 50, {2.071429f, 1.6875f, 1.444444f, 1.2f, 1.052632f, 0.95f}};
static const Gearing GEAR_YZ125 = {3.368421f, 13, 48, {2.384615f, 1.933333f, 1.588235f, 1.352941f, 1.2f, 1.095238f}};
static const Gearing GEAR_125SX = {3.043478f, 13, 50, {2.461538f, 2.0f, 1.647059f, 1.4f, 1.210526f, 1.090909f}};
static const Gearing GEAR_RS50 = {3.714286f, 12, 55, {3.090909f, 2.0f, 1.5f, 1.2f, 1.045455f, 0.9565217f}};

// ---------------------------------------------------------------------------
// The models, in search order.
// ---------------------------------------------------------------------------

// The seven files named after a model's stem: frame, fork upper, fork lower,
// swingarm, side plates and front plate models, then the bike texture.
enum { STEM_FILES = 7 };
#define STEM_FILES_TEX(stem, texture)                                           \
    {"@" stem "_frame.vx", "@" stem "_fork_upper.vx", "@" stem "_fork_lower.vx", \
     "@" stem "_swingarm.vx", "@" stem "_side_plates.vx",                       \
     "@" stem "_front_plate.vx", texture}
#define STEM_FILES(stem) STEM_FILES_TEX(stem, "@" stem ".png")

struct ModelRow {
    const char *name;
    const char *engine_class;
    const char *files[STEM_FILES];
    const ModelGroup *group;
    const Gearing *gearing;
    const float *torque_closed, *torque_open;
    float engine_inertia;     // 0: the group's
    float redline_rpm;        // 0: the group's
};

static const ModelRow MODEL_ROWS[BIKE_MODEL_COUNT] = {
    {"crf450(2013)", "450f", STEM_FILES("crf450v2013"), &GROUP_450, &GEAR_CRF450, CLOSED_4T, OPEN_CRF450_2013, 0, 0},
    {"kx450f(2013)", "450f", STEM_FILES("kx450f"), &GROUP_450, &GEAR_KX450F, CLOSED_4T, OPEN_KX450F_2013, 0, 0},
    {"rmz450(2013)", "450f", STEM_FILES("rmz450"), &GROUP_450, &GEAR_RMZ450, CLOSED_4T, OPEN_RMZ450_2013, 0, 0},
    {"yz450f(2013)", "450f", STEM_FILES("yz450f"), &GROUP_450, &GEAR_YZ450F, CLOSED_4T, OPEN_YZ450F_2013, 0, 0},
    {"450sxf(2013)", "450f", STEM_FILES("450sxfv2013"), &GROUP_450, &GEAR_450SXF_2013, CLOSED_4T, OPEN_SXF450_2013, 0, 0},
    {"350sxf(2013)", "250f", STEM_FILES("350sxfv2013"), &GROUP_450, &GEAR_350SXF, CLOSED_4T, OPEN_SXF350_2013, 0.006835938f, 0},
    {"crf450(2011)", "450f", STEM_FILES("crf450"), &GROUP_450, &GEAR_CRF450, CLOSED_4T, OPEN_CRF450_2011, 0, 0},
    {"kx450f(2011)", "450f", STEM_FILES("kx450f"), &GROUP_450, &GEAR_KX450F, CLOSED_4T, OPEN_KX450F_2011, 0, 0},
    {"rmz450(2011)", "450f", STEM_FILES("rmz450"), &GROUP_450, &GEAR_RMZ450, CLOSED_4T, OPEN_RMZ450_2011, 0, 0},
    {"yz450f(2011)", "450f", STEM_FILES("yz450f"), &GROUP_450, &GEAR_YZ450F, CLOSED_4T, OPEN_YZ450F_2011, 0, 0},
    {"450sxf(2011)", "450f", STEM_FILES("450sxf"), &GROUP_450, &GEAR_450SXF_2011, CLOSED_4T, OPEN_SXF450_2011, 0, 0},
    {"350sxf(2011)", "450f", STEM_FILES("350sxf"), &GROUP_450, &GEAR_350SXF, CLOSED_4T, OPEN_SXF350_2011, 0.006835938f, 0},
    {"250sx(2012)", "250", STEM_FILES("250sx"), &GROUP_250_2T, &GEAR_250SX, CLOSED_2T, OPEN_SX250_2012, 0, 0},
    {"cr250(2007)", "250", STEM_FILES("cr250"), &GROUP_250_2T, &GEAR_CR250, CLOSED_2T, OPEN_CR250_2007, 0, 0},
    {"kx250(2006)", "250", STEM_FILES("kx250"), &GROUP_250_2T, &GEAR_KX250, CLOSED_2T, OPEN_KX250_2006, 0, 0},
    {"rm250(2008)", "250", STEM_FILES("rm250"), &GROUP_250_2T, &GEAR_RM250, CLOSED_2T, OPEN_RM250_2008, 0, 0},
    {"yz250(2012)", "250", STEM_FILES("yz250"), &GROUP_250_2T, &GEAR_YZ250, CLOSED_2T, OPEN_YZ250_2012, 0, 0},
    {"crf250(2013)", "250f", STEM_FILES("crf250v2010"), &GROUP_250F, &GEAR_CRF250_2013, CLOSED_4T, OPEN_CRF250_2013, 0, 0},
    {"kx250f(2013)", "250f", STEM_FILES("kx250fv2013"), &GROUP_250F, &GEAR_KX250F_2013, CLOSED_4T, OPEN_KX250F_2013, 0, 0},
    {"rmz250(2013)", "250f", STEM_FILES("rmz250v2010"), &GROUP_250F, &GEAR_RMZ250_2013, CLOSED_4T, OPEN_RMZ250_2013, 0, 0},
    {"yz250f(2013)", "250f", STEM_FILES("yz250fv2010"), &GROUP_250F, &GEAR_YZ250F_2013, CLOSED_4T, OPEN_YZ250F_2013, 0, 0},
    {"250sxf(2013)", "250f", STEM_FILES("250sxfv2013"), &GROUP_250F, &GEAR_250SXF_2013, CLOSED_4T, OPEN_SXF250_2013, 0, 0},
    {"crf250(2009)", "250f", STEM_FILES("crf250"), &GROUP_250F, &GEAR_CRF250, CLOSED_4T, OPEN_CRF250_2009, 0, 0},
    {"kx250f(2009)", "250f", STEM_FILES("kx250f"), &GROUP_250F, &GEAR_KX250F, CLOSED_4T, OPEN_KX250F_2009, 0, 0},
    {"rmz250(2009)", "250f", STEM_FILES("rmz250"), &GROUP_250F, &GEAR_RMZ250, CLOSED_4T, OPEN_RMZ250_2009, 0, 0},
    {"yz250f(2009)", "250f", STEM_FILES("yz250f"), &GROUP_250F, &GEAR_YZ250F, CLOSED_4T, OPEN_YZ250F_2009, 0, 0},
    {"250sxf(2009)", "250f", STEM_FILES("250sxf"), &GROUP_250F, &GEAR_250SXF_2009, CLOSED_4T, OPEN_SXF250_2009, 0, 0},
    {"crf250(2008)", "250f", STEM_FILES("crf250"), &GROUP_250F, &GEAR_CRF250, CLOSED_4T, OPEN_CRF250_2008, 0, 0},
    {"kx250f(2008)", "250f", STEM_FILES("kx250f"), &GROUP_250F, &GEAR_KX250F, CLOSED_4T, OPEN_KX250F_2008, 0, 0},
    {"rmz250(2008)", "250f", STEM_FILES("rmz250"), &GROUP_250F, &GEAR_RMZ250, CLOSED_4T, OPEN_RMZ250_2008, 0, 0},
    {"yz250f(2008)", "250f", STEM_FILES("yz250f"), &GROUP_250F, &GEAR_YZ250F, CLOSED_4T, OPEN_YZ250F_2008, 0, 0},
    {"cr125", "125", STEM_FILES("cr125"), &GROUP_125, &GEAR_CR125, CLOSED_2T, OPEN_CR125, 0, 0},
    {"kx125", "125", STEM_FILES("kx125"), &GROUP_125, &GEAR_KX125, CLOSED_2T, OPEN_KX125, 0, 0},
    {"rm125", "125", STEM_FILES("rm125"), &GROUP_125, &GEAR_RM125, CLOSED_2T, OPEN_RM125, 0, 13750},
    {"yz125", "125", STEM_FILES("yz125"), &GROUP_125, &GEAR_YZ125, CLOSED_2T, OPEN_YZ125, 0, 0},
    {"125sx", "125", STEM_FILES("125sx"), &GROUP_125, &GEAR_125SX, CLOSED_2T, OPEN_SX125, 0, 0},
    {"crf250(2007)", "250f", STEM_FILES("crf250"), &GROUP_250F, &GEAR_CRF250, CLOSED_4T, OPEN_CRF250_2007, 0, 0},
    {"kx250f(2007)", "250f", STEM_FILES("kx250f"), &GROUP_250F, &GEAR_KX250F, CLOSED_4T, OPEN_KX250F_2007, 0, 0},
    {"rmz250(2007)", "250f", STEM_FILES("rmz250"), &GROUP_250F, &GEAR_RMZ250, CLOSED_4T, OPEN_RMZ250_2007, 0, 0},
    {"yz250f(2007)", "250f", STEM_FILES("yz250f"), &GROUP_250F, &GEAR_YZ250F, CLOSED_4T, OPEN_YZ250F_2007, 0, 0},
    {"yz250f_se(2006)", "250f", STEM_FILES_TEX("yz250f", "@yz250f_se.png"), &GROUP_250F, &GEAR_YZ250F, CLOSED_4T, OPEN_YZ250F_2007, 0, 0},
    {"rs50cr", "50", STEM_FILES("cr125"), &GROUP_50, &GEAR_RS50, CLOSED_50, OPEN_RS50, 0, 0},
    {"rs50kx", "50", STEM_FILES("kx125"), &GROUP_50, &GEAR_RS50, CLOSED_50, OPEN_RS50, 0, 0},
    {"rs50rm", "50", STEM_FILES("rm125"), &GROUP_50, &GEAR_RS50, CLOSED_50, OPEN_RS50, 0, 13750},
    {"rs50yz", "50", STEM_FILES("yz125"), &GROUP_50, &GEAR_RS50, CLOSED_50, OPEN_RS50, 0, 0},
};

#undef STEM_FILES
#undef STEM_FILES_TEX

// Where the drawn rider's limbs attach; the same for every model.
static const RiderPosePoints RIDER_POSE = {
    {-0.556f, 0.580375f, -0.654514f}, {0.556f, 0.580375f, -0.654514f},
    {-0.269f, -0.570887f, 0.670607f}, {0.269f, -0.570887f, 0.670607f},
    {0, -0.570887f, 0.670607f},
    {-1.097f, 1.145f, 0.753f}, {1.097f, 1.145f, 0.753f},
    {-0.6f, -0.557f, 0.584f}, {0.6f, -0.557f, 0.584f},
    {0, 0.808383f, -0.943369f},
    0.9f, 1.15f, 1.328f, 1.701f,
    nullptr,
};

static BikeModelInfo s_catalogue[BIKE_MODEL_COUNT];   // filled by catalogue_fill, then read-only

static void set3(float *v, float x, float y, float z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

// The geometry, suspension and rider values every model shares.
static void catalogue_shared(BikeModelInfo *m) {
    set3(m->front_wheel_pos, 0, 1.09f, 1.11f);
    m->front_tire_ring_radius = 0.8333333f;
    m->front_tire_section_radius = 0.3333333f;
    m->front_tire_mass = 0.40625f;
    m->front_hub_radius = 0.5f;
    m->front_hub_mass = 0.15625f;
    set3(m->rear_wheel_pos, 0, 1.04f, 6.0f);
    m->rear_tire_ring_radius = 0.75f;
    m->rear_tire_section_radius = 0.3333333f;
    m->rear_tire_mass = 0.46875f;
    m->rear_hub_radius = 0.5f;
    m->rear_hub_mass = 0.3125f;
    set3(m->frame_pos, 0, 1.98f, 3.6f);
    set3(m->frame_size, 0.8333333f, 1.6666666f, 1.6666666f);
    set3(m->fork_upper_pos, 0, 2.9f, 2.16f);
    set3(m->swingarm_pos, 0, 1.34f, 4.99f);
    set3(m->swingarm_pivot, 0, 1.6f, 4.08f);
    set3(m->fork_lower_pos, 0, 1.77f, 1.59f);
    m->fork_leg_spacing = 0.8333333f;
    m->fork_length = 3.0f;

    m->fork_preload_min = 0;
    m->fork_preload_max = 0.0833333f;
    m->fork_air_gap_min = 0.4166667f;
    m->fork_air_gap_max = 0.25f;
    m->fork_compression_base = 60;
    m->fork_travel = 1.0f;
    m->shock_preload_min = 0;
    m->shock_preload_max = 0.3333333f;
    m->shock_compression_base = 800;
    m->linkage_s1 = 0.2836516f;
    m->linkage_s2 = 0.4133858f;
    m->swingarm_max_angle = 0.5303041f;
    m->linkage_break = 0.75f;
    m->linkage_d0 = 0.3150392f;
    m->linkage_d1 = 0.4604790f;
    m->linkage_d2 = 0.6070490f;

    set3(m->rider_mount_dir, 0, 0.0833333f, 0.0833333f);
    set3(m->rider_anchor_pos, 0, 4.5f, 4.12f);
    m->rider_mount_min = -0.6666667f;
    m->rider_mount_max = 0.5f;
    m->pose = RIDER_POSE;

    m->files[BIKE_FILE_FRAME_SHAPE] = "@generic_frame.shp";
    m->files[BIKE_FILE_FORK_UPPER_SHAPE] = "@generic_fork_upper.shp";
    m->files[BIKE_FILE_FORK_LOWER_SHAPE] = "@generic_fork_lower.shp";
    m->files[BIKE_FILE_SWINGARM_SHAPE] = "@generic_swingarm.shp";
    m->files[BIKE_FILE_FRONT_WHEEL_SHAPE] = "@front_wheel.shp";
    m->files[BIKE_FILE_REAR_WHEEL_SHAPE] = "@rear_wheel.shp";
    m->files[BIKE_FILE_RIDER_SHAPE] = "@generic_rider.shp";
    m->files[BIKE_FILE_FRONT_WHEEL_MODEL] = "@front_wheel.vx";
    m->files[BIKE_FILE_REAR_WHEEL_MODEL] = "@rear_wheel.vx";
    m->files[BIKE_FILE_WHEEL_TEXTURE] = "@wheels.png";
    m->files[BIKE_FILE_RIDER_HEAD_MODEL] = "@rider_head.vx";
    m->files[BIKE_FILE_RIDER_HEAD_TEXTURE] = "@rider_head.png";
    m->files[BIKE_FILE_RIDER_BODY_MODEL] = "@rider_body.vx";
    m->files[BIKE_FILE_RIDER_BODY_FP_MODEL] = "@rider_body_fp.vx";
    m->files[BIKE_FILE_RIDER_BODY_TEXTURE] = "@rider_body.png";
    m->files[BIKE_FILE_RIDER_PLATE_MODEL] = "@rider_plate.vx";
}

static void catalogue_row(BikeModelInfo *m, const ModelRow *r) {
    const ModelGroup *g = r->group;
    const Gearing *gear = r->gearing;

    catalogue_shared(m);
    m->name = r->name;
    m->engine_class = r->engine_class;
    m->frame_mass = g->frame_mass;
    m->fork_mass = g->fork_mass;
    m->swingarm_half_mass = g->swingarm_half_mass;
    m->rider_mass = g->rider_mass;
    m->fork_spring_min = g->fork_spring_min;
    m->fork_spring_max = g->fork_spring_max;
    m->fork_rebound_base = g->fork_rebound_base;
    m->shock_spring_min = g->shock_spring_min;
    m->shock_spring_max = g->shock_spring_max;
    m->shock_rebound_base = g->shock_rebound_base;

    m->primary_ratio = gear->primary_ratio;
    m->front_sprocket = gear->front_sprocket;
    m->rear_sprocket = gear->rear_sprocket;
    memcpy(m->gear_ratio, gear->gear_ratio, sizeof m->gear_ratio);
    m->engine_inertia = r->engine_inertia > 0 ? r->engine_inertia : g->engine_inertia;
    m->driveline_stiffness = g->driveline_stiffness;
    m->driveline_damping = g->driveline_damping;
    memcpy(m->torque_closed, r->torque_closed, sizeof m->torque_closed);
    memcpy(m->torque_open, r->torque_open, sizeof m->torque_open);
    m->downshift_rpm = g->downshift_rpm;
    m->upshift_rpm = g->upshift_rpm;
    m->redline_rpm = r->redline_rpm > 0 ? r->redline_rpm : g->redline_rpm;

    m->files[BIKE_FILE_FRAME_MODEL] = r->files[0];
    m->files[BIKE_FILE_FORK_UPPER_MODEL] = r->files[1];
    m->files[BIKE_FILE_FORK_LOWER_MODEL] = r->files[2];
    m->files[BIKE_FILE_SWINGARM_MODEL] = r->files[3];
    m->files[BIKE_FILE_SIDE_PLATES_MODEL] = r->files[4];
    m->files[BIKE_FILE_FRONT_PLATE_MODEL] = r->files[5];
    m->files[BIKE_FILE_BIKE_TEXTURE] = r->files[6];
}

static bool catalogue_fill() {
    for (int i = 0; i < BIKE_MODEL_COUNT; i++) catalogue_row(&s_catalogue[i], &MODEL_ROWS[i]);
    return true;
}

const BikeModelInfo *bike_catalogue() {
    static const bool filled = catalogue_fill();
    (void)filled;
    return s_catalogue;
}

const BikeModelInfo *bike_info_lookup(const char *name) {
    if (!name) return nullptr;
    const BikeModelInfo *rows = bike_catalogue();
    for (int i = 0; i < BIKE_MODEL_COUNT; i++)
        if (strcmp(rows[i].name, name) == 0) return &rows[i];
    return nullptr;
}

// The first row whose name contains the text; none when no row does.
static const BikeModelInfo *catalogue_first_containing(const char *text) {
    const BikeModelInfo *rows = bike_catalogue();
    for (int i = 0; i < BIKE_MODEL_COUNT; i++)
        if (strstr(rows[i].name, text)) return &rows[i];
    return nullptr;
}

const BikeModelInfo *bike_info_choose(const char *name) {
    const BikeModelInfo *info = bike_info_lookup(name);
    if (info) return info;
    if (!name) name = "";
    info = catalogue_first_containing(strstr(name, "125") ? "125" : "250f");
    if (!info) info = &bike_catalogue()[0];
    console_message("bike info for '%.20s' not found using '%.20s' instead", name, info->name);
    return info;
}

float bike_info_cutoff_rpm(const BikeModelInfo *info) {
    if (!info) return 0;
    bool pulled = false;
    for (int i = 0; i < BIKE_TORQUE_POINTS; i++) {
        if (info->torque_open[i] > 0) pulled = true;
        else if (pulled) return i * 500.0f;
    }
    // Never crosses 0: the engine is limited only by the table's end.
    return (BIKE_TORQUE_POINTS - 1) * 500.0f;
}
