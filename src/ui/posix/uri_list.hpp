#pragma once
// The paths of a drop from a file manager: the text/uri-list the drag carries,
// read as bytes, so a file name that is not valid UTF-8 keeps its bytes.
#include <QByteArray>
#include <vector>

#include "system/text.hpp"

namespace n_zorbel::n_ui::n_posix {

// The local paths of the list's file: URIs, in the list's order. Comment
// lines, other schemes and files on other hosts are left out.
std::vector<t_String> LocalPathsFromUriList(const QByteArray& uriList);

}  // namespace n_zorbel::n_ui::n_posix
