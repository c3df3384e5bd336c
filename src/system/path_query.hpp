#pragma once
#include "system/text.hpp"

namespace n_zorbel::n_system {

enum class t_PathKind { Missing, File, Folder };

// What a path names, following links. "Not found" answers give Missing; any
// other failure raises t_ErrorException with the converted error.
t_PathKind QueryPath(const t_String& path);

}  // namespace n_zorbel::n_system
