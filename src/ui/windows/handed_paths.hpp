#pragma once
// How a second start of the Windows program hands its paths to the running
// window: WM_COPYDATA to the top-level window that carries the property
// below, with the paths as UTF-16, each ended by a NUL.
#include <optional>
#include <span>
#include <vector>

#include "system/text.hpp"
#include "ui/main_dialog.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

// Set on the dialog's window for its life; no other window carries it.
inline constexpr wchar_t kRunningWindowProperty[] = L"example.zorbel.Mivora.Window";
// COPYDATASTRUCT::dwData of a handover, so stray WM_COPYDATA is not taken.
inline constexpr ULONG_PTR kHandedPathsTag = 0x4D69764F;

t_String EncodeHandedPaths(std::span<const t_String> paths);

// The paths of a handover; nothing when the data is not one. Empty pieces
// are left out; an unterminated last one still counts.
std::optional<std::vector<t_DroppedPath>> DecodeHandedPaths(const COPYDATASTRUCT& data);

// The window of the running instance, or null while it has none.
HWND FindRunningWindow() noexcept;

}  // namespace n_zorbel::n_ui::n_windows
