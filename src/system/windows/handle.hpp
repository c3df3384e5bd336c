#pragma once
// The owners of Windows kernel handles. Files answer INVALID_HANDLE_VALUE for
// none, the other kernel objects (mappings, processes, mutexes) null; both
// go with CloseHandle.
#include <windows.h>

#include "system/owned_handle.hpp"

namespace n_zorbel::n_system::n_detail {

template <HANDLE (*EmptyHandle)()>
struct t_HandleTraits {
  using t_Value = HANDLE;
  static HANDLE Empty() noexcept { return EmptyHandle(); }
  static bool Release(HANDLE handle) noexcept { return ::CloseHandle(handle) != FALSE; }
};

inline HANDLE InvalidHandle() noexcept { return INVALID_HANDLE_VALUE; }
inline HANDLE NullHandle() noexcept { return nullptr; }

using t_FileHandle = t_OwnedHandle<t_HandleTraits<InvalidHandle>>;
using t_Handle = t_OwnedHandle<t_HandleTraits<NullHandle>>;

}  // namespace n_zorbel::n_system::n_detail
