#include "platform/copy_mark.hpp"

#include <windows.h>

#include <string>

#include "platform/platform_file.hpp"
#include "platform/platform_handle.hpp"

namespace n_zorbel::n_ntag {
namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Narrow(const std::wstring& name) {
  std::string ascii;
  for (const wchar_t c : name) {
    if (c > 0x7F) return {};  // never one of ours
    ascii.push_back(static_cast<char>(c));
  }
  return ascii;
}

bool MarkForDeletion(HANDLE h, bool on = true) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = on ? TRUE : FALSE;
  return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

// Opens `path` as the entry it is (a link not followed), shared with no one; none when it is
// not a plain file or someone holds it (a living run holds its lock).
HANDLE OpenPlainFileAlone(const std::wstring& path, DWORD access) {
  HANDLE h =
      CreateFileW(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(h);
    return nullptr;
  }
  return h;
}

t_LockProof ProofOfFoundLock(HANDLE h, const t_CopyNames& names) {
  std::string start(LockContent(names).size() + 1, '\0');
  DWORD got = 0;
  if (!ReadFile(h, start.data(), static_cast<DWORD>(start.size()), &got, nullptr))
    return t_LockProof::NotOurs;
  start.resize(got);
  return ProofOfLock(start, names);
}

}  // namespace

std::intptr_t CreateCopyLock(const std::wstring& folder, const t_CopyNames& names) {
  // Shared for reading only: a later run that can open it alone knows its run has ended.
  HANDLE h = CreateFileW((folder + Wide(names.lock)).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw SystemError(static_cast<long>(GetLastError()));
  // Marked for deletion until it holds its line; a kill before the mark leaves it empty, held
  // by no one, and the next run removes it alone. No other run can take it while it lives.
  (void)MarkForDeletion(h);
  const std::string content = LockContent(names);
  DWORD written = 0;
  if (!WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
      written != content.size() || !MarkForDeletion(h, false)) {
    const DWORD error = GetLastError();
    (void)MarkForDeletion(h);
    CloseHandle(h);
    throw SystemError(static_cast<long>(error));
  }
  return reinterpret_cast<std::intptr_t>(h);
}

bool MarkCopyLockForDeletion(std::intptr_t lock, bool on) {
  return MarkForDeletion(reinterpret_cast<HANDLE>(lock), on);
}

void RemoveCopyLock(std::intptr_t lock) {
  const auto h = reinterpret_cast<HANDLE>(lock);
  (void)MarkForDeletion(h);
  CloseHandle(h);
}

void RemoveAbandonedCopies(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L".ntag-*.lock").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const auto names = CopyNamesOfLock(Narrow(found.cFileName));
    if (!names) continue;
    HANDLE lock = OpenPlainFileAlone(folder + found.cFileName, GENERIC_READ | DELETE);
    if (lock == nullptr) continue;
    const t_LockProof proof = ProofOfFoundLock(lock, *names);
    // The copy goes first, so a kill here leaves the lock that proves the rest.
    if (proof == t_LockProof::Copy) {
      if (HANDLE copy = OpenPlainFileAlone(folder + Wide(names->copy), DELETE)) {
        (void)MarkForDeletion(copy);
        CloseHandle(copy);
      }
    }
    if (proof != t_LockProof::NotOurs) (void)MarkForDeletion(lock);
    CloseHandle(lock);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace n_zorbel::n_ntag
