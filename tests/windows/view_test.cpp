// The adapter's dialog in this process, from mivora.exe's own template and
// strings: what can only be seen from inside (the window's own menu and its
// check mark, the message-result slot, the placeholder painted through
// WM_DRAWITEM) and an exception that must leave the dialog loop intact.
#include "ui/windows/view.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "intake/path_queries.hpp"
#include "tagging/job_system.hpp"
#include "test_program.hpp"
#include "tools/module.hpp"
#include "ui/ids.hpp"
#include "ui/main_dialog.hpp"
#include "ui/windows/cover_decoder.hpp"
#include "ui/windows/handed_paths.hpp"

namespace n_zorbel::n_testing {
namespace {

class t_FailingDecoder final : public n_preview::t_CoverDecoder {
 public:
  void Start(const t_String&, n_preview::t_CoverDelivery) override { throw std::runtime_error("decoder failed"); }
  void Abandon() noexcept override {}
};

// Runs `script` inside the dialog's modal loop, once the dialog exists.
class Win32ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    m_program = ::LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m_program, nullptr);
  }
  void TearDown() override {
    if (m_program != nullptr) ::FreeLibrary(m_program);
    ::OleUninitialize();
  }

  INT_PTR Run(n_preview::t_CoverDecoder& decoder, std::vector<t_String> arguments,
              std::function<void(HWND)> script) {
    n_tools::t_MemoryModule noPackage({});
    n_tagging::t_RealJobSystem jobs(noPackage);
    n_ui::t_MainDialogSetup setup;
    setup.arguments = std::move(arguments);
    n_ui::t_MainDialog dialog(setup, {jobs, n_intake::t_SystemPathQueries::Instance(), decoder});
    n_ui::n_windows::t_Win32View window(m_program, dialog, {});
    s_window = &window;
    s_script = std::move(script);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &RunScript);
    const INT_PTR result = window.Run();
    ::KillTimer(nullptr, timer);
    return result;
  }

  static void CALLBACK RunScript(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND dialog = ::FindWindowW(L"#32770", L"Mivora");
    if (dialog == nullptr || !s_script) return;
    ::KillTimer(nullptr, timer);
    const auto script = std::exchange(s_script, nullptr);
    script(dialog);
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  }

  static std::function<void(HWND)> s_script;
  static n_ui::n_windows::t_Win32View* s_window;
  HMODULE m_program = nullptr;
};
std::function<void(HWND)> Win32ViewTest::s_script;
n_ui::n_windows::t_Win32View* Win32ViewTest::s_window = nullptr;

// The title field made to answer as a field edited while it is read would:
// another length than its text's, or a copy short by some characters.
struct t_TornText {
  std::optional<LRESULT> length;
  LRESULT shortBy = 0;
};
t_TornText g_torn;
WNDPROC g_editProcedure = nullptr;

LRESULT CALLBACK TornEdit(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETTEXTLENGTH && g_torn.length) return *g_torn.length;
  const LRESULT result = ::CallWindowProcW(g_editProcedure, window, message, wParam, lParam);
  if (message != WM_GETTEXT) return result;
  const LRESULT copied = std::max<LRESULT>(0, result - g_torn.shortBy);
  reinterpret_cast<wchar_t*>(lParam)[copied] = L'\0';
  return copied;
}

// Where the first pop-up menu that opened was, once it is closed again.
std::optional<POINT> g_menuAt;

void CALLBACK CloseOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
  const HWND menu = ::FindWindowW(L"#32768", nullptr);
  if (menu == nullptr || !::IsWindowVisible(menu)) return;
  RECT rect{};
  ::GetWindowRect(menu, &rect);
  if (!g_menuAt) g_menuAt = POINT{rect.left, rect.top};
  ::EndMenu();
}

