// The adapter's shell dialogs and pages: the file-open picker, the About task
// dialog with its footer link, and web pages opened in the user's browser.
#include "ui/ids.hpp"
#include "ui/win32/dialog_window.hpp"
#include "ui/win32/guids.hpp"

namespace n_zorbel::n_ui::n_win32 {

namespace {

// The picker's options replace its defaults: strict file types and file-system
// items only, plus folders or several items when asked for.
FILEOPENDIALOGOPTIONS PickerOptions(const t_PickRequest& request) noexcept {
  FILEOPENDIALOGOPTIONS options = FOS_STRICTFILETYPES | FOS_FORCEFILESYSTEM;
  if (request.pickFolders) options |= FOS_PICKFOLDERS;
  if (request.multiSelect) options |= FOS_ALLOWMULTISELECT;
  return options;
}

struct t_AboutContext {
  t_DialogWindow* window;
  const t_String* clickAddress;
};

}  // namespace

std::vector<t_String> t_DialogWindow::PickFiles(const t_PickRequest& request) {
  std::vector<t_String> paths;
  t_ComPtr<IFileOpenDialog> picker;
  if (FAILED(::CoCreateInstance(kClsidFileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, kIidFileOpenDialog,
                                picker.OutVoid())))
    return paths;
  if (FAILED(picker->SetOptions(PickerOptions(request)))) return paths;
  if (!request.pickFolders) {
    if (FAILED(picker->SetDefaultExtension(request.defaultExtension.c_str()))) return paths;
    const COMDLG_FILTERSPEC type{request.fileTypeName.c_str(), request.pattern.c_str()};
    if (FAILED(picker->SetFileTypes(1, &type))) return paths;
  }
  if (FAILED(picker->Show(m_window))) return paths;  // cancelled, or it could not be shown
  t_ComPtr<IShellItemArray> items;
  DWORD count = 0;
  if (FAILED(picker->GetResults(items.Out())) || FAILED(items->GetCount(&count))) return paths;
  for (DWORD index = 0; index < count; ++index) {
    t_ComPtr<IShellItem> item;
    if (FAILED(items->GetItemAt(index, item.Out()))) continue;
    t_CoTaskString path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Out())) || path.Get() == nullptr) continue;
    paths.emplace_back(path.Get());
  }
  return paths;
}

void t_DialogWindow::OpenWebPage(const t_String& address) {
  ::ShellExecuteW(::GetDesktopWindow(), L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

HRESULT CALLBACK t_DialogWindow::AboutCallback(HWND /*window*/, UINT notification, WPARAM /*wParam*/,
                                               LPARAM /*lParam*/, LONG_PTR data) {
  // The link shows the bare product page; a click opens the page with the
  // query, whatever address the link carries.
  if (notification == TDN_HYPERLINK_CLICKED && data != 0) {
    const auto* context = reinterpret_cast<const t_AboutContext*>(data);
    context->window->Guarded([context] {
      context->window->OpenWebPage(*context->clickAddress);
      return TRUE;
    });
  }
  return S_OK;
}

void t_DialogWindow::ShowAbout(const t_AboutBox& about) {
  const t_String footer = L"<A HREF=\"" + about.linkAddress + L"\">" + about.linkAddress + L"</A>";
  t_AboutContext context{this, &about.clickAddress};
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = m_window;
  config.hInstance = m_module;
  config.dwFlags = TDF_ENABLE_HYPERLINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  config.pszWindowTitle = about.title.c_str();
  config.pszMainIcon = MAKEINTRESOURCEW(kIconGroupId);
  config.pszMainInstruction = about.versionLine.c_str();
  config.pszContent = about.developerLine.c_str();
  config.nDefaultButton = IDOK;
  config.pszFooter = footer.c_str();
  config.pfCallback = &AboutCallback;
  config.lpCallbackData = reinterpret_cast<LONG_PTR>(&context);
  ::TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
}

}  // namespace n_zorbel::n_ui::n_win32
