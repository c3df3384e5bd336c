#include "system/folder_walker.hpp"

#include "system/entry_removal.hpp"

namespace n_zorbel::n_system {

namespace {

bool EndsWithSeparator(const t_String& path) {
  if (path.empty()) return false;
#ifdef _WIN32
  return path.back() == ZTEXT('\\') || path.back() == ZTEXT('/');
#else
  return path.back() == kPathSeparator;
#endif
}

// Not-found answers mean the entry is already gone, which is what removal wants.
bool IsNotFound(std::uint32_t error) { return error == kErrorFileNotFound || error == kErrorPathNotFound; }

void RaiseUnlessExcused(std::uint32_t error) {
  if (error != 0 && !IsNotFound(error)) RaiseSystemError(error);
}

}  // namespace

bool t_FolderWalkerBase::IsDotEntry(t_StringView name) noexcept {
  return name == ZTEXT(".") || name == ZTEXT("..");
}

void RaiseFolderError(std::uint32_t error) {
  throw t_FolderWalkerBase::t_ErrorException(ConvertSystemError(error));
}

void WalkFolder(const t_String& folder,
                const std::function<void(const t_String& path, const t_FolderEntry& entry)>& visit) {
  t_String path = folder;
  if (!EndsWithSeparator(path)) path += kPathSeparator;
  const std::size_t prefix = path.size();

  // The walker's destructor closes the search if visit or NextEntry raises.
  t_FolderWalkerBase walker;
  if (!walker.OpenSearch(path)) return;
  do {
    const t_FolderEntry& entry = walker.Entry();
    if (t_FolderWalkerBase::IsDotEntry(entry.name)) continue;
    path.resize(prefix);
    path += entry.name;
    visit(path, entry);
  } while (walker.NextEntry());
  walker.CloseSearch();
}

void RemoveTree(t_String folder) {
  if (!EndsWithSeparator(folder)) folder += kPathSeparator;
  WalkFolder(folder, [](const t_String& path, const t_FolderEntry& entry) {
    if (entry.isLink) {
      // A link goes by itself; following it could delete what lies outside the tree.
      RaiseUnlessExcused(entry.isFolder ? n_detail::DeleteFolderLink(path) : n_detail::DeleteFileEntry(path));
    } else if (entry.isFolder) {
      RemoveTree(path + kPathSeparator);  // depth first: the sub-folder goes completely
    } else {
      RaiseUnlessExcused(n_detail::DeleteFileEntry(path));
    }
  });
  RaiseUnlessExcused(n_detail::RemoveEmptyFolder(folder));
}

}  // namespace n_zorbel::n_system
