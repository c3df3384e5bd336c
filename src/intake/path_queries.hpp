#pragma once
// The two questions file intake puts to the platform, behind an interface so
// the intake logic can be exercised with failures a real disk rarely gives.
#include <functional>

#include "system/folder_walker.hpp"
#include "system/path_query.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_intake {

using t_FolderVisit = std::function<void(const t_String& path, const n_system::t_FolderEntry& entry)>;

class t_PathQueries {
 public:
  virtual ~t_PathQueries() = default;
  // What `path` names, following links; Missing for "not found" answers,
  // raises t_ErrorException on any other failure.
  virtual n_system::t_PathKind Query(const t_String& path) = 0;
  // Calls `visit` with the full path and entry of every entry of `folder`
  // (which ends with the separator) but "." and ".."; raises on failure.
  virtual void ListFolder(const t_String& folder, const t_FolderVisit& visit) = 0;
  // Whether `path` itself is a link, not following it; false when unknown.
  virtual bool IsLink(const t_String& path) = 0;
};

// The real disk, through the system layer.
class t_SystemPathQueries final : public t_PathQueries {
 public:
  n_system::t_PathKind Query(const t_String& path) override;
  void ListFolder(const t_String& folder, const t_FolderVisit& visit) override;
  bool IsLink(const t_String& path) override;

  static t_SystemPathQueries& Instance();
};

}  // namespace n_zorbel::n_intake
