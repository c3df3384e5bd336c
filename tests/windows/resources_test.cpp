// The resources of the built mivora.exe, read back from the executable the
// way the loader sees them: dialog 203 control by control, every string in
// the four languages (each counting its NUL), the menus, the icon group, the
// film strips, the manifest, the version and the packed tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "system/error.hpp"
#include "system/text.hpp"
#include "test_program.hpp"
#include "ui/ids.hpp"
#include "ui/texts.hpp"
#include "ui/windows/resource_text.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_ui::t_Language;

class ResourcesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_module = ::LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  static void TearDownTestSuite() {
    if (s_module != nullptr) ::FreeLibrary(s_module);
  }
  void SetUp() override { ASSERT_NE(s_module, nullptr) << "cannot load MIVORA_EXE as data"; }

  // The bytes of one resource in one language, or none.
  static std::vector<std::uint8_t> Resource(LPCWSTR type, LPCWSTR name, WORD language) {
    const HRSRC found = ::FindResourceExW(s_module, type, name, language);
    if (found == nullptr) return {};
    const DWORD size = ::SizeofResource(s_module, found);
    const auto* bytes = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(s_module, found)));
    if (bytes == nullptr) return {};
    return {bytes, bytes + size};
  }

  static HMODULE s_module;
};
HMODULE ResourcesTest::s_module = nullptr;

constexpr WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

// --- Dialog 203 ------------------------------------------------------------------

class t_Reader {
 public:
  explicit t_Reader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
  template <typename T>
  T Read() {
    T value{};
    if (m_at + sizeof(T) > m_bytes.size()) throw std::out_of_range("past the resource");
    std::memcpy(&value, m_bytes.data() + m_at, sizeof(T));
    m_at += sizeof(T);
    return value;
  }
  // A string, or "#N" for an ordinal.
  std::wstring ReadNameOrOrdinal() {
    const auto first = Read<std::uint16_t>();
    if (first == 0xFFFF) return L"#" + std::to_wstring(Read<std::uint16_t>());
    std::wstring text;
    for (std::uint16_t c = first; c != 0; c = Read<std::uint16_t>()) text += static_cast<wchar_t>(c);
    return text;
  }
  void AlignTo4() { m_at = (m_at + 3) & ~std::size_t{3}; }
  void Skip(std::size_t count) { m_at += count; }

 private:
  const std::vector<std::uint8_t>& m_bytes;
  std::size_t m_at = 0;
};

struct t_ExpectedControl {
  int id;
  const wchar_t* windowClass;  // an ordinal of the predefined classes, or a name
  std::uint32_t style;
  short x, y, width, height;
};

constexpr const wchar_t* kButton = L"#128";
constexpr const wchar_t* kEdit = L"#129";
constexpr const wchar_t* kStatic = L"#130";

// The control table as a user sees the dialog, written out independently of
// the generator. The year spin has no thousands separator (0x80), so the year
// reads "2016".
const t_ExpectedControl kExpectedControls[] = {
    {1001, kStatic, 0x50020000, 7, 10, 75, 8},      {1002, kEdit, 0x50800880, 86, 7, 301, 14},
    {1003, kButton, 0x50010000, 391, 7, 50, 14},    {1004, kStatic, 0x50020000, 7, 28, 75, 8},
    {1005, kEdit, 0x50800880, 86, 25, 301, 14},     {1006, kButton, 0x50010300, 391, 25, 50, 14},
    {1007, kStatic, 0x50020000, 7, 46, 75, 8},      {1008, kEdit, 0x50810080, 86, 43, 174, 14},
    {1009, kStatic, 0x50020000, 7, 64, 75, 8},      {1010, kEdit, 0x50810080, 86, 61, 174, 14},
    {1011, kStatic, 0x50020000, 7, 82, 75, 8},      {1012, kEdit, 0x50810080, 86, 79, 97, 14},
    {1013, kButton, 0x50010000, 183, 79, 14, 14},   {1014, kStatic, 0x50020000, 201, 82, 20, 8},
    {1015, kEdit, 0x50812080, 221, 79, 38, 14},     {1016, L"msctls_updown32", 0x500001B6, 225, 79, 11, 14},
    {1017, kStatic, 0x50020000, 7, 100, 75, 8},     {1018, kEdit, 0x50810080, 86, 97, 174, 14},
    {1019, kStatic, 0x50020000, 7, 118, 75, 8},     {1020, kEdit, 0x50A10004, 86, 115, 174, 30},
    {1021, kStatic, 0x50020000, 7, 152, 75, 8},     {1022, kEdit, 0x50A10004, 86, 149, 174, 54},
    {1023, kStatic, 0x5000000D, 267, 43, 174, 160}, {1024, kButton, 0x50010003, 86, 212, 174, 10},
    {1026, kButton, 0x58010000, 267, 210, 50, 14},  {1027, kButton, 0x50010000, 337, 210, 50, 14},
    {1028, kButton, 0x50010000, 391, 210, 50, 14},
};

