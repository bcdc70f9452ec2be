#pragma once
// The window's pictures, drawn at the size they are shown at, so they stay
// crisp at every DPI. The caller owns the bitmap.
#include <windows.h>

#include "support/language.h"
#include "window/window_layout.h"

// The banner's caption is in language.
HBITMAP DrawArtwork(Artwork artwork, int width, int height, Language language);
