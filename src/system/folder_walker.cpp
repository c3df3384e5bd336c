#include "system/folder_walker.hpp"

#include "system/tree_removal.hpp"

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
  // A link at the folder's own place is refused like a folder we may not use.
  if (!n_detail::RemoveTreeIf(folder, std::nullopt)) RaiseFolderError(kErrorAccessDenied);
}

}  // namespace n_zorbel::n_system
