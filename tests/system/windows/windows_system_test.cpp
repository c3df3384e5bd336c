// What only Windows has: GetLastError, the TMP variable behind GetTempPathW,
// and read-only files that refuse deletion.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/scratch_folder.hpp"
#include "system/error.hpp"
#include "system/folder_walker.hpp"
#include "system/temp_folder.hpp"

namespace n_zorbel::n_system {
namespace {

using n_testing::t_ScratchFolder;

// Sets one environment variable for a scope, then restores it.
class t_EnvironmentVariable {
 public:
  t_EnvironmentVariable(const wchar_t* name, const wchar_t* value) : m_name(name) {
    wchar_t old[32768];
    const DWORD length = GetEnvironmentVariableW(name, old, 32768);
    if (length > 0 && length < 32768) m_old = std::wstring(old, length);
    SetEnvironmentVariableW(name, value);
  }
  ~t_EnvironmentVariable() { SetEnvironmentVariableW(m_name, m_old ? m_old->c_str() : nullptr); }
  t_EnvironmentVariable(const t_EnvironmentVariable&) = delete;
  t_EnvironmentVariable& operator=(const t_EnvironmentVariable&) = delete;

 private:
  const wchar_t* m_name;
  std::optional<std::wstring> m_old;
};

TEST(WindowsErrors, LastSystemErrorIsGetLastError) {
  for (const DWORD error : {0ul, 2ul, 5ul, 0x12345ul}) {
    SetLastError(error);
    EXPECT_EQ(LastSystemError(), error);
  }
}

TEST(WindowsTempFolder, GainsTheTrailingBackslash) {
  struct Case {
    const wchar_t* tmp;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"C:\\Temp", L"C:\\Temp\\"},
      {L"C:\\Temp\\", L"C:\\Temp\\"},
  };
  for (const Case& c : cases) {
    t_EnvironmentVariable tmp(L"TMP", c.tmp);
    EXPECT_EQ(TempFolderPath(), c.expected) << ToUtf8(c.tmp);
  }
}

TEST(WindowsTempFolder, TooLongAPathRaises) {
  t_EnvironmentVariable tmp(L"TMP", (L"C:\\" + std::wstring(300, L'a')).c_str());
  const DWORD needed = GetTempPathW(0, nullptr);
  if (needed <= MAX_PATH + 1) GTEST_SKIP() << "this system shortens a long TMP to " << needed;
  EXPECT_THROW(TempFolderPath(), t_ErrorException);
}

TEST(WindowsRemoveTree, AReadOnlyFileStopsTheRemovalWithAccessDenied) {
  t_ScratchFolder root;
  root.MakeFile(L"work/locked.txt");
  ASSERT_TRUE(SetFileAttributesW((root / L"work/locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  try {
    RemoveTree(root / L"work/");
    ADD_FAILURE() << "nothing raised";
  } catch (const t_FolderWalkerBase::t_ErrorException&) {
    ADD_FAILURE() << "a deletion failure is a system error, not a folder error";
  } catch (const t_ErrorException& error) {
    EXPECT_EQ(error.Code(), ConvertSystemError(ERROR_ACCESS_DENIED));
  }
  EXPECT_TRUE(root.Exists(L"work/locked.txt"));
  SetFileAttributesW((root / L"work/locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace n_zorbel::n_system
