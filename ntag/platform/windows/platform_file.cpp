// Windows side of platform_file.hpp: CreateFileW, ReadFile/WriteFile at a set position,
// UTF-16 paths, long paths through the \\?\ prefix; the copy of a rewrite is marked for
// deletion until ReplaceFileW puts it in the video's place.
#include "platform/platform_file.hpp"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "platform/copy_mark.hpp"
#include "platform/fault_hook.hpp"
#include "platform/platform_handle.hpp"
#include "platform/stop_request.hpp"
#include "system/utf8.hpp"

namespace n_zorbel::n_ntag {
namespace {

HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// What each system error means to the user; any other is a failure of no cause they can act on.
struct t_Cause {
  DWORD error;
  t_IoFailure kind;
};

constexpr t_Cause kCauses[] = {
    {ERROR_FILE_NOT_FOUND, t_IoFailure::NotFound},
    {ERROR_PATH_NOT_FOUND, t_IoFailure::NotFound},
    {ERROR_INVALID_NAME, t_IoFailure::NotFound},
    {ERROR_BAD_NETPATH, t_IoFailure::NotFound},
    {ERROR_INVALID_DRIVE, t_IoFailure::NotFound},
    {ERROR_ACCESS_DENIED, t_IoFailure::AccessDenied},  // also the read-only attribute
    {ERROR_WRITE_PROTECT, t_IoFailure::AccessDenied},
    {ERROR_NETWORK_ACCESS_DENIED, t_IoFailure::AccessDenied},
    {ERROR_SHARING_VIOLATION, t_IoFailure::InUse},
    {ERROR_LOCK_VIOLATION, t_IoFailure::InUse},
    {ERROR_USER_MAPPED_FILE, t_IoFailure::InUse},
    {ERROR_DRIVE_LOCKED, t_IoFailure::InUse},
    {ERROR_DISK_FULL, t_IoFailure::DiskFull},
    {ERROR_HANDLE_DISK_FULL, t_IoFailure::DiskFull},
    {ERROR_CRC, t_IoFailure::DeviceError},
    {ERROR_GEN_FAILURE, t_IoFailure::DeviceError},
    {ERROR_IO_DEVICE, t_IoFailure::DeviceError},
    {ERROR_READ_FAULT, t_IoFailure::DeviceError},
    {ERROR_WRITE_FAULT, t_IoFailure::DeviceError},
    {ERROR_SECTOR_NOT_FOUND, t_IoFailure::DeviceError},
    {ERROR_NOT_READY, t_IoFailure::DeviceError},
    {ERROR_DEVICE_NOT_CONNECTED, t_IoFailure::DeviceError},
    {ERROR_DEV_NOT_EXIST, t_IoFailure::DeviceError},
};
// ERROR_FILE_TOO_LARGE (FAT's 4 GiB) is no full disk: freeing space would not help.

[[noreturn]] void Fail(DWORD error) { throw SystemError(error); }

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring FullPath(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  const DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (need == 0) return path;
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return path;
  full.resize(got);
  return full;
}

// Paths near or past MAX_PATH only open with the \\?\ prefix, which needs a full path.
std::wstring ApiPath(const std::wstring& path) {
  if (path.size() < MAX_PATH - 20 || path.rfind(L"\\\\?\\", 0) == 0) return path;
  const std::wstring full = FullPath(path);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The path of the open file itself, links resolved; the \\?\ form opens it at any length.
std::wstring FinalPath(HANDLE h) {
  const DWORD need = GetFinalPathNameByHandleW(h, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (need == 0) Fail(GetLastError());
  std::wstring path(need, L'\0');
  const DWORD got = GetFinalPathNameByHandleW(h, path.data(), need, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (got == 0 || got >= need) Fail(GetLastError());
  path.resize(got);
  return path;
}

// Which file a handle is open on: the volume and the file's index there; none when unknown.
std::optional<std::pair<DWORD, std::uint64_t>> IdentityOf(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return std::nullopt;
  return std::pair{info.dwVolumeSerialNumber,
                   (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

std::wstring FolderOf(const std::wstring& path) {
  const std::wstring full = FullPath(path);
  const auto slash = full.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  return full.substr(0, slash + 1);
}

// Marks an open file for deletion when its last handle closes, or takes the mark back.
bool SetDeleteOnClose(HANDLE h, bool on) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = on ? TRUE : FALSE;
  return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

// Moves the handle's position for the next ReadFile or WriteFile, which get no OVERLAPPED:
// Wine reports each call made with one to its server, a round trip per call that costs far
// more than reading the few bytes of each of the thousands of pieces the copy's check reads.
void SeekTo(HANDLE h, std::uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) Fail(GetLastError());
}

void WriteTo(DWORD which, const std::string& utf8) {
  HANDLE out = GetStdHandle(which);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD mode;
  if (GetConsoleMode(out, &mode)) {
    const std::wstring text = W(Utf8ToUtf16(utf8));
    DWORD written;
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    DWORD written;
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  }
}

// ReadFile and WriteFile take at most a DWORD at a time; pieces of 1 GiB.
DWORD PieceOf(std::size_t size) { return size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size); }

// Wine marks its ntdll with an export of its own.
bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

t_IoError SystemError(long code) {
  const auto error = static_cast<DWORD>(code);
  const auto* cause = std::find_if(std::begin(kCauses), std::end(kCauses),
                                   [&](const t_Cause& c) { return c.error == error; });
  return t_IoError(cause == std::end(kCauses) ? t_IoFailure::Other : cause->kind,
                   "system error " + std::to_string(error));
}

t_File t_File::Open(const t_NativePath& path, t_OpenMode mode) {
  const std::wstring api = ApiPath(path);
  const DWORD attributes = GetFileAttributesW(api.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw t_IoError(t_IoFailure::NotAFile, "is a folder");
  }
  const DWORD access = mode == t_OpenMode::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  // Writers share reading only, so no one else changes the file under us.
  const DWORD share =
      mode == t_OpenMode::Read ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
  // CREATE_NEW refuses any name that exists, a link included.
  const DWORD disposition = mode == t_OpenMode::CreateNew ? CREATE_NEW : OPEN_EXISTING;
  HANDLE h = CreateFileW(api.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail(GetLastError());
  t_File file;
  file.m_handle = reinterpret_cast<std::intptr_t>(h);
  // A pipe or a device is no video and no cover.
  if (GetFileType(h) != FILE_TYPE_DISK) throw t_IoError(t_IoFailure::NotAFile, "not a file");
  if (mode == t_OpenMode::ReadWrite) {
    // A link is resolved once, here, through the open file: the rewrite replaces the file
    // itself, where it lies.
    file.m_name = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                      ? FinalPath(h)
                      : FullPath(path);
  }
  return file;
}

std::uint64_t t_File::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(H(m_handle), &size)) Fail(GetLastError());
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint64_t t_File::AllocatedSize() const {
  FILE_STANDARD_INFO info{};
  if (!GetFileInformationByHandleEx(H(m_handle), FileStandardInfo, &info, sizeof info)) Fail(GetLastError());
  return static_cast<std::uint64_t>(info.AllocationSize.QuadPart);
}

void CloseHandleOf(std::intptr_t handle) { (void)CloseHandle(H(handle)); }

std::size_t ReadSomeAt(std::intptr_t handle, std::uint64_t offset, void* buffer, std::size_t size) {
  SeekTo(H(handle), offset);
  DWORD got = 0;
  if (!ReadFile(H(handle), buffer, PieceOf(size), &got, nullptr)) {
    const DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    Fail(error);
  }
  return got;
}

std::size_t WriteSomeAt(std::intptr_t handle, std::uint64_t offset, const void* data, std::size_t size) {
  SeekTo(H(handle), offset);
  DWORD written = 0;
  if (!WriteFile(H(handle), data, PieceOf(size), &written, nullptr)) Fail(GetLastError());
  if (written == 0) Fail(ERROR_DISK_FULL);
  return written;
}

void TruncateHandle(std::intptr_t handle, std::uint64_t size) {
  FILE_END_OF_FILE_INFO info{};
  info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFileInformationByHandle(H(handle), FileEndOfFileInfo, &info, sizeof info)) Fail(GetLastError());
}

// Windows has no lighter flush for a file handle.
void FlushHandle(std::intptr_t handle, bool) {
  if (!FlushFileBuffers(H(handle))) Fail(GetLastError());
}

std::uint64_t CopyRange(const t_File& from, std::uint64_t at, std::uint64_t size, t_File& to,
                        std::uint64_t toAt) {
  CopyThroughBuffer(from, at, size, to, toAt);
  return 0;
}

void t_File::CopyAttributesFrom(const t_File& model) {
  FILE_BASIC_INFO info{};
  if (!GetFileInformationByHandleEx(H(model.m_handle), FileBasicInfo, &info, sizeof info)) return;
  // Keep the creation time and the hidden/system/archive flags; times of change are ours.
  FILE_BASIC_INFO mine{};
  mine.CreationTime = info.CreationTime;
  mine.FileAttributes = info.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  if (mine.FileAttributes == 0) mine.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  (void)SetFileInformationByHandle(H(m_handle), FileBasicInfo, &mine, sizeof mine);
}

void RemoveAbandonedCopiesBeside(const t_NativePath& video) {
  // Opened only to resolve links, as a video opened for writing is.
  HANDLE h = CreateFileW(ApiPath(video).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::wstring path;
  try {
    path = FinalPath(h);
  } catch (const t_IoError&) {
    path = FullPath(video);
  }
  CloseHandle(h);
  RemoveAbandonedCopies(ApiPath(FolderOf(path)));
}

std::uint64_t FreeSpaceBeside(const t_File& video) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(ApiPath(FolderOf(video.m_name)).c_str(), &available, nullptr, nullptr)) {
    return UINT64_MAX;
  }
  return available.QuadPart;
}

t_Replacement::t_Replacement(const t_File& video) : m_video(video.m_name) {
  // A name unique to this run, created exclusively, so no other run can take it. Its lock
  // comes first: a kill before the two are marked for deletion leaves nothing it does not
  // prove, and the next run removes both.
  const std::wstring folder = FolderOf(m_video);
  std::random_device random;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; h == INVALID_HANDLE_VALUE; ++attempt) {
    m_names = NewCopyNames(GetCurrentProcessId(), std::uint64_t{random()} << 32 | random());
    m_lock = CreateCopyLock(ApiPath(folder), m_names);
    m_name = folder + std::wstring(m_names.copy.begin(), m_names.copy.end());
    h = CreateFileW(ApiPath(m_name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (h == INVALID_HANDLE_VALUE) {
      RemoveLock();
      if (error != ERROR_FILE_EXISTS || attempt == 16) Fail(error);
    }
  }
  m_file.m_handle = reinterpret_cast<std::intptr_t>(h);
  // Both deleted when their handles close, also when the process is killed; where the file
  // system cannot mark them, the destructor still removes them on every failure.
  (void)SetDeleteOnClose(h, true);
  m_lockMarked = MarkCopyLockForDeletion(m_lock, true);
}

t_Replacement::~t_Replacement() {
  const t_StopDeferred whole;
  m_file.Close();
  if (!m_published) (void)DeleteFileW(ApiPath(m_name).c_str());
  RemoveLock();
}

void t_Replacement::RemoveLock() {
  if (m_lock == -1) return;
  RemoveCopyLock(m_lock);
  m_lock = -1;
}

namespace {
// What ReplaceFileW may give up when it cannot merge the video's information into the copy.
// A volume without access lists (FAT, exFAT, some network shares) has none to keep, and the
// attributes it cannot set open the copy to no one: errors there are ignored, as other
// programs' saves ignore them. Where access lists are kept, the copy would carry its folder's
// instead of the video's, maybe open to more users: a merge that fails fails the run.
DWORD ReplaceFlagsFor(HANDLE video) {
#ifndef REPLACEFILE_IGNORE_ACL_ERRORS
  constexpr DWORD REPLACEFILE_IGNORE_ACL_ERRORS = 0x00000004;
#endif
  DWORD features = 0;
  if (GetVolumeInformationByHandleW(video, nullptr, 0, nullptr, nullptr, &features, nullptr, 0) &&
      !(features & FILE_PERSISTENT_ACLS)) {
    return REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS;
  }
  return 0;
}

// A rename written through is on the disk when the call returns: renamed, and its folder flushed.
void WrittenThrough(std::intptr_t copy) {
  if (t_IoObserver* o = n_hook::Observer()) {
    o->Renamed(copy);
    o->FolderFlushed();
  }
}
}  // namespace

void t_Replacement::Publish(t_File& video) {
  const t_StopDeferred whole;
  const auto identity = IdentityOf(H(video.m_handle));
  const DWORD mergeFlags = ReplaceFlagsFor(H(video.m_handle));
  video.Close();
  // The video was held without delete sharing, so its name could not change until now.
  // Whoever may rename in the folder could put another file or a link there from now on: the
  // name, opened as the entry it is (a link not followed), must be the video still.
  HANDLE named = CreateFileW(ApiPath(m_video).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  bool same = false;
  if (named != INVALID_HANDLE_VALUE) {
    const auto now = IdentityOf(named);
    same = identity && now == identity;
    CloseHandle(named);
  }
  if (!same) throw t_IoError(t_IoFailure::Other, "its name was given to another file while it was tagged");
  // ReplaceFileW opens both files itself, the copy without sharing: ours must be closed, and
  // the copy no longer marked, for that short step. It comes last, so that a kill (Mivora's
  // Stop) leaves the copy behind in as few steps as can be.
  const bool wine = UnderWine();
  // From here a kill leaves the copy under its name; its lock proves it ntag's to the next run.
  if (m_lockMarked && !MarkCopyLockForDeletion(m_lock, false)) Fail(GetLastError());
  m_lockMarked = false;
  if (!SetDeleteOnClose(H(m_file.m_handle), false)) Fail(GetLastError());
  const std::intptr_t copy = m_file.m_handle;  // how the observer knows the copy
  m_file.Close();
  if (wine) {
    // Wine's ReplaceFileW moves the video away and deletes it before the copy takes its name,
    // so a kill in between leaves no video at all; its rename over the video is atomic.
    if (!MoveFileExW(ApiPath(m_name).c_str(), ApiPath(m_video).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      Fail(GetLastError());
    }
    m_published = true;
    RemoveLock();
    WrittenThrough(copy);
    return;
  }
  // The video keeps its attributes, access list and streams; a merge that fails fails the run
  // where the volume keeps access lists (ReplaceFlagsFor says why).
  if (ReplaceFileW(ApiPath(m_video).c_str(), ApiPath(m_name).c_str(), nullptr, mergeFlags, nullptr,
                   nullptr)) {
    m_published = true;
    RemoveLock();
    // Not written through: until the folder reaches the disk, either name may stand.
    if (t_IoObserver* o = n_hook::Observer()) o->Renamed(copy);
    return;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) Fail(error);
  // Without a backup name these two leave the video's name empty; the copy, complete and
  // checked, is all there is of the video now: it takes the name, and is never removed.
  m_published = true;
  if (!MoveFileExW(ApiPath(m_name).c_str(), ApiPath(m_video).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Fail(GetLastError());
  }
  RemoveLock();
  WrittenThrough(copy);
}

std::string PathToUtf8(const t_NativePath& path) { return Utf16ToUtf8(U16(path)); }
void WriteOut(const std::string& utf8) { WriteTo(STD_OUTPUT_HANDLE, utf8); }
void WriteErr(const std::string& utf8) { WriteTo(STD_ERROR_HANDLE, utf8); }

}  // namespace n_zorbel::n_ntag
