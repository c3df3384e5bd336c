// Drives the real mivora.exe the way a user would, from outside: starts it
// with paths on its command line, finds its dialog, reads control texts and
// the title, types into fields, presses buttons, chooses menu commands, and
// watches runs, the failure box, Stop, closing and a second start.
//   mivora_e2e_driver MIVORA.EXE WORK-FOLDER [dutch|english]
// The work folder holds the videos and the cover that end_to_end.sh made;
// that script checks the tags afterwards. Every check prints one line; the
// exit code is the number of failed checks.
#include <windows.h>
// (windows.h first)
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/exit_code.hpp"
#include "preview/cover_bytes.hpp"
#include "support/links.hpp"

namespace {

using namespace std::chrono_literals;
using t_Clock = std::chrono::steady_clock;

int g_failures = 0;

void Check(bool ok, const std::wstring& what) {
  std::fwprintf(stdout, L"%ls: %ls\n", ok ? L"ok  " : L"FAIL", what.c_str());
  std::fflush(stdout);
  if (!ok) ++g_failures;
}

template <typename T>
void CheckEqual(const T& actual, const T& expected, const std::wstring& what) {
  if (actual == expected) {
    Check(true, what);
  } else {
    Check(false, what + L": got \"" + std::wstring(actual.begin(), actual.end()) + L"\", expected \"" +
                     std::wstring(expected.begin(), expected.end()) + L"\"");
  }
}

// Polls until `done` holds or the time is up.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit,
             std::chrono::milliseconds step = 20ms) {
  const auto end = t_Clock::now() + limit;
  while (!done()) {
    if (t_Clock::now() > end) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}

// --- Windows of another process ----------------------------------------------------

// The whole text of a window, read again when it changed between asking for
// its length and fetching it (the title changes while a run goes on).
std::wstring WindowText(HWND window) {
  for (int attempt = 0;; ++attempt) {
    const LRESULT length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 2, L'\0');
    const LRESULT copied =
        ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    if (copied == length || attempt == 10) return text;
  }
}

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

struct t_WindowSearch {
  DWORD process;
  const wchar_t* windowClass;
  const std::wstring* title;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<t_WindowSearch*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !::IsWindowVisible(window) || ClassName(window) != search->windowClass)
    return TRUE;
  if (!search->title->empty() && WindowText(window) != *search->title) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible top-level window of `process` of a class, with a title (any title when empty).
