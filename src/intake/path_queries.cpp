#include "intake/path_queries.hpp"

namespace n_zorbel::n_intake {

n_system::t_PathKind t_SystemPathQueries::Query(const t_String& path) { return n_system::QueryPath(path); }

void t_SystemPathQueries::ListFolder(const t_String& folder, const t_FolderVisit& visit) {
  n_system::WalkFolder(folder, visit);
}

bool t_SystemPathQueries::IsLink(const t_String& path) { return n_system::IsLink(path); }

t_SystemPathQueries& t_SystemPathQueries::Instance() {
  static t_SystemPathQueries instance;
  return instance;
}

}  // namespace n_zorbel::n_intake
