// The Linux program: one instance per user (a second start hands its paths to
// the first), the Qt dialog over t_MainDialog, the packed tagger inside the
// executable. Exit code 0 after a normal end or when the running instance
// took the paths; 1 when it could not be given them; kEscapedExceptionExitCode
// when an exception escapes.
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "app/exit_code.hpp"
#include "app/posix/application.hpp"
#include "app/posix/instance_lock.hpp"
#include "app/posix/second_start.hpp"
#include "app/posix/session_end.hpp"
#include "intake/path_queries.hpp"
#include "system/temp_folder.hpp"
#include "tagging/job_system.hpp"
#include "tools/module.hpp"
#include "ui/main_dialog.hpp"
#include "ui/posix/art.hpp"
#include "ui/posix/cover_decoder.hpp"
#include "ui/posix/desktop_services.hpp"
#include "ui/posix/view.hpp"

namespace {

std::string_view RuntimeFolder() {
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  return folder == nullptr ? std::string_view() : std::string_view(folder);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace n_zorbel;
  try {
    const n_app::t_InstanceLock lock(
        n_app::InstanceLockPath(RuntimeFolder(), n_system::TempFolderPath(), ::geteuid()));
    if (lock.AnotherInstanceRuns()) return n_app::RunSecondStart(argc, argv);

    n_app::t_Application application(argc, argv);
    n_ui::n_posix::t_QtCoverDecoder decoder;
    const n_tools::t_ProgramModule module;
    n_tagging::t_RealJobSystem system(module);
    n_ui::n_posix::t_QtDesktopServices services(QStringLiteral(MIVORA_DESKTOP_ID));
    int result = 0;
    {
      n_ui::t_MainDialog dialog(application.Setup(),
                                {system, n_intake::t_SystemPathQueries::Instance(), decoder});
      {
        n_ui::n_posix::t_QtView view(dialog, application.UiLanguage(), services,
                                  n_ui::n_posix::LoadArt(QStringLiteral(MIVORA_DESKTOP_ID)));
        const n_app::t_SessionEnd sessionEnd([&dialog] { dialog.OnSessionEnding(); });
        view.Open();
        result = application.Exec();
      }  // the window goes first, as the dialog's window does on Windows
    }    // then t_MainDialog: a running tool ended, the tool released, the workspace removed
    return result;
  } catch (...) {
    return n_app::kEscapedExceptionExitCode;
  }
}
