#pragma once
// iTunes' numeric genre (the `gnre` item AtomicParsley and older iTunes write for the standard
// genres) as the name players show for it.
#include "system/text.hpp"

namespace n_zorbel::n_tagging {

// The name of genre `number` (1 for Blues, 18 for Rock, as stored); empty for one no player
// names.
t_String GenreOfNumber(unsigned number);

}  // namespace n_zorbel::n_tagging
