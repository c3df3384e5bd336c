#include "system/text.hpp"

#include <gtest/gtest.h>

#include <string>

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

TEST(Text, MalformedInputBecomesTheReplacementCharacter) {
  const std::pair<std::string, std::wstring> cases[] = {
      {"\xFF", L"\xFFFD"},              // never a UTF-8 byte
      {"a\x80z", L"a\xFFFDz"},          // lone continuation byte
      {"\xC3", L"\xFFFD"},              // sequence cut short
      {"\xC0\xAF", L"\xFFFD"},          // overlong form of '/'
      {"\xED\xA0\x80", L"\xFFFD"},      // an encoded surrogate
      {"\xF4\x90\x80\x80", L"\xFFFD"},  // past U+10FFFF
  };
  for (const auto& [utf8, expected] : cases) {
    EXPECT_EQ(FromUtf8(utf8), expected) << utf8;
  }
  EXPECT_EQ(ToUtf8(std::wstring(L"a\xD800z")), "a\xEF\xBF\xBDz");  // lone surrogate
}
#else
TEST(Text, PosixNamesPassAsBytesEvenWhenNotUtf8) {
  const std::string name = "clip\xFF\xFE.mp4";
  EXPECT_EQ(FromUtf8(name), name);
  EXPECT_EQ(ToUtf8(name), name);
}
#endif

}  // namespace
}  // namespace n_zorbel
