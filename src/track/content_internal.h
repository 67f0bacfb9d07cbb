// Between the content readers, the writers and the track loader.
#pragma once

#include <cstddef>

#include "track/content.h"

// Makes room for one more element in a growable array: 16 at first, then
// twice as many. False (array unchanged) when memory runs out, so the
// element being added is dropped.
bool content_grow(void **array, int *capacity, int count, size_t element);
// A malloc'd copy, or none for none (or when memory runs out).
char *content_copy(const char *text);
// A texture by a name from a file, with GL only and only inside the data.
TextureId content_texture(const char *name);
// Whether a number read from a file can be used.
bool content_finite(float v);
