// Writes the resource script of mivora.exe's dialog, string tables and menus
// from the dialog code's own texts and identifiers, so the Windows resources
// and the Qt dialog can never tell different stories.
//   mivora_rcgen OUTPUT.rc
// Every string-table entry is written with an explicit terminating NUL: the
// program reads entries in place (LoadStringW with a zero buffer size) and
// accepts one only when its last counted character is that NUL.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "ntag/utf.hpp"
#include "ui/ids.hpp"
#include "ui/texts.hpp"

namespace {

using namespace n_zorbel::n_ui;

// One control of dialog 203, in template (and tab) order. Rectangles are in
// dialog units.
struct t_Control {
  int id;
  const char* windowClass;
  std::uint32_t style;
  int x, y, width, height;
};

constexpr std::uint32_t kLabel = 0x50020000;         // static, left, group start
constexpr std::uint32_t kReadOnlyEdit = 0x50800880;  // border, read-only, auto-scroll, no tab stop
constexpr std::uint32_t kButton = 0x50010000;        // push button, tab stop
constexpr std::uint32_t kLineEdit = 0x50810080;      // border, tab stop, auto-scroll
constexpr std::uint32_t kTextEdit = 0x50A10004;      // multi-line, vertical scroll bar, wrapping
// The year spin: sets its buddy's text as an integer, right of the buddy, takes
// the previous control as buddy, arrow keys, hot tracking, and no thousands
// separator, so the Year field (and the year tag) reads "2016", not "2,016".
constexpr std::uint32_t kYearSpinStyle = 0x500001B6;

constexpr t_Control kControls[] = {
    {kVideoListLabel, "Static", kLabel, 7, 10, 75, 8},
    {kVideoList, "Edit", kReadOnlyEdit, 86, 7, 301, 14},
    {kBrowseVideos, "Button", kButton, 391, 7, 50, 14},
    {kCoverPathLabel, "Static", kLabel, 7, 28, 75, 8},
    {kCoverPath, "Edit", kReadOnlyEdit, 86, 25, 301, 14},
    {kBrowseCover, "Button", 0x50010300, 391, 25, 50, 14},
    {kTitleLabel, "Static", kLabel, 7, 46, 75, 8},
    {kTitle, "Edit", kLineEdit, 86, 43, 174, 14},
    {kAuthorLabel, "Static", kLabel, 7, 64, 75, 8},
    {kAuthor, "Edit", kLineEdit, 86, 61, 174, 14},
    {kGenreLabel, "Static", kLabel, 7, 82, 75, 8},
    {kGenre, "Edit", kLineEdit, 86, 79, 97, 14},
    {kGenreButton, "Button", kButton, 183, 79, 14, 14},
    {kYearLabel, "Static", kLabel, 201, 82, 20, 8},
    {kYear, "Edit", 0x50812080, 221, 79, 38, 14},
    {kYearSpin, "msctls_updown32", kYearSpinStyle, 225, 79, 11, 14},
    {kAudioSourcesLabel, "Static", kLabel, 7, 100, 75, 8},
    {kAudioSources, "Edit", kLineEdit, 86, 97, 174, 14},
    {kVideoSourcesLabel, "Static", kLabel, 7, 118, 75, 8},
    {kVideoSources, "Edit", kTextEdit, 86, 115, 174, 30},
    {kCommentLabel, "Static", kLabel, 7, 152, 75, 8},
    {kComment, "Edit", kTextEdit, 86, 149, 174, 54},
    {kPreview, "Static", 0x5000000D, 267, 43, 174, 160},
    {kRemoveBlank, "Button", 0x50010003, 86, 212, 174, 10},
    {kApply, "Button", 0x58010000, 267, 210, 50, 14},
    {kDonate, "Button", kButton, 337, 210, 50, 14},
    {kAbout, "Button", kButton, 391, 210, 50, 14},
};

bool IsHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A wide string literal that windres reads back exactly: anything outside
// printable ASCII, the quote, the backslash, and a hex digit right after a
// hex escape (which would extend it) become four-digit hex escapes.
std::string WideLiteral(std::string_view utf8, bool withNul) {
  std::string out = "L\"";
  bool afterEscape = false;
  for (const char16_t c : n_zorbel::n_ntag::Utf8ToUtf16(utf8)) {
    if (c < 0x20 || c > 0x7E || c == u'"' || c == u'\\' || (afterEscape && IsHexDigit(c))) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%04X", static_cast<unsigned>(c));
      out += escape;
      afterEscape = true;
    } else {
      out += static_cast<char>(c);
      afterEscape = false;
    }
  }
  if (withNul) out += "\\0";
  return out + "\"";
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

// The predefined classes by their ordinals, as the dialog manager knows them;
// windres would store their names instead.
std::string WindowClass(std::string_view name) {
  if (name == "Button") return "0x0080";
  if (name == "Edit") return "0x0081";
  if (name == "Static") return "0x0082";
  std::string quoted = "\"";
  quoted.append(name);
  quoted += '"';
  return quoted;
}

void WriteDialog(std::ostream& rc) {
  rc << "LANGUAGE 0, 0\n"
     << kDialogId << " DIALOGEX 0, 0, 448, 231\n"
     << "STYLE 0x16CA10C8\n"
     << "EXSTYLE 0x00140000\n"
     << "FONT 8, \"MS Shell Dlg\", 400, 0, 1\n"
     << "BEGIN\n";
  for (const t_Control& c : kControls)
    rc << "  CONTROL \"\", " << c.id << ", " << WindowClass(c.windowClass) << ", " << Hex(c.style, 8) << ", "
       << c.x << ", " << c.y << ", " << c.width << ", " << c.height << "\n";
  rc << "END\n\n";
}

void WriteMenu(std::ostream& rc, int id, std::span<const t_MenuItem> items) {
  rc << id << " MENU\nBEGIN\n  POPUP \"\"\n  BEGIN\n";
  for (const t_MenuItem& item : items)
    rc << "    MENUITEM " << WideLiteral(item.text, false) << ", " << item.command << "\n";
  rc << "  END\nEND\n\n";
}

void WriteTables(std::ostream& rc, Language language, int sublanguage) {
  rc << "LANGUAGE " << Hex(WindowsPrimaryLanguage(language), 2) << ", " << sublanguage << "\n"
     << "STRINGTABLE\nBEGIN\n";
  for (const t_TextEntry& entry : StringTable(language))
    rc << "  " << entry.id << ", " << WideLiteral(entry.text, true) << "\n";
  rc << "END\n\n";
  WriteMenu(rc, kPreviewMenuId, PreviewMenuItems(language));
}

std::string Script() {
  std::ostringstream rc;
  rc << "// Generated by mivora_rcgen from the dialog's texts and identifiers. Do not edit.\n\n";
  WriteDialog(rc);
  rc << "LANGUAGE 0, 0\n";
  WriteMenu(rc, kGenreMenuId, GenreMenuItems());
  for (const Language language : kAllLanguages) {
    // Primary language with the neutral sublanguage: the loader finds it for
    // every regional variant of the language.
    WriteTables(rc, language, 0);
  }
  // English once more as en-US: Wine, for a language we do not carry, looks
  // for en-US and then takes the first table stored (Greek, by its id), and
  // ignores the English that the program appends to its preferred languages.
  // Windows finds the same English either way.
  WriteTables(rc, Language::English, 1);
  return rc.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.rc\n", argv[0]);
    return 2;
  }
  try {
    const std::string script = Script();
    // Rewritten only when it changes, so an unchanged script does not relink.
    std::ifstream old(argv[1], std::ios::binary);
    const std::string previous{std::istreambuf_iterator<char>(old), std::istreambuf_iterator<char>()};
    if (previous == script) return 0;
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << script;
    if (!out.flush()) {
      std::fprintf(stderr, "mivora_rcgen: cannot write %s\n", argv[1]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mivora_rcgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
