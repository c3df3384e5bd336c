#include "second_start.hpp"

#include <cwctype>
#include <string>
#include <vector>

#include "application.hpp"
#include "system/text.hpp"
#include "ui/ids.hpp"
#include "ui/texts.hpp"
#include "ui/windows/handed_paths.hpp"
#include "ui/windows/resource_text.hpp"

namespace n_zorbel::n_app {

namespace {

// The running instance takes the mutex before its window exists.
constexpr int kWindowSearches = 50;
constexpr DWORD kSearchPauseMs = 100;
// The window answers before it reads what it was handed; only a busy or
// hung window takes this long.
constexpr UINT kAnswerLimitMs = 10000;

bool Blank(const wchar_t* text) {
  for (; text != nullptr && *text != L'\0'; ++text)
    if (!std::iswspace(*text)) return false;
  return true;
}

// Relative paths name files in this start's working folder, not the other's.
t_String FullPath(const wchar_t* path) {
  const DWORD length = ::GetFullPathNameW(path, 0, nullptr, nullptr);
  if (length == 0) return path;
  t_String full(length, L'\0');
  const DWORD written = ::GetFullPathNameW(path, length, full.data(), nullptr);
  if (written == 0 || written >= length) return path;
  full.resize(written);
  return full;
}

std::vector<t_String> Paths(const wchar_t* commandLineTail) {
  std::vector<t_String> paths;
  // An empty tail would split into the program's own path.
  if (Blank(commandLineTail)) return paths;
  const t_ArgumentVector arguments(commandLineTail);
  for (int index = 0; index < arguments.count; ++index) paths.push_back(FullPath(arguments.arguments.Get()[index]));
  return paths;
}

bool HandOver(const std::vector<t_String>& paths) {
  const t_String data = n_ui::n_windows::EncodeHandedPaths(paths);
  COPYDATASTRUCT copy{n_ui::n_windows::kHandedPathsTag, static_cast<DWORD>(data.size() * sizeof(wchar_t)),
                      const_cast<wchar_t*>(data.data())};
  for (int search = 0; search < kWindowSearches; ++search) {
    if (const HWND window = n_ui::n_windows::FindRunningWindow()) {
      DWORD process = 0;
      ::GetWindowThreadProcessId(window, &process);
      // This start may have the foreground (Explorer gave it): pass it on.
      ::AllowSetForegroundWindow(process);
      DWORD_PTR taken = FALSE;
      // Sent once: a handover that timed out may still arrive, and must not twice.
      return ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                                   SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerLimitMs, &taken) != 0 &&
             taken == TRUE;
    }
    ::Sleep(kSearchPauseMs);
  }
  return false;
}

}  // namespace

int RunSecondStart(HINSTANCE module, const wchar_t* commandLineTail) {
  const std::vector<t_String> paths = Paths(commandLineTail);
  if (HandOver(paths)) return 0;
  AppendEnglishToInterfaceLanguages();
  t_String message = n_ui::n_windows::LoadResourceText(module, n_ui::kTextAlreadyRunning);
  if (!paths.empty()) message += L"\n" + n_ui::n_windows::LoadResourceText(module, n_ui::kTextPathsNotHandedOver);
  const t_String caption = FromUtf8(n_ui::kProductName);
  ::MessageBoxW(nullptr, message.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
  return paths.empty() ? 0 : 1;
}

}  // namespace n_zorbel::n_app
