#include "platform/copy_mark.hpp"

#include <algorithm>
#include <cstdio>

namespace n_zorbel::n_ntag {
namespace {

constexpr std::string_view kPrefix = ".ntag-", kCopyEnd = ".tmp", kLockEnd = ".lock";

bool AllOf(std::string_view s, bool (*ok)(char)) { return !s.empty() && std::all_of(s.begin(), s.end(), ok); }

}  // namespace

t_CopyNames NewCopyNames(unsigned long pid, std::uint64_t random) {
  char stem[64];
  std::snprintf(stem, sizeof stem, ".ntag-%lu-%016llx", pid, static_cast<unsigned long long>(random));
  return {std::string(stem) + ".tmp", std::string(stem) + ".lock"};
}

std::optional<t_CopyNames> CopyNamesOfLock(std::string_view lock) {
  if (!lock.starts_with(kPrefix) || !lock.ends_with(kLockEnd)) return std::nullopt;
  const std::string_view stem = lock.substr(0, lock.size() - kLockEnd.size());
  const std::string_view middle = stem.substr(kPrefix.size());
  const auto dash = middle.find('-');
  if (dash == std::string_view::npos || middle.size() - dash - 1 != 16) return std::nullopt;
  if (!AllOf(middle.substr(0, dash), [](char c) { return c >= '0' && c <= '9'; }) ||
      !AllOf(middle.substr(dash + 1),
             [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); })) {
    return std::nullopt;
  }
  return t_CopyNames{std::string(stem) + std::string(kCopyEnd), std::string(lock)};
}

std::string LockContent(const t_CopyNames& names) { return "ntag copy " + names.copy + "\n"; }

t_LockProof ProofOfLock(std::string_view start, const t_CopyNames& names) {
  if (start.empty()) return t_LockProof::Nothing;
  return start == LockContent(names) ? t_LockProof::Copy : t_LockProof::NotOurs;
}

}  // namespace n_zorbel::n_ntag