TEST_F(Win32ViewTest, TheMenuKeyFromAButtonOpensThePreviewMenuAtThePreviewsCorner) {
  n_ui::n_windows::t_GdiplusSession gdiplus;
  n_ui::n_windows::t_GdiplusCoverDecoder decoder;
  Run(decoder, {}, [&](HWND dialog) {
    const HWND button = ::GetDlgItem(dialog, n_ui::kBrowseVideos);
    RECT preview{};
    ::GetWindowRect(::GetDlgItem(dialog, n_ui::kPreview), &preview);
    const UINT_PTR closer = ::SetTimer(nullptr, 0, 50, &CloseOpenMenu);
    // A mouse position is a right press, not ours; the keyboard's comes as (-1, -1)
    // from the focused button, which hands it to the dialog.
    g_menuAt.reset();
    ::SendMessageW(button, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button), MAKELPARAM(10, 10));
    EXPECT_FALSE(g_menuAt);
    ::SendMessageW(button, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button), MAKELPARAM(-1, -1));
    ::KillTimer(nullptr, closer);
    ASSERT_TRUE(g_menuAt);
    EXPECT_EQ(g_menuAt->x, preview.left);
    EXPECT_EQ(g_menuAt->y, preview.top);
  });
}

TEST_F(Win32ViewTest, AlwaysOnTopLeadsTheWindowMenuAndCarriesItsCheckMark) {
  n_ui::n_windows::t_GdiplusSession gdiplus;
  n_ui::n_windows::t_GdiplusCoverDecoder decoder;
  bool ran = false;
  const INT_PTR result = Run(decoder, {}, [&](HWND dialog) {
    ran = true;
    const HMENU menu = ::GetSystemMenu(dialog, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(::GetMenuItemID(menu, 0), 40101u);
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), L"Always on top");
    EXPECT_NE(::GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);
    auto checked = [&] {
      ::SendMessageW(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
      return (::GetMenuState(menu, 40101, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    EXPECT_FALSE(checked());
    ::SendMessageW(dialog, WM_SYSCOMMAND, 40101, 0);
    EXPECT_TRUE(checked());
    EXPECT_NE(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    ::SendMessageW(dialog, WM_SYSCOMMAND, 40101, 0);
    EXPECT_FALSE(checked());
    EXPECT_EQ(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    // Escape and Enter do not close the dialog.
    ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(::IsWindowVisible(dialog));
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(result, 0);
}

TEST_F(Win32ViewTest, HitTestAnswersThroughTheMessageResultAndDrawItemPaintsThePlaceholder) {
  n_ui::n_windows::t_GdiplusSession gdiplus;
  n_ui::n_windows::t_GdiplusCoverDecoder decoder;
  Run(decoder, {}, [&](HWND dialog) {
    RECT client{};
    ::GetClientRect(dialog, &client);
    ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_EQ(::SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(client.left + 1, client.top + 1)),
              HTCAPTION);
    EXPECT_EQ(::GetWindowLongPtrW(dialog, DWLP_MSGRESULT), HTCAPTION);

    // The preview paints into whatever context it is handed.
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 100, 80);
    ::ReleaseDC(nullptr, screen);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_STATIC;
    item.CtlID = 1023;
    item.hwndItem = ::GetDlgItem(dialog, 1023);
    item.hDC = memory;
    item.rcItem = {0, 0, 100, 80};
    ::SendMessageW(dialog, WM_DRAWITEM, 1023, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(::GetPixel(memory, 0, 0), ::GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(::GetPixel(memory, 10, 10), ::GetSysColor(COLOR_BTNFACE));
    // A draw request without an item is answered and ignored.
    ::SendMessageW(dialog, WM_DRAWITEM, 1023, 0);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
  });
}

TEST_F(Win32ViewTest, AControlTextIsReadWholeOrNotAtAll) {
  n_ui::n_windows::t_GdiplusSession gdiplus;
  n_ui::n_windows::t_GdiplusCoverDecoder decoder;
  Run(decoder, {},
      [&](HWND dialog) {
        const HWND title = ::GetDlgItem(dialog, n_ui::kTitle);
        g_editProcedure = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(title, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TornEdit)));
        const struct {
          const wchar_t* text;
          t_TornText torn;
          const wchar_t* read;
        } cases[] = {
            {L"Title", {}, L"Title"}, {L"", {}, L""},       {L"   ", {}, L"   "},
            {L"Title", {{}, 1}, L""}, {L"Title", {7}, L""}, {L"Title", {-1}, L""},
            {L"Title", {3}, L"Tit"},  // the first characters, as the field gives them
        };
        for (const auto& c : cases) {
          g_torn = {};
          ::SetWindowTextW(title, c.text);
          g_torn = c.torn;
          EXPECT_EQ(s_window->ControlText(n_ui::kTitle), c.read)
              << c.text << " " << c.torn.length.value_or(-9) << " " << c.torn.shortBy;
        }
        g_torn = {};
      });
}

TEST_F(Win32ViewTest, OnlyASessionThatIsEndingClosesTheDialog) {
  n_ui::n_windows::t_GdiplusSession gdiplus;
  n_ui::n_windows::t_GdiplusCoverDecoder decoder;
  const struct {
    WPARAM ending;
    LPARAM flags;
    bool closes;
  } cases[] = {
      {FALSE, 0, false},
      {TRUE, 0, true},
      {FALSE, ENDSESSION_CLOSEAPP, true},
      {FALSE, static_cast<LPARAM>(ENDSESSION_CRITICAL), true},
      {FALSE, static_cast<LPARAM>(ENDSESSION_LOGOFF), false},
  };
  for (const auto& c : cases) {
    Run(decoder, {}, [&](HWND dialog) {
      ::SendMessageW(dialog, WM_ENDSESSION, c.ending, c.flags);
      EXPECT_EQ(::IsWindowVisible(dialog) == FALSE, c.closes) << c.ending << " " << c.flags;
    });
  }
}

TEST_F(Win32ViewTest, OnlyAWellFormedHandoverJoinsTheListOfTheWindowASecondStartFinds) {
  n_ui::n_windows::t_GdiplusSession gdiplus;
  n_ui::n_windows::t_GdiplusCoverDecoder decoder;
  Run(decoder, {L"C:\\a.mp4"}, [&](HWND dialog) {
    EXPECT_EQ(n_ui::n_windows::FindRunningWindow(), dialog);
    const std::vector<t_String> paths = {L"C:\\b.mp4", L"C:\\c.mp4"};
    const t_String data = n_ui::n_windows::EncodeHandedPaths(paths);
    const DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    const struct {
      ULONG_PTR tag;
      DWORD bytes;
      LRESULT taken;
      const wchar_t* list;
    } cases[] = {
        {n_ui::n_windows::kHandedPathsTag + 1, bytes, FALSE, L"C:\\a.mp4"},  // another program's data
        {n_ui::n_windows::kHandedPathsTag, bytes - 1, FALSE, L"C:\\a.mp4"},  // half a character
        {n_ui::n_windows::kHandedPathsTag, 0, TRUE, L"C:\\a.mp4"},           // no paths: only raised
        {n_ui::n_windows::kHandedPathsTag, bytes - 2, TRUE, L"C:\\a.mp4;C:\\b.mp4;C:\\c.mp4"},  // unterminated
    };
    for (const auto& c : cases) {
      COPYDATASTRUCT copy{c.tag, c.bytes, const_cast<wchar_t*>(data.data())};
      EXPECT_EQ(::SendMessageW(dialog, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)), c.taken) << c.list;
      EXPECT_EQ(s_window->ControlText(n_ui::kVideoList), c.list);
    }
  });
  EXPECT_EQ(n_ui::n_windows::FindRunningWindow(), nullptr);
}

TEST_F(Win32ViewTest, AnExceptionInAHandlerEndsTheDialogAndIsRaisedFromRun) {
  t_FailingDecoder decoder;
  // The cover on the command line is decoded while the dialog opens.
  EXPECT_THROW(Run(decoder, {L"C:\\covers\\cover.jpg"}, [](HWND) {}), std::runtime_error);
  EXPECT_EQ(::FindWindowW(L"#32770", L"Mivora"), nullptr);
}

}  // namespace
}  // namespace n_zorbel::n_testing
