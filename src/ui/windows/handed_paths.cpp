#include "ui/windows/handed_paths.hpp"

namespace n_zorbel::n_ui::n_windows {

t_String EncodeHandedPaths(std::span<const t_String> paths) {
  t_String data;
  for (const t_String& path : paths) {
    data += path;
    data += L'\0';
  }
  return data;
}

std::optional<std::vector<t_DroppedPath>> DecodeHandedPaths(const COPYDATASTRUCT& data) {
  if (data.dwData != kHandedPathsTag || data.cbData % sizeof(wchar_t) != 0 ||
      (data.cbData != 0 && data.lpData == nullptr))
    return std::nullopt;
  const t_StringView text(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
  std::vector<t_DroppedPath> paths;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(L'\0', start);
    if (end == t_StringView::npos) end = text.size();
    if (end > start) paths.emplace_back(t_String(text.substr(start, end - start)));
    start = end + 1;
  }
  return paths;
}

namespace {

BOOL CALLBACK MatchRunningWindow(HWND window, LPARAM found) {
  if (::GetPropW(window, kRunningWindowProperty) == nullptr) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

HWND FindRunningWindow() noexcept {
  HWND found = nullptr;
  ::EnumWindows(&MatchRunningWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace n_zorbel::n_ui::n_windows