TEST_F(ResourcesTest, Dialog203IsTheControlTable) {
  const std::vector<std::uint8_t> bytes = Resource(RT_DIALOG, MAKEINTRESOURCEW(n_ui::kDialogId), kNeutral);
  ASSERT_FALSE(bytes.empty()) << "no language-neutral dialog 203";
  t_Reader dialog(bytes);
  EXPECT_EQ(dialog.Read<std::uint16_t>(), 1);       // extended template
  EXPECT_EQ(dialog.Read<std::uint16_t>(), 0xFFFF);  // signature
  dialog.Read<std::uint32_t>();                     // help id
  EXPECT_EQ(dialog.Read<std::uint32_t>(), 0x00140000u) << "extended style";
  EXPECT_EQ(dialog.Read<std::uint32_t>(), 0x16CA10C8u) << "style";
  const auto count = dialog.Read<std::uint16_t>();
  ASSERT_EQ(count, std::size(kExpectedControls));
  EXPECT_EQ(dialog.Read<std::int16_t>(), 0);
  EXPECT_EQ(dialog.Read<std::int16_t>(), 0);
  EXPECT_EQ(dialog.Read<std::int16_t>(), 448);
  EXPECT_EQ(dialog.Read<std::int16_t>(), 231);
  EXPECT_EQ(dialog.ReadNameOrOrdinal(), L"") << "no menu";
  EXPECT_EQ(dialog.ReadNameOrOrdinal(), L"") << "the default dialog class";
  EXPECT_EQ(dialog.ReadNameOrOrdinal(), L"") << "the title is set at run time";
  EXPECT_EQ(dialog.Read<std::uint16_t>(), 8) << "points";
  EXPECT_EQ(dialog.Read<std::uint16_t>(), 400) << "weight";
  EXPECT_EQ(dialog.Read<std::uint8_t>(), 0) << "italic";
  dialog.Read<std::uint8_t>();  // character set
  EXPECT_EQ(dialog.ReadNameOrOrdinal(), L"MS Shell Dlg");

  for (const t_ExpectedControl& expected : kExpectedControls) {
    SCOPED_TRACE(expected.id);
    dialog.AlignTo4();
    dialog.Read<std::uint32_t>();  // help id
    EXPECT_EQ(dialog.Read<std::uint32_t>(), 0u) << "extended style";
    const auto style = dialog.Read<std::uint32_t>();
    EXPECT_EQ(style, expected.style);
    EXPECT_EQ(dialog.Read<std::int16_t>(), expected.x);
    EXPECT_EQ(dialog.Read<std::int16_t>(), expected.y);
    EXPECT_EQ(dialog.Read<std::int16_t>(), expected.width);
    EXPECT_EQ(dialog.Read<std::int16_t>(), expected.height);
    EXPECT_EQ(dialog.Read<std::uint32_t>(), static_cast<std::uint32_t>(expected.id));
    EXPECT_EQ(::CompareStringOrdinal(dialog.ReadNameOrOrdinal().c_str(), -1, expected.windowClass, -1, TRUE),
              CSTR_EQUAL)
        << "class";
    EXPECT_EQ(dialog.ReadNameOrOrdinal(), L"") << "texts are set at run time";
    dialog.Skip(dialog.Read<std::uint16_t>());  // creation data
    // No button is a default push button, so Enter presses nothing.
    if (std::wstring(expected.windowClass) == kButton) {
      EXPECT_NE(style & 0x0F, 0x01u);
    }
  }
}

// --- Strings and menus ----------------------------------------------------------

// The entries of one string-table block: 16 counted strings.
std::vector<std::wstring> StringBlock(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::wstring> entries;
  t_Reader reader(bytes);
  for (int i = 0; i < 16; ++i) {
    const auto length = reader.Read<std::uint16_t>();
    std::wstring entry;
    for (int k = 0; k < length; ++k) entry += static_cast<wchar_t>(reader.Read<std::uint16_t>());
    entries.push_back(entry);
  }
  return entries;
}

