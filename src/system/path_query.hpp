#pragma once
#include "system/text.hpp"

namespace n_zorbel::n_system {

enum class t_PathKind { Missing, File, Folder };

// What a path names, following links. "Not found" answers give Missing; any
// other failure raises t_ErrorException with the converted error.
t_PathKind QueryPath(const t_String& path);

// Whether `path` itself is a symbolic link (Windows: a reparse point), not
// following it; false when it cannot be asked.
bool IsLink(const t_String& path) noexcept;

}  // namespace n_zorbel::n_system
