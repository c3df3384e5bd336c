#pragma once
// The application icon: a frame of film with a beamed pair of notes on a
// warm picture, for people who cut music videos. Drawn afresh for every size
// so that its edges fall on whole pixels.
#include <vector>

#include "canvas.hpp"

namespace n_zorbel::n_art {

// The icon's drawing steps for a square of `size` pixels.
std::vector<t_Layer> IconLayers(int size);

t_Canvas DrawIcon(int size);

}  // namespace n_zorbel::n_art
