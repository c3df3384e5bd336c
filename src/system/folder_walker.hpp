#pragma once
// The program's one folder enumeration, used by the workspace removal and by
// the folder scan of the file intake.
#include <functional>
#include <memory>

#include "system/error.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_system {

struct t_FolderEntry {
  t_String name;
  // A folder, or a link to one (Windows: the directory attribute; POSIX: a
  // symbolic link whose target is a folder).
  bool isFolder = false;
  // A symbolic link or junction (Windows: the reparse-point attribute). Walks
  // never descend into it; removal removes the link, not its target.
  bool isLink = false;
};

class t_FolderWalkerBase {
 public:
  class t_ErrorException : public n_system::t_ErrorException {
   public:
    using n_system::t_ErrorException::t_ErrorException;
  };

  t_FolderWalkerBase();
  ~t_FolderWalkerBase();
  t_FolderWalkerBase(const t_FolderWalkerBase&) = delete;
  t_FolderWalkerBase& operator=(const t_FolderWalkerBase&) = delete;
  t_FolderWalkerBase(t_FolderWalkerBase&&) = delete;
  t_FolderWalkerBase& operator=(t_FolderWalkerBase&&) = delete;

  // Starts enumerating `folder` (a path ending with the separator). Returns
  // false for an empty folder; raises the folder error on any other failure.
  bool OpenSearch(const t_String& folder);
  // Moves to the next entry; false at the end; raises the folder error.
  bool NextEntry();
  // Ends the search; a failure here ends the process (it runs during unwinding).
  void CloseSearch() noexcept;
  const t_FolderEntry& Entry() const noexcept { return m_entry; }

  static bool IsDotEntry(t_StringView name) noexcept;

 private:
  struct t_Search;
  std::unique_ptr<t_Search> m_search;
  t_FolderEntry m_entry;
};

[[noreturn]] void RaiseFolderError(std::uint32_t error);

// Walks one folder level: calls `visit` with the full path (folder + name)
// and the entry for every entry but "." and "..", in the platform's order:
// by name as the file system keeps it on Windows (NTFS sorts), by the names'
// bytes on POSIX.
// The search is closed before an exception from `visit` moves on.
void WalkFolder(const t_String& folder,
                const std::function<void(const t_String& path, const t_FolderEntry& entry)>& visit);

// Removes `folder` (ending with the separator or not) with everything in it,
// depth first. The folder is opened without following a link at its place: a
// link or reparse point there raises the folder error "access denied" and
// stays. Links inside are removed themselves; their targets are never touched.
// "Not found" is excused for deleting entries and the folder, not for the search.
void RemoveTree(t_String folder);

}  // namespace n_zorbel::n_system
