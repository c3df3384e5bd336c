#include "ui/windows/desktop_services.hpp"

#include "system/windows/handle.hpp"
#include "ui/windows/com_ptr.hpp"
#include "ui/windows/guids.hpp"

namespace n_zorbel::n_ui::n_windows {

namespace {

// The picker's options replace its defaults: strict file types and file-system
// items only, plus folders or several items when asked for.
FILEOPENDIALOGOPTIONS PickerOptions(const t_PickRequest& request) noexcept {
  FILEOPENDIALOGOPTIONS options = FOS_STRICTFILETYPES | FOS_FORCEFILESYSTEM;
  if (request.pickFolders) options |= FOS_PICKFOLDERS;
  if (request.multiSelect) options |= FOS_ALLOWMULTISELECT;
  return options;
}

}  // namespace

std::vector<t_String> PickFiles(HWND owner, const t_PickRequest& request) {
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
  if (FAILED(picker->Show(owner))) return paths;  // cancelled, or it could not be shown
  t_ComPtr<IShellItemArray> items;
  DWORD count = 0;
  if (FAILED(picker->GetResults(items.Out())) || FAILED(items->GetCount(&count))) return paths;
  for (DWORD index = 0; index < count; ++index) {
    t_ComPtr<IShellItem> item;
    if (FAILED(items->GetItemAt(index, item.Out()))) continue;
    n_system::n_detail::t_CoTaskString path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Out())) || path.Get() == nullptr) continue;
    paths.emplace_back(path.Get());
  }
  return paths;
}

void OpenWebPage(const t_String& address) noexcept {
  ::ShellExecuteW(::GetDesktopWindow(), L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace n_zorbel::n_ui::n_windows
