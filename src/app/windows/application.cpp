#include "application.hpp"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "system/error.hpp"
#include "system/workspace.hpp"
#include "ui/language.hpp"

namespace n_zorbel::n_app {

namespace {

constexpr DWORD kLanguageListFlags = MUI_LANGUAGE_NAME | MUI_MERGE_SYSTEM_FALLBACK | MUI_MERGE_USER_FALLBACK;

}  // namespace

void AppendEnglishToInterfaceLanguages() noexcept {
  try {
    ULONG languageCount = 0;
    ULONG length = 0;
    if (!::GetThreadPreferredUILanguages(kLanguageListFlags, &languageCount, nullptr, &length)) return;
    // Four spare NULs keep the list terminated whatever the call wrote.
    std::wstring buffer(length + 4, L'\0');
    if (!::GetThreadPreferredUILanguages(kLanguageListFlags, &languageCount, buffer.data(), &length)) return;
    buffer.replace(length, 4, 4, L'\0');
    std::vector<std::string> names;
    for (const wchar_t* name = buffer.c_str(); *name != L'\0'; name += std::wcslen(name) + 1)
      names.push_back(ToUtf8(name));
    const std::vector<std::string> withEnglish = n_ui::WithEnglishFallback(names);
    if (withEnglish.size() == names.size()) return;  // "en" is already there
    std::wstring list;
    for (const std::string& name : withEnglish) list += FromUtf8(name) + L'\0';
    list += L'\0';
    ULONG setCount = 0;
    ::SetProcessPreferredUILanguages(MUI_LANGUAGE_NAME, list.c_str(), &setCount);
  } catch (...) {
    // Out of memory: the list stays as it was.
  }
}

t_Application::t_HeapGuard::t_HeapGuard() {
  const HANDLE heap = ::GetProcessHeap();
  if (heap == nullptr) n_system::RaiseLastError();
  if (!::HeapSetInformation(heap, HeapEnableTerminationOnCorruption, nullptr, 0)) n_system::RaiseLastError();
}

t_Application::t_OleSession::t_OleSession() {
  const HRESULT result = ::OleInitialize(nullptr);
  if (FAILED(result)) n_system::RaiseCode(static_cast<std::int32_t>(result));
}

t_Application::t_OleSession::~t_OleSession() { ::OleUninitialize(); }

t_Application::t_InterfaceSetup::t_InterfaceSetup(t_DisplayMetrics& metrics) {
  AppendEnglishToInterfaceLanguages();
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  if (const n_system::n_detail::t_ScreenDc screen(::GetDC(nullptr)); !screen.IsEmpty())
    metrics.horizontalDpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSX);
  metrics.iconSizes = {::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                       ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)};
}

t_ArgumentVector::t_ArgumentVector(const wchar_t* commandLineTail)
    : arguments(::CommandLineToArgvW(commandLineTail != nullptr ? commandLineTail : L"", &count)) {
  if (arguments.IsEmpty()) n_system::RaiseLastError();
}

t_Application::t_Application(HINSTANCE module, const wchar_t* commandLineTail)
    : m_interface(m_metrics),
      m_module(module),
      m_arguments(commandLineTail),
      m_workspaceFolder(n_system::WorkspacePath()) {}

// The workspace itself is removed by t_MainDialog, which ends before this.
t_Application::~t_Application() = default;

std::vector<t_String> t_Application::Arguments() const {
  std::vector<t_String> arguments;
  for (int index = m_firstArgument; index < m_arguments.count; ++index)
    arguments.emplace_back(m_arguments.arguments.Get()[index]);
  return arguments;
}

}  // namespace n_zorbel::n_app