HWND FindWindowOf(DWORD process, const wchar_t* windowClass, const std::wstring& title) {
  t_WindowSearch search{process, windowClass, &title, nullptr};
  ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindDialog(DWORD process, const std::wstring& title) { return FindWindowOf(process, L"#32770", title); }
HWND FindPopupMenu(DWORD process) { return FindWindowOf(process, L"#32768", L""); }

// A dialog of `process` other than `except` (a picker, the About box).
struct t_OtherDialog {
  DWORD process;
  HWND except;
  HWND found;
};

BOOL CALLBACK MatchOtherDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<t_OtherDialog*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || window == search->except || !::IsWindowVisible(window) ||
      ClassName(window) != L"#32770")
    return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindOtherDialog(DWORD process, HWND except) {
  t_OtherDialog search{process, except, nullptr};
  ::EnumWindows(&MatchOtherDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct t_Child {
  HWND window;
  std::wstring windowClass;
  int id;
  std::wstring text;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM data) {
  reinterpret_cast<std::vector<t_Child>*>(data)->push_back(
      {child, ClassName(child), ::GetDlgCtrlID(child), WindowText(child)});
  return TRUE;
}

std::vector<t_Child> Children(HWND window) {
  std::vector<t_Child> children;
  ::EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

void PrintChildren(HWND window) {
  for (const t_Child& child : Children(window))
    std::fwprintf(stdout, L"  child %ls id %d \"%ls\"\n", child.windowClass.c_str(), child.id,
                  child.text.c_str());
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM data) {
  if (::CompareStringOrdinal(ClassName(child).c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL) {
    const std::wstring text = WindowText(child);
    if (!text.empty()) reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(text);
  }
  return TRUE;
}

std::vector<std::wstring> StaticTexts(HWND box) {
  std::vector<std::wstring> texts;
  ::EnumChildWindows(box, &CollectStaticText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

void CheckBoxSays(HWND box, const std::wstring& expected) {
  const std::vector<std::wstring> texts = StaticTexts(box);
  Check(std::find(texts.begin(), texts.end(), expected) != texts.end(),
        L"the box says \"" + expected + L"\"" + (texts.empty() ? L"" : L" (it says \"" + texts.front() + L"\")"));
}

// --- The program under test -------------------------------------------------------

class t_Mivora {
 public:
  t_Mivora(const std::wstring& program, const std::vector<std::wstring>& arguments,
           const std::map<std::wstring, std::wstring>& environment) {
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments) commandLine += L" \"" + argument + L"\"";
    std::wstring block = EnvironmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &m_process)) {
      Check(false, L"start " + program + L": error " + std::to_wstring(::GetLastError()));
      m_process = {};
    }
  }
  ~t_Mivora() {
    if (m_process.hProcess == nullptr) return;
    if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(m_process.hProcess, 99);
      ::WaitForSingleObject(m_process.hProcess, 10000);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
  }
  t_Mivora(const t_Mivora&) = delete;
  t_Mivora& operator=(const t_Mivora&) = delete;

  bool Started() const { return m_process.hProcess != nullptr; }
  DWORD Id() const { return m_process.dwProcessId; }

  // The dialog once its title is set (initialization is over by then).
  HWND Dialog() {
    if (m_dialog == nullptr && Started())
      WaitFor([this] { return (m_dialog = FindDialog(Id(), L"Mivora")) != nullptr; }, 30s, 50ms);
    return m_dialog;
  }
  std::wstring Title() { return WindowText(Dialog()); }
  std::wstring Text(int control) { return WindowText(::GetDlgItem(Dialog(), control)); }
  bool Enabled(int control) { return ::IsWindowEnabled(::GetDlgItem(Dialog(), control)) != FALSE; }
  void Type(int control, const std::wstring& text) {
    ::SendMessageW(::GetDlgItem(Dialog(), control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void Press(int control) {
    ::PostMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(control, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(Dialog(), control)));
  }
  void Command(int command) { ::PostMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(command, 0), 0); }
  void Post(UINT message, WPARAM wParam, LPARAM lParam) { ::PostMessageW(Dialog(), message, wParam, lParam); }

  // The exit code, or STILL_ACTIVE when it did not end in time.
  DWORD WaitForExit(std::chrono::milliseconds limit) {
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
  }

 private:
  static std::wstring EnvironmentBlock(const std::map<std::wstring, std::wstring>& overrides) {
    std::map<std::wstring, std::wstring> variables;
    auto key = [](std::wstring name) {
      for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
      return name;
    };
    std::map<std::wstring, std::wstring> names;  // upper-case name -> name as written
    const LPWCH strings = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != 0; entry += std::wcslen(entry) + 1) {
      const std::wstring text = entry;
      const std::size_t equals = text.find(L'=', 1);
      if (equals == std::wstring::npos) continue;
      names[key(text.substr(0, equals))] = text.substr(0, equals);
      variables[key(text.substr(0, equals))] = text.substr(equals + 1);
    }
    ::FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : overrides) {
      names[key(name)] = name;
      variables[key(name)] = value;
    }
    std::wstring block;
    for (const auto& [upper, value] : variables) {
      if (value.empty()) continue;  // an empty override removes the variable
      block += names[upper] + L"=" + value + L'\0';
    }
    return block + L'\0';
  }

  PROCESS_INFORMATION m_process{};
  HWND m_dialog = nullptr;
};

void CloseExpectingExitZero(t_Mivora& mivora) {
  mivora.Post(WM_CLOSE, 0, 0);
  CheckEqual(std::to_wstring(mivora.WaitForExit(20s)), std::wstring(L"0"), L"closing ends the program with code 0");
}

// --- Scenarios ----------------------------------------------------------------------

struct t_Setup {
  std::wstring program;
  std::wstring work;  // ends with a backslash
  std::map<std::wstring, std::wstring> environment;
};

const std::pair<int, const wchar_t*> kEnglishTexts[] = {
    {1001, L"Video file(s)"},
    {1003, L"Browse..."},
    {1004, L"Cover file"},
    {1006, L"Browse..."},
    {1007, L"Title"},
    {1009, L"Author"},
    {1011, L"Genre"},
    {1013, L"+"},
    {1014, L"Year"},
    {1017, L"Audio source(s)"},
    {1019, L"Video source(s)"},
    {1021, L"Comment"},
    {1024, L"Remove tags that are left blank"},
    {1026, L"Apply"},
    {1027, L"Donate"},
    {1028, L"About"},
};

void CheckLanguage(t_Mivora& mivora, const std::pair<int, const wchar_t*>* texts, std::size_t count,
                   const std::wstring& language) {
  for (std::size_t i = 0; i < count; ++i)
    CheckEqual(mivora.Text(texts[i].first), std::wstring(texts[i].second),
               language + L" text of " + std::to_wstring(texts[i].first));
}

void RequestScreenshot(const t_Setup& setup) {
  const std::wstring request = setup.work + L"screenshot.request";
  const std::wstring done = setup.work + L"screenshot.done";
  ::CloseHandle(::CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const bool taken = WaitFor([&] { return Exists(done); }, 30s, 100ms);
  std::fwprintf(stdout, L"note: screenshot %ls\n", taken ? L"taken" : L"not taken (nobody answered)");
}

// Apply is enabled only while files are listed; with none, pressing it does nothing.
void NoFilesNoApply(const t_Setup& setup) {
  t_Mivora mivora(setup.program, {setup.work + L"cover.jpg"}, setup.environment);
  if (mivora.Dialog() == nullptr) return Check(false, L"no dialog without video files");
  CheckEqual(mivora.Text(1002), std::wstring(), L"the list is empty");
  CheckEqual(mivora.Text(1005), setup.work + L"cover.jpg", L"the cover from the command line is shown");
  Check(!mivora.Enabled(1026), L"Apply is disabled without files");
  mivora.Press(1026);
  std::this_thread::sleep_for(600ms);
  CheckEqual(mivora.Title(), std::wstring(L"Mivora"), L"pressing a disabled Apply starts nothing");
  mivora.Post(WM_CLOSE, 0, 0);
  Check(mivora.WaitForExit(20s) == 0, L"closed with exit code 0");
}

// Percent and position as the title shows them, "33% [1/3] Mivora".
bool ProgressTitle(const std::wstring& title, int files, int* position) {
  int percent = -1;
  int at = -1;
  int total = -1;
  wchar_t rest[16] = {};
  if (std::swscanf(title.c_str(), L"%d%% [%d/%d] %15ls", &percent, &at, &total, rest) != 4) return false;
  *position = at;
  return total == files && at >= 1 && at <= files && percent == at * 100 / files &&
         std::wstring(rest) == L"Mivora";
}

// Watches a run to its end: every title seen must be a correct progress title
// until "Mivora" comes back with the button reading Apply again.
std::set<std::wstring> WatchRun(t_Mivora& mivora, int files, std::chrono::seconds limit) {
  std::set<std::wstring> titles;
  WaitFor(
      [&] {
        const std::wstring title = mivora.Title();
        titles.insert(title);
        return title == L"Mivora" && mivora.Text(1026) == L"Apply" && titles.size() > 1;
      },
      limit, 5ms);
  titles.erase(L"Mivora");
  for (const std::wstring& title : titles) {
    int position = 0;
    Check(ProgressTitle(title, files, &position), L"progress title \"" + title + L"\"");
  }
  return titles;
}

void TagFourFiles(const t_Setup& setup) {
  const std::wstring one = setup.work + L"videos\\one.mp4";
  const std::wstring two = setup.work + L"videos\\two.mp4";
  const std::wstring folder = setup.work + L"folder";
  const std::wstring cover = setup.work + L"cover.jpg";
  t_Mivora mivora(setup.program, {one, two, folder, cover}, setup.environment);
  if (mivora.Dialog() == nullptr) return Check(false, L"the dialog opens");
  Check(true, L"the dialog opens titled Mivora");
  CheckLanguage(mivora, kEnglishTexts, std::size(kEnglishTexts), L"English");
  CheckEqual(mivora.Text(1015), std::wstring(L"2016"), L"the year starts at 2016");
  const std::wstring list = mivora.Text(1002);
  Check(list.rfind(one + L";" + two + L";", 0) == 0, L"the list starts with the two files: " + list);
  Check(list.find(folder + L"\\three.mp4") != std::wstring::npos &&
            list.find(folder + L"\\four.mp4") != std::wstring::npos &&
            std::count(list.begin(), list.end(), L';') == 3,
        L"the folder's two videos follow");
  CheckEqual(mivora.Text(1005), cover, L"the cover path is shown");
  Check(mivora.Enabled(1026), L"Apply is enabled with files");
  Check(::IsDlgButtonChecked(mivora.Dialog(), 1024) == BST_UNCHECKED, L"remove-blank starts unchecked");

  // The window's own menu begins with "Always on top" and a separator.
  const HMENU systemMenu = ::GetSystemMenu(mivora.Dialog(), FALSE);
  if (systemMenu != nullptr && ::GetMenuItemID(systemMenu, 0) == 40101) {
    wchar_t text[64] = {};
    ::GetMenuStringW(systemMenu, 0, text, 64, MF_BYPOSITION);
    CheckEqual(std::wstring(text), std::wstring(L"Always on top"), L"system menu item 0");
    Check((::GetMenuState(systemMenu, 1, MF_BYPOSITION) & MF_SEPARATOR) != 0, L"a separator follows it");
  } else {
    std::fwprintf(stdout, L"note: the system menu of another process cannot be read here\n");
  }
  auto topmost = [&] { return (::GetWindowLongW(mivora.Dialog(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  Check(!topmost(), L"not on top at the start");
  mivora.Post(WM_SYSCOMMAND, 40101, 0);
  Check(WaitFor(topmost, 5s), L"Always on top puts the window on top");
  mivora.Post(WM_SYSCOMMAND, 40101, 0);
  Check(WaitFor([&] { return !topmost(); }, 5s), L"choosing it again takes it back");

  // Genres are appended in the order chosen.
  mivora.Command(40008);
  mivora.Command(40001);
  WaitFor([&] { return mivora.Text(1012) == L"GMV, Action"; }, 5s);
  CheckEqual(mivora.Text(1012), std::wstring(L"GMV, Action"), L"genre menu: GMV then Action");
  // The taskbar's message may come at any time; the program takes it and
  // keeps working (Wine's taskbar shows no progress).
  mivora.Post(::RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
  mivora.Post(::RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);

  RequestScreenshot(setup);

  mivora.Type(1008, L"E2E title");
  mivora.Type(1010, L"E2E author");
  mivora.Type(1018, L"Song - Band");
  mivora.Type(1020, L"Show, episode 3");
  mivora.Type(1022, L"Made for the test");
  const std::wstring workspace = TempFolder() + L"Mivora\\";
  mivora.Press(1026);
  Check(WaitFor([&] { return mivora.Text(1026) == L"Stop"; }, 5s), L"Apply turns into Stop");
  Check(!mivora.Enabled(1008) && !mivora.Enabled(1003) && !mivora.Enabled(1024) && mivora.Enabled(1026) &&
            mivora.Enabled(1027) && mivora.Enabled(1028),
        L"inputs are disabled during the run; Stop, Donate and About are not");
  const std::set<std::wstring> titles = WatchRun(mivora, 4, 90s);
  Check(!titles.empty(), L"the title showed progress (" + std::to_wstring(titles.size()) + L" titles seen)");
  CheckEqual(mivora.Title(), std::wstring(L"Mivora"), L"the title is Mivora again after the run");
  CheckEqual(mivora.Text(1026), std::wstring(L"Apply"), L"the button reads Apply again");
  Check(mivora.Enabled(1008) && mivora.Enabled(1026), L"inputs are enabled again");
  Check(FindDialog(mivora.Id(), L"Mivora error") == nullptr, L"no failure was reported");
  Check(Exists(workspace + L"ntag.exe"), L"the tool was unpacked into " + workspace);

  // A second start hands its path to this window, ends with 0 and shows nothing.
  {
    const std::wstring listed = mivora.Text(1002) + L";" + one;
    t_Mivora second(setup.program, {one}, setup.environment);
    CheckEqual(std::to_wstring(second.WaitForExit(20s)), std::wstring(L"0"),
               L"a second instance exits with code 0");
    Check(FindDialog(second.Id(), L"") == nullptr, L"the second instance showed no window");
    WaitFor([&] { return mivora.Text(1002) == listed; }, 10s);
    CheckEqual(mivora.Text(1002), listed, L"the second start's path joins the list");
  }

  CloseExpectingExitZero(mivora);
  Check(!Exists(workspace), L"the workspace is gone after the program ended");
}

// A link in the workspace's place (a stale one; made by the host here, as
// Wine makes none itself): Apply works in a fresh folder beside it, and
// closing leaves the link and the folder it names untouched.
void LinkAtTheWorkspace(const t_Setup& setup) {
  const std::wstring linked = setup.work + L"linked";
  const std::wstring video = setup.work + L"linked.mp4";
  ::CreateDirectoryW(linked.c_str(), nullptr);
  std::ofstream(std::filesystem::path(linked + L"\\keep.txt")) << "precious";
  ::CopyFileW((setup.work + L"videos\\one.mp4").c_str(), video.c_str(), FALSE);
  const std::wstring workspace = TempFolder() + L"Mivora";
  const n_zorbel::n_testing::t_FolderLink link(linked, workspace);
  if (!link.Reason().empty()) {
    std::fwprintf(stdout, L"note: no link at the workspace: %hs\n", link.Reason().c_str());
    return;
  }
  {
    t_Mivora mivora(setup.program, {video}, setup.environment);
    if (mivora.Dialog() == nullptr) return Check(false, L"the dialog opens beside a link at the workspace");
    mivora.Type(1008, L"Linked");
    mivora.Press(1026);
    WatchRun(mivora, 1, 60s);
    Check(FindDialog(mivora.Id(), L"Mivora error") == nullptr, L"Apply works beside a link at the workspace");
    CloseExpectingExitZero(mivora);
  }
  Check((::GetFileAttributesW(workspace.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0, L"the link stays");
  std::ifstream kept(std::filesystem::path(linked + L"\\keep.txt"));
  Check(std::string(std::istreambuf_iterator<char>(kept), {}) == "precious" && !Exists(linked + L"\\ntag.exe"),
        L"the folder the link names is untouched");
}

void FailureIsReported(const t_Setup& setup) {
  const std::wstring folder = setup.work + L"fail\\";
  t_Mivora mivora(setup.program, {folder + L"ok1.mp4", folder + L"bad.mp4", folder + L"ok2.mp4"},
                  setup.environment);
  if (mivora.Dialog() == nullptr) return Check(false, L"the dialog opens for the failing run");
  mivora.Type(1008, L"E2E title");
  mivora.Press(1026);
  HWND box = nullptr;
  Check(WaitFor([&] { return (box = FindDialog(mivora.Id(), L"Mivora error")) != nullptr; }, 60s),
        L"a failing file brings up \"Mivora error\"");
  if (box != nullptr) {
    CheckBoxSays(box, L"neroAACTag process did not exit gracefully: error #-2147024893\n" + folder +
                          L"bad.mp4\nThe video is not an MP4 file, or it is damaged.");
    int position = 0;
    Check(ProgressTitle(mivora.Title(), 3, &position) && position == 2,
          L"the title stays at the failing file while the box is open: " + mivora.Title());
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    Check(WaitFor([&] { return FindDialog(mivora.Id(), L"Mivora error") == nullptr; }, 10s),
          L"the box closes");
  }
  Check(WaitFor([&] { return mivora.Title() == L"Mivora" && mivora.Text(1026) == L"Apply"; }, 10s),
        L"after the box: title Mivora, button Apply");
  CloseExpectingExitZero(mivora);
}

// The tags TagFourFiles wrote load back through the preview menu's command
// into a fresh dialog, and Apply gives them to an untagged video (the script
// compares the two); a damaged video is named in one message with its cause.
void LoadTagsRoundTrip(const t_Setup& setup) {
  const std::wstring blank = setup.work + L"load\\blank.mp4";
  const std::wstring bad = setup.work + L"fail\\bad.mp4";
  t_Mivora mivora(setup.program, {setup.work + L"videos\\one.mp4", blank}, setup.environment);
  if (mivora.Dialog() == nullptr) return Check(false, L"the dialog opens for loading tags");
  mivora.Type(1012, L"typed before");
  mivora.Command(40025);
  Check(WaitFor([&] { return mivora.Text(1008) == L"E2E title"; }, 30s), L"the title is loaded");
  const std::pair<int, const wchar_t*> loaded[] = {
      {1010, L"E2E author"},  {1012, L"GMV, Action"},     {1015, L"2016"},
      {1018, L"Song - Band"}, {1020, L"Show, episode 3"}, {1022, L"Made for the test"}};
  for (const auto& [control, text] : loaded)
    CheckEqual(mivora.Text(control), std::wstring(text), L"loaded field " + std::to_wstring(control));
  const std::wstring cover = mivora.Text(1005);
  Check(cover.rfind(TempFolder() + L"Mivora\\cover-1.", 0) == 0,
        L"the cover is extracted into the workspace: " + cover);
  mivora.Press(1026);
  WatchRun(mivora, 2, 60s);
  Check(FindDialog(mivora.Id(), L"Mivora error") == nullptr, L"Apply after loading reports no failure");

  CloseExpectingExitZero(mivora);

  t_Mivora failing(setup.program, {bad}, setup.environment);
  if (failing.Dialog() == nullptr) return Check(false, L"the dialog opens on a damaged video");
  failing.Type(1008, L"kept");
  failing.Command(40025);
  HWND box = nullptr;
  Check(WaitFor([&] { return (box = FindDialog(failing.Id(), L"Mivora error")) != nullptr; }, 30s),
        L"a damaged video brings up \"Mivora error\"");
  if (box != nullptr) {
    CheckBoxSays(box, L"The tags of \u201C" + bad +
                          L"\u201D could not be loaded; the fields stay as they were.\n"
                          L"The video is not an MP4 file, or it is damaged.");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  CheckEqual(failing.Text(1008), std::wstring(L"kept"), L"the fields stay after the failure");
  failing.Post(WM_CLOSE, 0, 0);
  failing.WaitForExit(20s);
}

// Dragging by the background, the preview's options menu, its Remove
// command, the About box and the cover picker.
void WindowExtras(const t_Setup& setup) {
  const std::wstring cover = setup.work + L"cover.jpg";
  t_Mivora mivora(setup.program, {setup.work + L"videos\\one.mp4", cover}, setup.environment);
  const HWND dialog = mivora.Dialog();
  if (dialog == nullptr) return Check(false, L"the dialog opens for the window extras");

  // The background answers hit tests as caption, its right and bottom edges included.
  RECT client{};
  ::GetClientRect(dialog, &client);
  ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
  auto hit = [&](LONG x, LONG y) {
    return ::SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  };
  Check(hit(client.left + 3, client.top + 3) == HTCAPTION, L"the background drags the window");
  Check(hit(client.right, client.bottom) == HTCAPTION, L"the client rectangle's right-bottom corner counts");
  Check(hit(client.right + 400, client.bottom + 400) != HTCAPTION, L"a point far outside is no caption");

  // A right press on the preview opens its menu; elsewhere nothing opens.
  RECT preview{};
  ::GetWindowRect(::GetDlgItem(dialog, 1023), &preview);
  auto rightPress = [&](LONG x, LONG y) {
    mivora.Post(WM_NCRBUTTONDOWN, HTCAPTION, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  };
  auto closeMenu = [&] {
    if (const HWND menu = FindPopupMenu(mivora.Id())) {
      ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      mivora.Post(WM_CANCELMODE, 0, 0);
    }
    return WaitFor([&] { return FindPopupMenu(mivora.Id()) == nullptr; }, 5s);
  };
  rightPress(preview.left + 20, preview.top + 20);
  Check(WaitFor([&] { return FindPopupMenu(mivora.Id()) != nullptr; }, 5s),
        L"a right press on the preview opens its menu");
  Check(closeMenu(), L"the menu closes");
  rightPress(preview.right, preview.bottom);
  Check(WaitFor([&] { return FindPopupMenu(mivora.Id()) != nullptr; }, 5s),
        L"the preview's right-bottom corner still opens the menu");
  Check(closeMenu(), L"the menu closes");
  rightPress(client.left + 5, client.top + 5);
  std::this_thread::sleep_for(700ms);
  Check(FindPopupMenu(mivora.Id()) == nullptr,
        L"a right press on the background outside the preview opens nothing");
  closeMenu();

  // The About box: the product's lines and the footer link.
  mivora.Press(1028);
  HWND about = nullptr;
  Check(WaitFor([&] { return (about = FindOtherDialog(mivora.Id(), dialog)) != nullptr; }, 10s),
        L"About opens a box");
  if (about != nullptr) {
    CheckEqual(WindowText(about), std::wstring(L"About"), L"the About box's title");
    std::wstring all;
    for (const t_Child& child : Children(about)) all += child.text + L"\n";
    Check(all.find(L"Mivora v1.0.12") != std::wstring::npos, L"the About box names Mivora v1.0.12");
    Check(all.find(L"/Mivora") != std::wstring::npos, L"the About box links the product page");
    if (all.find(L"Mivora v1.0.12") == std::wstring::npos) PrintChildren(about);
    ::PostMessageW(about, WM_CLOSE, 0, 0);
    Check(WaitFor([&] { return !::IsWindow(about); }, 10s), L"the About box closes");
  }

  // Remove empties the cover path.
  CheckEqual(mivora.Text(1005), cover, L"the cover is set");
  mivora.Command(40024);
  Check(WaitFor([&] { return mivora.Text(1005).empty(); }, 5s), L"Remove empties the cover path");

  // The cover picker: cancelling leaves no cover; choosing a file sets it.
  mivora.Press(1006);
  HWND picker = nullptr;
  Check(WaitFor([&] { return (picker = FindOtherDialog(mivora.Id(), dialog)) != nullptr; }, 15s),
        L"Browse opens the file picker");
  if (picker != nullptr) {
    ::PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
    Check(WaitFor([&] { return !::IsWindow(picker); }, 10s), L"the picker is cancelled");
    CheckEqual(mivora.Text(1005), std::wstring(), L"a cancelled pick leaves no cover");
  }
  mivora.Press(1006);
  picker = nullptr;
  if (WaitFor([&] { return (picker = FindOtherDialog(mivora.Id(), dialog)) != nullptr; }, 15s)) {
    HWND name = nullptr;
    for (const t_Child& child : Children(picker))
      if (child.windowClass == L"Edit" && ::IsWindowVisible(child.window) && name == nullptr)
        name = child.window;
    if (name == nullptr) PrintChildren(picker);
    Check(name != nullptr, L"the picker has a file name field");
    if (name != nullptr) {
      ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(cover.c_str()));
      ::PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(picker, IDOK)));
    }
    Check(WaitFor([&] { return !::IsWindow(picker); }, 10s), L"the picker closes on OK");
    if (::IsWindow(picker)) ::PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
    WaitFor([&] { return mivora.Text(1005) == cover; }, 5s);
    CheckEqual(mivora.Text(1005), cover, L"the picked file becomes the cover");
  }

  CloseExpectingExitZero(mivora);
}

// How many processes of that executable name run now.
int RunningProcesses(const wchar_t* name) {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry))
    if (::CompareStringOrdinal(entry.szExeFile, -1, name, -1, TRUE) == CSTR_EQUAL) ++count;
  ::CloseHandle(snapshot);
  return count;
}

// Stopped at the third of 24 files: end_to_end.sh checks afterwards that
// every video still plays with its media intact, tagged or not.
void StopEndsTheRun(const t_Setup& setup) {
  t_Mivora mivora(setup.program, {setup.work + L"many"}, setup.environment);
  if (mivora.Dialog() == nullptr) return Check(false, L"the dialog opens for the stopped run");
  mivora.Type(1008, L"Stopped");
  mivora.Press(1026);
  // A few files done, most still to come.
  int position = 0;
  Check(WaitFor([&] { return ProgressTitle(mivora.Title(), 24, &position) && position >= 3; }, 60s),
        L"the run reached the third file");
  // "Open with" on several videos: one program each, all at once, during the run.
  const std::wstring listed = mivora.Text(1002);
  const std::vector<std::wstring> handed = {setup.work + L"videos\\one.mp4", setup.work + L"videos\\two.mp4",
                                            setup.work + L"folder\\three.mp4"};
  {
    std::vector<std::unique_ptr<t_Mivora>> starts;
    for (const std::wstring& path : handed)
      starts.push_back(std::make_unique<t_Mivora>(setup.program, std::vector<std::wstring>{path}, setup.environment));
    for (const auto& start : starts)
      CheckEqual(std::to_wstring(start->WaitForExit(20s)), std::wstring(L"0"), L"a start during the run exits with 0");
  }
  CheckEqual(mivora.Text(1002), listed, L"the list stays as it is during the run");
  mivora.Press(1026);
  Check(WaitFor([&] { return mivora.Title() == L"Mivora" && mivora.Text(1026) == L"Apply"; }, 10s),
        L"Stop: title Mivora and button Apply at once");
  WaitFor([&] { return mivora.Text(1002).size() > listed.size(); }, 10s);
  const std::wstring after = mivora.Text(1002);
  Check(after.rfind(listed + L";", 0) == 0 &&
            std::all_of(handed.begin(), handed.end(),
                        [&](const std::wstring& path) { return after.find(L";" + path) != std::wstring::npos; }) &&
            std::count(after.begin(), after.end(), L';') == std::count(listed.begin(), listed.end(), L';') + 3,
        L"the paths handed over during the run join the list when it ends: " + after.substr(listed.size()));
  Check(RunningProcesses(L"ntag.exe") == 0, L"no tool runs after Stop");
  std::this_thread::sleep_for(500ms);
  Check(RunningProcesses(L"ntag.exe") == 0 && mivora.Title() == L"Mivora",
        L"the run stays stopped: no tool starts afterwards");
  Check(FindDialog(mivora.Id(), L"Mivora error") == nullptr, L"Stop reports nothing");
  CloseExpectingExitZero(mivora);
}

// Covers that once kept the dialog from showing: a scan bomb, a picture too
// large for the 32-bit program, a 3 GB file named .jpg. Whatever the cover,
// the dialog shows, answers and closes.
void HostileCovers(const t_Setup& setup) {
  const auto write = [&](const wchar_t* name, const n_zorbel::n_testing::t_Bytes& bytes, std::uintmax_t size = 0) {
    const std::filesystem::path path(setup.work + name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (size != 0) std::filesystem::resize_file(path, size);  // sparse: no disk taken
    return path.wstring();
  };
  const std::wstring covers[] = {
      write(L"bomb.jpg", n_zorbel::n_testing::Jpeg(4000, 4000, 20000)),
      write(L"8000.png", n_zorbel::n_testing::PngHeader(8000, 8000)),
      write(L"3 GB.jpg", {}, 3ull << 30),
  };
  for (const std::wstring& cover : covers) {
    t_Mivora mivora(setup.program, {cover}, setup.environment);
    if (mivora.Dialog() == nullptr) {
      Check(false, L"the dialog shows with the cover " + cover);
      continue;
    }
    CheckEqual(mivora.Text(1005), cover, L"the cover is named");
    mivora.Post(WM_CLOSE, 0, 0);
    Check(mivora.WaitForExit(20s) == 0, L"closed with exit code 0 with the cover " + cover);
  }
  for (const std::wstring& cover : covers) std::filesystem::remove(cover);
}

// The mutex held, but no window to take the paths (here the driver holds it):
// the second start says so and ends with 1.
void SecondStartWithoutAWindow(const t_Setup& setup) {
  const HANDLE marker = ::CreateMutexW(nullptr, FALSE, L"Mivora");
  t_Mivora second(setup.program, {setup.work + L"videos\\one.mp4"}, setup.environment);
  HWND box = nullptr;
  Check(WaitFor([&] { return (box = FindDialog(second.Id(), L"Mivora")) != nullptr; }, 30s),
        L"a second start that reaches no window shows a box");
  if (box != nullptr) {
    CheckBoxSays(box, L"Mivora is already running.\nThe files given to this start were not added; drop them onto "
                      L"its window.");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  CheckEqual(std::to_wstring(second.WaitForExit(20s)), std::wstring(L"1"),
             L"paths not handed over end the second start with 1");
  ::CloseHandle(marker);
}

// With no usable temporary folder start-up fails, and the exception ends the
// process with the escaped exception's exit code before any window shows.
void StartUpFailure(const t_Setup& setup) {
  std::map<std::wstring, std::wstring> environment = setup.environment;
  const std::wstring tooLong = L"C:\\" + std::wstring(300, L'x');
  environment[L"TMP"] = tooLong;
  environment[L"TEMP"] = tooLong;
  t_Mivora mivora(setup.program, {}, environment);
  CheckEqual(std::to_wstring(mivora.WaitForExit(30s)),
             std::to_wstring(n_zorbel::n_app::kEscapedExceptionExitCode),
             L"a start-up failure ends the program with the escaped exception's exit code");
  Check(FindDialog(mivora.Id(), L"") == nullptr, L"no window after a start-up failure");
}

// The interface language follows the user's: Dutch gets the Dutch texts, and
// a language the program does not carry (German) gets English, not whichever
// table happens to be stored first. Wine takes the language from the Linux
// locale of the whole process tree, so end_to_end.sh runs the driver again
// in each locale for this.
void LocaleTexts(const t_Setup& setup, const std::wstring& language) {
  const std::pair<int, const wchar_t*> dutch[] = {
      {1001, L"Video bestand(en)"}, {1003, L"Openen..."}, {1007, L"Titel"},
      {1009, L"Auteur"},            {1014, L"Jaar"},      {1024, L"Verwijder tags die leeg zijn"},
      {1026, L"Toepassen"},         {1027, L"Doneer"},    {1028, L"Over"},
  };
  t_Mivora mivora(setup.program, {}, setup.environment);
  if (mivora.Dialog() == nullptr) return Check(false, L"the dialog opens in " + language);
  if (language == L"dutch") {
    CheckLanguage(mivora, dutch, std::size(dutch), language);
  } else {
    CheckLanguage(mivora, kEnglishTexts, std::size(kEnglishTexts), language);
  }
  // The product name stays; the year has no thousands separator.
  CheckEqual(mivora.Title(), std::wstring(L"Mivora"), L"the title in " + language);
  CheckEqual(mivora.Text(1015), std::wstring(L"2016"), L"the year in " + language);
  mivora.Post(WM_CLOSE, 0, 0);
  mivora.WaitForExit(20s);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 && argc != 4) {
    std::fwprintf(stderr, L"usage: mivora_e2e_driver MIVORA.EXE WORK-FOLDER [dutch|english]\n");
    return 100;
  }
  t_Setup setup;
  setup.program = argv[1];
  setup.work = argv[2];
  if (setup.work.back() != L'\\') setup.work += L'\\';

  if (argc == 4) {
    LocaleTexts(setup, argv[3]);
  } else {
    NoFilesNoApply(setup);
    TagFourFiles(setup);
    LoadTagsRoundTrip(setup);
    LinkAtTheWorkspace(setup);
    WindowExtras(setup);
    FailureIsReported(setup);
    StopEndsTheRun(setup);
    StartUpFailure(setup);
    HostileCovers(setup);
    SecondStartWithoutAWindow(setup);
  }
  std::fwprintf(stdout, L"%d check(s) failed\n", g_failures);
  return g_failures;
}
