// The Windows program's entry: one instance at a time (a second start hands
// its paths to the first), the process services, the dialog, and the exit
// code (0 after a normal end or when the running window took the paths, 1
// when it could not be given them, kEscapedExceptionExitCode when anything
// escapes).
#include <windows.h>

#include "app/exit_code.hpp"
#include "application.hpp"
#include "second_start.hpp"
#include "intake/path_queries.hpp"
#include "preview/preview_geometry.hpp"
#include "system/error.hpp"
#include "system/windows/handle.hpp"
#include "tagging/job_system.hpp"
#include "tools/module.hpp"
#include "ui/main_dialog.hpp"
#include "ui/windows/view.hpp"
#include "ui/windows/cover_decoder.hpp"

namespace {

using namespace n_zorbel;

int RunDialog(HINSTANCE module, const wchar_t* commandLineTail) {
  const n_app::t_Application application(module, commandLineTail);
  n_tools::t_ProgramModule toolPackage;
  n_tagging::t_RealJobSystem jobSystem(toolPackage);
  n_ui::n_windows::t_GdiplusCoverDecoder coverDecoder;

  n_ui::t_MainDialogSetup setup;
  setup.arguments = application.Arguments();
  setup.workspaceFolder = application.WorkspaceFolder();
  setup.checkSize = n_preview::CheckSizeForDpi(application.Metrics().horizontalDpi);
  // Destroyed in reverse: the window's COM objects, then t_MainDialog (the job
  // and its tool, the unpacked tool, the cover, the workspace folder), then
  // the services.
  n_ui::t_MainDialog dialog(setup, {jobSystem, n_intake::t_SystemPathQueries::Instance(), coverDecoder});
  n_ui::n_windows::t_Win32View window(module, dialog, application.Metrics().iconSizes);
  return static_cast<int>(window.Run());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE module, HINSTANCE /*previous*/, PWSTR commandLineTail, int /*show*/) {
  try {
    // A plain name: the marker of this user's session.
    n_system::n_detail::t_Handle marker(::CreateMutexW(nullptr, FALSE, L"Mivora"));
    const DWORD error = ::GetLastError();
    if (marker.IsEmpty()) n_system::RaiseSystemError(error);
    if (error == ERROR_ALREADY_EXISTS) {
      marker.Close();
      return n_app::RunSecondStart(module, commandLineTail);
    }
    // The marker stays open until the dialog and everything it held are gone.
    return RunDialog(module, commandLineTail);
  } catch (...) {
    return n_app::kEscapedExceptionExitCode;
  }
}
