#pragma once
// The places besides the iTunes ilst where readers find a video's title, artist and the
// like: QuickTime text items straight in udta ("udta"), 3GPP asset boxes in udta ("3gpp"),
// and QuickTime Keys metadata with handler 'mdta' ("keys") in moov/meta, or in udta/meta as
// ffmpeg's use_metadata_tags leaves it until an edit moves it to moov/meta. ntag writes only
// ilst; an entry of these stores that means a key it sets or removes would keep showing the
// old value, so it goes. Entries with no such meaning keep their bytes.
#include <string>
#include <vector>

#include "model/movie.hpp"
#include "model/tag_list.hpp"

namespace n_zorbel::n_ntag {

// Removes every entry of the other stores that means one of `keys` (ntag's key names).
// True when anything was removed.
bool RemoveFromOtherStores(t_Movie& movie, const std::vector<std::string>& keys);

// Moves QuickTime Keys metadata out of udta/meta, where the iTunes tags belong, to moov/meta,
// where QuickTime keeps it, entries and numbering unchanged; udta is left without a meta. True
// when moved, false when udta/meta is no Keys store. Throws t_NtagError (LayoutRefused) when
// moov/meta is taken already. Expects the user data's meta boxes checked to be alike.
bool MoveKeysOutOfUserData(t_Movie& movie);

// The entries of the other stores, in file order, named "store:name": name is ntag's key
// where the entry means one, otherwise the entry's own name.
std::vector<t_ListEntry> OtherStoresListing(const t_Movie& movie);

}  // namespace n_zorbel::n_ntag
