#pragma once
// The ordered list of videos a run tags, and AddPath, the one door through
// which every incoming path passes (command line, picker, drop, folder scan).
#include <cstddef>
#include <utility>
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
  // ignored. Never raises: a path or folder that cannot be read is dropped,
  // and what was added before the failure stays; one dropped because its
  // path is longer than the platform takes is counted (TakeSkippedTooLong).
  // Whether each video was a link when it was listed is noted.
  void AddPath(t_StringView path, t_String& coverPath);

  const std::vector<t_String>& Entries() const noexcept { return m_entries; }
  bool Empty() const noexcept { return m_entries.empty(); }
  std::size_t Size() const noexcept { return m_entries.size(); }
  const t_String& operator[](std::size_t index) const noexcept { return m_entries[index]; }
  void Clear() noexcept {
    m_entries.clear();
    m_listedAsLink.clear();
  }
  // True when video `index` is a link now but was not when it was listed:
  // what the link names is not what the user chose.
  bool BecameLink(std::size_t index) const;
  // How many entries were dropped for a too long path since the last call.
  std::size_t TakeSkippedTooLong() noexcept { return std::exchange(m_skippedTooLong, 0); }

  // All entries joined by ";", nothing before or after; empty for no entries.
  t_String DisplayText() const;

 private:
  // `scanned` is the folder entry when the path comes from a scan.
  void AddPath(t_StringView path, t_String& coverPath, const n_system::t_FolderEntry* scanned);
  void ScanFolder(const t_String& folder, t_String& coverPath);

  t_PathQueries* m_queries;
  std::vector<t_String> m_entries;   // paths exactly as they arrived; duplicates allowed
  std::vector<bool> m_listedAsLink;  // one per entry
  std::size_t m_skippedTooLong = 0;
};

}  // namespace n_zorbel::n_intake