WORD LanguageId(t_Language language) {
  return MAKELANGID(n_ui::WindowsPrimaryLanguage(language), SUBLANG_NEUTRAL);
}

TEST_F(ResourcesTest, EveryStringInEveryLanguageCountsItsNul) {
  for (const t_Language language : n_ui::kAllLanguages) {
    for (int id = n_ui::kFirstTextId; id <= n_ui::kLastTextId; ++id) {
      SCOPED_TRACE(std::string(n_ui::LanguageTag(language)) + " " + std::to_string(id));
      const std::vector<std::uint8_t> block =
          Resource(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), LanguageId(language));
      ASSERT_FALSE(block.empty());
      const std::wstring entry = StringBlock(block)[id % 16];
      ASSERT_FALSE(entry.empty());
      EXPECT_EQ(entry.back(), L'\0');
      EXPECT_EQ(entry.substr(0, entry.size() - 1), n_ui::LoadText(language, id));
    }
  }
}

TEST_F(ResourcesTest, LoadTextReadsEntriesInPlaceAndRefusesMissingOnes) {
  // The interface language here is English (the test's own locale).
  EXPECT_EQ(n_ui::n_windows::LoadResourceText(s_module, n_ui::kTextVideoFiles), L"Video file(s)");
  EXPECT_EQ(n_ui::n_windows::LoadResourceText(s_module, n_ui::kTextAlwaysOnTop), L"Always on top");
  try {
    n_ui::n_windows::LoadResourceText(s_module, n_ui::kLastTextId + 1);
    ADD_FAILURE() << "a missing string was read";
  } catch (const n_system::t_ErrorException& e) {
    EXPECT_EQ(static_cast<std::uint32_t>(e.Code()) & 0xFFFF0000u, 0x80070000u);
    EXPECT_NE(static_cast<std::uint32_t>(e.Code()) & 0xFFFFu, 0u);
  }
}

struct t_MenuEntry {
  UINT id;
  std::wstring text;
  UINT state;
};

std::vector<t_MenuEntry> MenuEntries(const std::vector<std::uint8_t>& bytes) {
  std::vector<t_MenuEntry> entries;
  const HMENU menu = ::LoadMenuIndirectW(bytes.data());
  if (menu == nullptr) return entries;
  const HMENU popup = ::GetSubMenu(menu, 0);
  for (int position = 0; popup != nullptr && position < ::GetMenuItemCount(popup); ++position) {
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = 128;
    ::GetMenuItemInfoW(popup, static_cast<UINT>(position), TRUE, &info);
    entries.push_back({info.wID, text, info.fState});
  }
  ::DestroyMenu(menu);
  return entries;
}

void ExpectMenu(const std::vector<t_MenuEntry>& entries, std::span<const n_ui::t_MenuItem> expected) {
  ASSERT_EQ(entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(entries[i].id, static_cast<UINT>(expected[i].command));
    EXPECT_EQ(entries[i].text, FromUtf8(expected[i].text));
    EXPECT_EQ(entries[i].state & MFS_CHECKED, 0u) << "no initial check marks";
  }
}

TEST_F(ResourcesTest, GenreMenuIsLanguageNeutralAndPreviewMenuIsInEveryLanguage) {
  const auto genres = Resource(RT_MENU, MAKEINTRESOURCEW(n_ui::kGenreMenuId), kNeutral);
  ASSERT_FALSE(genres.empty());
  ExpectMenu(MenuEntries(genres), n_ui::GenreMenuItems());
  for (const t_Language language : n_ui::kAllLanguages) {
    SCOPED_TRACE(n_ui::LanguageTag(language));
    const auto preview = Resource(RT_MENU, MAKEINTRESOURCEW(n_ui::kPreviewMenuId), LanguageId(language));
    ASSERT_FALSE(preview.empty());
    ExpectMenu(MenuEntries(preview), n_ui::PreviewMenuItems(language));
  }
}

// --- Artwork --------------------------------------------------------------------------

