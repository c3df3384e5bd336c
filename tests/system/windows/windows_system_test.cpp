// What only Windows has: GetLastError, the TMP variable behind GetTempPathW,
// read-only files that refuse deletion, and junctions.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

// Makes `link` a junction to `target` (what mklink /J does); the empty text
// when it worked, else why not.
std::string TryMakeJunction(const std::wstring& target, const std::wstring& link) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return "cannot make the junction folder";
  const HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return "cannot open the junction folder";
  // REPARSE_DATA_BUFFER for a mount point: tag, length, reserved, then the
  // substitute name (NT form) and an empty print name, each NUL-terminated.
  const std::wstring substitute = L"\\??\\" + target;
  const auto substituteBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  std::vector<WORD> names(4);
  names[0] = 0;
  names[1] = substituteBytes;
  names[2] = static_cast<WORD>(substituteBytes + sizeof(wchar_t));
  names[3] = 0;
  const WORD dataLength = static_cast<WORD>(8 + substituteBytes + 2 * sizeof(wchar_t));
  std::vector<BYTE> buffer(8 + dataLength, 0);
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(buffer.data(), &tag, 4);
  std::memcpy(buffer.data() + 4, &dataLength, 2);
  std::memcpy(buffer.data() + 8, names.data(), 8);
  std::memcpy(buffer.data() + 16, substitute.data(), substituteBytes);
  DWORD returned = 0;
  const BOOL made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (!made) return "this system cannot make junctions (error " + std::to_string(error) + ")";
  if ((GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    return "the junction did not take";
  return std::string();
}

TEST(WindowsRemoveTree, AJunctionIsRemovedButNotWhatItNames) {
  t_ScratchFolder root;
  root.MakeFile(L"outside/keep.mp4", "precious");
  root.MakeFile(L"work/ntag.exe");
  if (const auto reason = TryMakeJunction(root / L"outside", root / L"work/junction"); !reason.empty()) {
    RemoveDirectoryW((root / L"work/junction").c_str());
    GTEST_SKIP() << reason;
  }
  bool sawLink = false;
  WalkFolder(root / L"work/", [&](const t_String&, const t_FolderEntry& entry) {
    if (entry.name == L"junction") sawLink = entry.isLink && entry.isFolder;
  });
  EXPECT_TRUE(sawLink);
  RemoveTree(root / L"work/");
  EXPECT_FALSE(root.Exists(L"work"));
  EXPECT_TRUE(root.Exists(L"outside/keep.mp4"));
}

TEST(WindowsErrors, LastSystemErrorIsGetLastError) {
  for (const DWORD error : {0ul, 2ul, 5ul, 0x12345ul}) {
    SetLastError(error);
    EXPECT_EQ(LastSystemError(), error);
  }
}

TEST(WindowsTempFolder, GainsTheTrailingBackslash) {
  struct t_Case {
    const wchar_t* tmp;
    const wchar_t* expected;
  };
  const t_Case cases[] = {
      {L"C:\\Temp", L"C:\\Temp\\"},
      {L"C:\\Temp\\", L"C:\\Temp\\"},
  };
  for (const t_Case& c : cases) {
    t_EnvironmentVariable tmp(L"TMP", c.tmp);
    EXPECT_EQ(TempFolderPath(), c.expected) << ToUtf8(c.tmp);
  }
}

TEST(WindowsTempFolder, TooLongAPathRaises) {
  t_EnvironmentVariable tmp(L"TMP", (L"C:\\" + std::wstring(300, L'a')).c_str());
  // The system either refuses (0) or asks for more than MAX_PATH; both must raise.
  const DWORD needed = GetTempPathW(0, nullptr);
  if (needed >= 2 && needed <= MAX_PATH + 1) GTEST_SKIP() << "this system shortens a long TMP to " << needed;
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
