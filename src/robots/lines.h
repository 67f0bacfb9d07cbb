// The riding lines robots learn and follow (still to come): for now only the
// point a fallen bike turns towards, which answers "no point".
#pragma once

struct BikeState;

// The riding-line point a few points ahead of the bike's frame; false when
// there is none.
bool line_target_point(const BikeState *bike, float out[3]);
