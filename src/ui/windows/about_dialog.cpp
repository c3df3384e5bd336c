#include "ui/windows/about_dialog.hpp"

#include "ui/ids.hpp"

namespace n_zorbel::n_ui::n_windows {

namespace {

HRESULT CALLBACK AboutCallback(HWND /*window*/, UINT notification, WPARAM /*wParam*/, LPARAM /*lParam*/,
                               LONG_PTR data) {
  if (notification == TDN_HYPERLINK_CLICKED && data != 0)
    (*reinterpret_cast<const std::function<void()>*>(data))();
  return S_OK;
}

}  // namespace

void ShowAboutDialog(HWND owner, HINSTANCE module, const t_AboutBox& about,
                     const std::function<void()>& openClickAddress) noexcept {
  try {
    const t_String footer = L"<A HREF=\"" + about.linkAddress + L"\">" + about.linkAddress + L"</A>";
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.hInstance = module;
    config.dwFlags = TDF_ENABLE_HYPERLINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = about.title.c_str();
    config.pszMainIcon = MAKEINTRESOURCEW(kIconGroupId);
    config.pszMainInstruction = about.versionLine.c_str();
    config.pszContent = about.developerLine.c_str();
    config.nDefaultButton = IDOK;
    config.pszFooter = footer.c_str();
    config.pfCallback = &AboutCallback;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&openClickAddress);
    ::TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
  } catch (...) {
    // Out of memory for the footer: no box, as when the task dialog fails.
  }
}

}  // namespace n_zorbel::n_ui::n_windows
