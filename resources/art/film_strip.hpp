#pragma once
// The film-strip overlays that frame a landscape cover in the preview: a
// piece of film whose transparent window lets the picture through.
#include "canvas.hpp"

namespace n_zorbel::n_art {

// The two heights the preview uses: 200 (tall pictures) and 150 (wide ones);
// always 256 wide.
t_Canvas DrawFilmStrip(int height);

}  // namespace n_zorbel::n_art
