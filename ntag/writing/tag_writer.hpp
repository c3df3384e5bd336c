#pragma once
// Reading and writing the tags of one video, safe at every instant.
//
// Three ways to write, cheapest first:
//  - in place: the new ilst goes into the payload of a free box next to the old one, and
//    one header write of 8 bytes turns the old ilst (and what lies between) into free space;
//  - appended movie: when moov is the last box, a new moov goes after it inside a free box
//    that runs to the end of the file, and one header write turns the old moov into free space;
//  - rewrite: a complete copy in a temporary file beside the video, with moov where it was
//    and every absolute offset behind it moved, put in place of the video by one rename.
// Each state between two writes is a valid MP4 with either the old or the new tags.
#include <functional>
#include <string>
#include <vector>

#include "model/tag_list.hpp"
#include "platform/platform_file.hpp"

namespace n_zorbel::n_ntag {

enum class t_WritePath { NothingToDo, InPlace, AppendedMovie, Rewrite };

// The tags a video has now; empty when it has none. With `otherStores`, also the listing of
// what the video's other tag stores hold (see model/other_stores.hpp). Throws t_NtagError.
t_TagList ReadTags(const t_NativePath& video, std::vector<t_ListEntry>* otherStores = nullptr);

// Applies `edit` to the video's tags and writes the result, then reads it back and checks it.
// The entries of the other stores that mean a key the edit set or removed go with it; with
// `otherStores`, the listing of what those stores hold afterwards.
// Throws t_NtagError; the video is then byte for byte as it was.
t_WritePath WriteTags(const t_NativePath& video, const std::function<void(t_TagList&)>& edit,
                      std::vector<t_ListEntry>* otherStores = nullptr);

}  // namespace n_zorbel::n_ntag
