#pragma once
// The platform steps of RemoveTree. Each answers the system error of its
// call in Windows numbering (0 on success), so the portable removal applies
// one rule for which answers are excused. Internal to the system layer.
#include <cstdint>

#include "system/text.hpp"

namespace n_zorbel::n_system::n_detail {

// Deletes a file, or a link to a file (never its target).
std::uint32_t DeleteFileEntry(const t_String& path) noexcept;
// Removes a link to a folder (junction, symbolic link) without entering it.
std::uint32_t DeleteFolderLink(const t_String& path) noexcept;
// Removes an empty folder; `folder` ends with the separator.
std::uint32_t RemoveEmptyFolder(const t_String& folder) noexcept;

}  // namespace n_zorbel::n_system::n_detail
