#pragma once
// Every owner of a Windows handle or of memory the system hands out, in one
// place, all built on t_OwnedHandle: explicit construction only, no copies,
// one release policy. Internal to the system layer and the Windows code above
// it.
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include "system/owned_handle.hpp"

namespace n_zorbel::n_system::n_detail {

// `Free` answers true when the value is gone.
template <class T, T (*EmptyValue)(), bool (*Free)(T)>
struct t_WindowsTraits {
  using t_Value = T;
  static T Empty() noexcept { return EmptyValue(); }
  static bool Release(T value) noexcept { return Free(value); }
};

template <class T>
T Null() noexcept {
  return nullptr;
}
inline HANDLE InvalidHandle() noexcept { return INVALID_HANDLE_VALUE; }

inline bool CloseKernelHandle(HANDLE handle) noexcept { return ::CloseHandle(handle) != FALSE; }
inline bool UnmapView(void* view) noexcept { return ::UnmapViewOfFile(view) != FALSE; }
inline bool CloseSearch(HANDLE search) noexcept { return ::FindClose(search) != FALSE; }
inline bool FreeGlobal(HGLOBAL block) noexcept { return ::GlobalFree(block) == nullptr; }
template <class T>
bool FreeLocal(T* block) noexcept {
  return ::LocalFree(block) == nullptr;
}
inline bool FreeCoTask(PWSTR text) noexcept {
  ::CoTaskMemFree(text);
  return true;
}
// Window-system and GDI objects that fail to go leak at most until the process ends, and hold
// nothing of the user's: unlike a file, their failed release does not end the program.
inline bool DestroyMenuHandle(HMENU menu) noexcept {
  (void)::DestroyMenu(menu);
  return true;
}
inline bool DestroyIconHandle(HICON icon) noexcept {
  (void)::DestroyIcon(icon);
  return true;
}
inline bool DestroyWindowHandle(HWND window) noexcept {
  (void)::DestroyWindow(window);
  return true;
}
template <class T>
bool DeleteGdiObject(T object) noexcept {
  (void)::DeleteObject(object);
  return true;
}
inline bool DeleteMemoryDc(HDC dc) noexcept {
  (void)::DeleteDC(dc);
  return true;
}
inline bool ReleaseScreenDc(HDC dc) noexcept {
  (void)::ReleaseDC(nullptr, dc);
  return true;
}

// Kernel objects: files answer INVALID_HANDLE_VALUE for none, the others
// (mappings, processes, mutexes) null.
using t_FileHandle = t_OwnedHandle<t_WindowsTraits<HANDLE, InvalidHandle, CloseKernelHandle>>;
using t_Handle = t_OwnedHandle<t_WindowsTraits<HANDLE, Null<HANDLE>, CloseKernelHandle>>;
// A view of a file mapping (MapViewOfFile).
using t_MappedView = t_OwnedHandle<t_WindowsTraits<void*, Null<void*>, UnmapView>>;
// A FindFirstFileW search.
using t_FindHandle = t_OwnedHandle<t_WindowsTraits<HANDLE, InvalidHandle, CloseSearch>>;
// Blocks from GlobalAlloc, and from LocalAlloc (CommandLineToArgvW's array).
using t_GlobalMemory = t_OwnedHandle<t_WindowsTraits<HGLOBAL, Null<HGLOBAL>, FreeGlobal>>;
template <class T>
using t_LocalMemory = t_OwnedHandle<t_WindowsTraits<T*, Null<T*>, FreeLocal<T>>>;
// A string from the COM task allocator, as the shell hands them out.
using t_CoTaskString = t_OwnedHandle<t_WindowsTraits<PWSTR, Null<PWSTR>, FreeCoTask>>;
// Window-system objects.
using t_Menu = t_OwnedHandle<t_WindowsTraits<HMENU, Null<HMENU>, DestroyMenuHandle>>;
using t_Icon = t_OwnedHandle<t_WindowsTraits<HICON, Null<HICON>, DestroyIconHandle>>;
using t_Window = t_OwnedHandle<t_WindowsTraits<HWND, Null<HWND>, DestroyWindowHandle>>;
// GDI objects (bitmaps, brushes, fonts) and device contexts: one made with
// CreateCompatibleDC, and the screen's from GetDC(nullptr).
template <class T>
using t_GdiObject = t_OwnedHandle<t_WindowsTraits<T, Null<T>, DeleteGdiObject<T>>>;
using t_MemoryDc = t_OwnedHandle<t_WindowsTraits<HDC, Null<HDC>, DeleteMemoryDc>>;
using t_ScreenDc = t_OwnedHandle<t_WindowsTraits<HDC, Null<HDC>, ReleaseScreenDc>>;
// An object of GDI+'s flat interface (a graphics, an image), freed by `Free`; GDI+ itself is
// the adapter's (ui/windows/gdiplus_objects.hpp names the kinds). Its failed release is
// ignored, as a GDI object's is.
template <class T, bool (*Free)(T*)>
using t_GdiplusObject = t_OwnedHandle<t_WindowsTraits<T*, Null<T*>, Free>>;

// A storage medium an IDataObject handed out (GetData), released with ReleaseStgMedium;
// compared by its kind and handle, so that an empty one (TYMED_NULL) holds nothing.
struct t_Medium {
  STGMEDIUM medium{};
  bool operator==(const t_Medium& other) const noexcept {
    return medium.tymed == other.medium.tymed && medium.hGlobal == other.medium.hGlobal;
  }
};
inline t_Medium NoMedium() noexcept { return {}; }
inline bool ReleaseMedium(t_Medium medium) noexcept {
  ::ReleaseStgMedium(&medium.medium);
  return true;
}
using t_StorageMedium = t_OwnedHandle<t_WindowsTraits<t_Medium, NoMedium, ReleaseMedium>>;

}  // namespace n_zorbel::n_system::n_detail
