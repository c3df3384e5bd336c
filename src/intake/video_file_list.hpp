#pragma once
// The ordered list of videos a run tags, and AddPath, the one door through
// which every incoming path passes (command line, picker, drop, folder scan).
#include <cstddef>
#include <vector>

#include "intake/path_queries.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_intake {

// True when `path` ends in "." and the three upper-case characters of `ext`
// ("MP4", "JPG", "PNG"), ASCII letters compared without regard to case.
bool HasExtension(t_StringView path, t_StringView ext) noexcept;

// Replaces the cover path with `path`. Loading and showing the image is the
// caller's business.
void SetCoverPath(t_String& coverPath, t_StringView path);

class t_VideoFileList {
 public:
  t_VideoFileList() : m_queries(&t_SystemPathQueries::Instance()) {}
  explicit t_VideoFileList(t_PathQueries& queries) : m_queries(&queries) {}

  // Classifies `path` and acts on it: a folder is scanned depth first, a
  // ".mp4" name is appended (whether or not it exists), a ".jpg" or ".png"
  // name becomes `coverPath` (the last one met wins), anything else is
  // ignored. Never raises: a path or folder that cannot be read is dropped
  // silently, and what was added before the failure stays.
  void AddPath(t_StringView path, t_String& coverPath);

  const std::vector<t_String>& Entries() const noexcept { return m_entries; }
  bool Empty() const noexcept { return m_entries.empty(); }
  std::size_t Size() const noexcept { return m_entries.size(); }
  const t_String& operator[](std::size_t index) const noexcept { return m_entries[index]; }
  void Clear() noexcept { m_entries.clear(); }

  // All entries joined by ";", nothing before or after; empty for no entries.
  t_String DisplayText() const;

 private:
  void AddPath(t_StringView path, t_String& coverPath, bool linkInScan);
  void ScanFolder(const t_String& folder, t_String& coverPath);

  t_PathQueries* m_queries;
  std::vector<t_String> m_entries;  // paths exactly as they arrived; duplicates allowed
};

}  // namespace n_zorbel::n_intake
