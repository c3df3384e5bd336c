#pragma once
// The process services the Windows dialog runs on, started in a fixed order
// and stopped in the reverse one: heap termination on corruption, OLE (a
// single-threaded apartment), the interface-language list with English as the
// last fallback, common controls, the display metrics, GDI+, the split command
// line and the workspace path. A failing step undoes the ones before it.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "system/text.hpp"
#include "system/windows/handle.hpp"
#include "ui/windows/view.hpp"
#include "ui/windows/cover_decoder.hpp"

namespace n_zorbel::n_app {

// The command line's tail split by the shell's rules (CommandLineToArgvW);
// raises t_ErrorException when the split fails.
struct t_ArgumentVector {
  explicit t_ArgumentVector(const wchar_t* commandLineTail);
  int count = 0;
  n_system::n_detail::t_LocalMemory<wchar_t*> arguments;
};

// Display values read once at start-up.
struct t_DisplayMetrics {
  std::int32_t horizontalDpi = 96;
  n_ui::n_windows::t_IconSizes iconSizes;
};

class t_Application {
 public:
  // Raises t_ErrorException when the heap, OLE, the argument split or the
  // temporary path fail; the other services only degrade the interface.
  t_Application(HINSTANCE module, const wchar_t* commandLineTail);
  ~t_Application();
  t_Application(const t_Application&) = delete;
  t_Application& operator=(const t_Application&) = delete;

  HINSTANCE Module() const noexcept { return m_module; }
  const t_DisplayMetrics& Metrics() const noexcept { return m_metrics; }
  // Every argument of the command line, the first one included (index 0).
  std::vector<t_String> Arguments() const;
  const t_String& WorkspaceFolder() const noexcept { return m_workspaceFolder; }

 private:
  class t_OleSession {
   public:
    t_OleSession();
    ~t_OleSession();
    t_OleSession(const t_OleSession&) = delete;
    t_OleSession& operator=(const t_OleSession&) = delete;
  };
  struct t_HeapGuard {
    t_HeapGuard();
  };
  struct t_InterfaceSetup {
    explicit t_InterfaceSetup(t_DisplayMetrics& metrics);
  };

  // Members are constructed in the order of start-up, so a failure destroys
  // exactly the services already started, in reverse.
  t_HeapGuard m_heap;
  t_OleSession m_ole;
  t_DisplayMetrics m_metrics;
  t_InterfaceSetup m_interface;
  n_ui::n_windows::t_GdiplusSession m_gdiplus;
  HINSTANCE m_module;
  t_ArgumentVector m_arguments;
  int m_firstArgument = 0;
  t_String m_workspaceFolder;
};

// Makes sure "en" ends the process's preferred interface languages, so the
// resource loader falls back to the English tables for any other language.
// Failures leave the list as it is.
void AppendEnglishToInterfaceLanguages() noexcept;

}  // namespace n_zorbel::n_app
