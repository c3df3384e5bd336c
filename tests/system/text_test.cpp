#include "system/text.hpp"

#include <gtest/gtest.h>

#include <string>

#include "system/utf8.hpp"

namespace n_zorbel {
namespace {

// Tag values and file names cross between UTF-8 (ntag, the tests, POSIX) and
// the native text; every valid text must survive the round trip unchanged.
TEST(Text, ValidTextSurvivesTheRoundTrip) {
  const std::string cases[] = {
      "",
      "Blue Sky",
      "\xD0\x9C\xD0\xB8\xD1\x80",                          // Cyrillic
      "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1",  // Greek
      "\xE6\x97\xA5\xE6\x9C\xAC",                          // Japanese
      "\xF0\x9F\x8E\xAC clip \xF0\x9F\x8E\xB5",            // emoji: a surrogate pair each on Windows
      std::string("nul\0inside", 10),
  };
  for (const std::string& utf8 : cases) {
    EXPECT_EQ(ToUtf8(FromUtf8(utf8)), utf8);
  }
}

#ifdef _WIN32
TEST(Text, ConvertsToUtf16WithSurrogatePairs) {
  EXPECT_EQ(FromUtf8("\xF0\x9F\x8E\xAC"), std::wstring(L"\xD83C\xDFAC"));
  EXPECT_EQ(FromUtf8("\xC3\xA9t\xC3\xA9"), std::wstring(L"\x00E9t\x00E9"));
}

TEST(Text, InvalidInputBecomesTheReplacementCharacter) {
  EXPECT_EQ(FromUtf8("a\xC3z"), std::wstring(L"a\xFFFDz"));
  EXPECT_EQ(ToUtf8(std::wstring(L"a\xD800z")), "a\xEF\xBF\xBDz");
}
#else
TEST(Text, PosixNamesPassAsBytesEvenWhenNotUtf8) {
  const std::string name = "clip\xFF\xFE.mp4";
  EXPECT_EQ(FromUtf8(name), name);
  EXPECT_EQ(ToUtf8(name), name);
}
#endif

// The one codec under both: each bad sequence becomes one U+FFFD and the byte that
// broke it starts the next character.
TEST(Utf8, ConvertsAndChecksEachForm) {
  const struct {
    std::string utf8;
    std::u16string utf16;
    bool valid;
  } cases[] = {
      {"A\xC3\xA9\xE2\x82\xAC\xD0\x96", u"A\u00E9\u20AC\u0416", true},
      {"\xF0\x9F\x8E\xAC", {0xD83C, 0xDFAC}, true},  // a surrogate pair in UTF-16
      {std::string("nul\0", 4), std::u16string(u"nul\0", 4), true},
      {"\xFF", u"\uFFFD", false},              // never a UTF-8 byte
      {"a\x80z", u"a\uFFFDz", false},          // lone continuation byte
      {"\xC3", u"\uFFFD", false},              // cut short at the end
      {"\xE2\x82x", u"\uFFFDx", false},        // cut short by the next character
      {"\xC0\xAF", u"\uFFFD", false},          // overlong form of '/'
      {"\xED\xA0\x80", u"\uFFFD", false},      // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD", false},  // past U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.utf8), c.valid) << c.utf8;
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    if (c.valid) {
      EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
    }
  }
  // Unpaired surrogates, high or low, on their own or at the end.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', 0xD800, u'y', 0xDC00}), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83C}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace n_zorbel