TEST_F(ResourcesTest, IconGroupHasTheNineSizesIn32Bits) {
  const auto group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(n_ui::kIconGroupId), kNeutral);
  ASSERT_FALSE(group.empty());
  t_Reader reader(group);
  reader.Read<std::uint16_t>();
  EXPECT_EQ(reader.Read<std::uint16_t>(), 1) << "icons";
  const auto count = reader.Read<std::uint16_t>();
  std::multiset<int> sizes;
  for (int i = 0; i < count; ++i) {
    const int width = reader.Read<std::uint8_t>();
    const int height = reader.Read<std::uint8_t>();
    reader.Skip(4);
    const auto bits = reader.Read<std::uint16_t>();
    reader.Skip(6);
    EXPECT_EQ(width, height);
    EXPECT_EQ(bits, 32);
    sizes.insert(width == 0 ? 256 : width);
  }
  EXPECT_EQ(sizes, (std::multiset<int>{16, 20, 24, 32, 40, 48, 64, 128, 256}));
}

TEST_F(ResourcesTest, FilmStripsArePremultipliedWithTransparentRingAndWindow) {
  struct t_Strip {
    int id;
    int height;
    int windowBottom;  // last row of the transparent window
  };
  for (const t_Strip strip :
       {t_Strip{n_ui::kReelTallBitmapId, 200, 183}, t_Strip{n_ui::kReelWideBitmapId, 150, 133}}) {
    SCOPED_TRACE(strip.id);
    const auto bytes = Resource(RT_BITMAP, MAKEINTRESOURCEW(strip.id), kNeutral);
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 256);
    EXPECT_EQ(std::abs(header.biHeight), strip.height);
    EXPECT_EQ(header.biBitCount, 32);
    std::size_t offset = header.biSize + (header.biCompression == BI_BITFIELDS ? 12 : 0);
    ASSERT_EQ(bytes.size(), offset + 256u * strip.height * 4);
    // Top-down pixel (x, y): blue, green, red, alpha.
    auto pixel = [&](int x, int y) {
      const int row = header.biHeight > 0 ? strip.height - 1 - y : y;
      return bytes.data() + offset + (static_cast<std::size_t>(row) * 256 + x) * 4;
    };
    for (int y = 0; y < strip.height; ++y)
      for (int x = 0; x < 256; ++x) {
        const std::uint8_t* p = pixel(x, y);
        ASSERT_LE(std::max({p[0], p[1], p[2]}), p[3]) << "not premultiplied at " << x << "," << y;
        const bool ring = x == 0 || y == 0 || x == 255 || y == strip.height - 1;
        const bool window = x >= 32 && x <= 219 && y >= 11 && y <= strip.windowBottom;
        if (ring || window) {
          ASSERT_EQ(p[3], 0) << "not transparent at " << x << "," << y;
        }
        const bool bar = x >= 32 && x <= 219 &&
                         ((y >= 4 && y <= 10) || (y > strip.windowBottom && y <= strip.windowBottom + 7));
        const bool edge =
            y >= 11 && y <= strip.windowBottom && ((x >= 29 && x <= 31) || (x >= 220 && x <= 222));
        if (bar || edge) {
          ASSERT_EQ(p[3], 255) << "not opaque at " << x << "," << y;
        }
      }
  }
}

// --- Manifest, version, tool package ---------------------------------------------------

TEST_F(ResourcesTest, ManifestAsksForCommonControls6DpiAwarenessAndTheInvokersLevel) {
  const auto bytes = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1), kNeutral);
  ASSERT_FALSE(bytes.empty());
  const std::string manifest(bytes.begin(), bytes.end());
  for (const char* needle : {
           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "level=\"asInvoker\"",
           ">true</dpiAware>",
           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10
       })
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
}

TEST_F(ResourcesTest, VersionIsTheProductsVersion) {
  const std::wstring path = ProgramPath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<std::uint8_t> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string version(n_ui::Version());
  EXPECT_EQ(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                std::to_string(HIWORD(fixed->dwFileVersionLS)),
            version);
  wchar_t* product = nullptr;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\StringFileInfo\\000004B0\\ProductVersion",
                               reinterpret_cast<void**>(&product), &length));
  EXPECT_EQ(std::wstring(product), FromUtf8(version));
}

TEST_F(ResourcesTest, CarriesTheToolPackageAsNamedType) {
  const HRSRC package = ::FindResourceW(s_module, MAKEINTRESOURCEW(202), L"RT_RCDATA");
  ASSERT_NE(package, nullptr);
  EXPECT_GT(::SizeofResource(s_module, package), 1000u);
}

}  // namespace
}  // namespace n_zorbel::n_testing
