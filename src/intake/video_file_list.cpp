#include "intake/video_file_list.hpp"

#include <exception>

#include "system/error.hpp"

namespace n_zorbel::n_intake {

using n_system::t_PathKind;

bool HasExtension(t_StringView path, t_StringView ext) noexcept {
  if (path.size() < 4 || ext.size() != 3) return false;
  const t_StringView tail = path.substr(path.size() - 4);
  if (tail[0] != ZTEXT('.')) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    const t_Char c = tail[i + 1];
    const t_Char e = ext[i];
    const bool letter = e >= ZTEXT('A') && e <= ZTEXT('Z');
    if (c != e && !(letter && c == e + (ZTEXT('a') - ZTEXT('A')))) return false;
  }
  return true;
}

void SetCoverPath(t_String& coverPath, t_StringView path) { coverPath.assign(path); }

void t_VideoFileList::AddPath(t_StringView path, t_String& coverPath) { AddPath(path, coverPath, nullptr); }

void t_VideoFileList::AddPath(t_StringView path, t_String& coverPath,
                              const n_system::t_FolderEntry* scanned) {
  // Intake skips what it cannot read; only paths too long for the platform
  // are counted, since the user cannot see why those are missing.
  try {
    const t_String text(path);
    const t_PathKind kind = m_queries->Query(text);  // not found: taken by its name
    if (kind == t_PathKind::Folder) {
      // A link met inside a scan is never followed into a folder, so a link
      // cycle cannot recurse without end; a link given directly still is.
      if (scanned != nullptr && scanned->isLink) return;
      t_String folder = text;
      if (folder.empty() || folder.back() != kPathSeparator) folder += kPathSeparator;
      ScanFolder(folder, coverPath);
      return;
    }
    if (HasExtension(text, ZTEXT("MP4"))) {
      const bool link = scanned != nullptr ? scanned->isLink : m_queries->IsLink(text);
      m_entries.push_back(text);
      m_listedAsLink.push_back(link);
    } else if (HasExtension(text, ZTEXT("JPG")) || HasExtension(text, ZTEXT("PNG"))) {
      SetCoverPath(coverPath, text);
    }
  } catch (const n_system::t_ErrorException& error) {
    if (error.Code() == n_system::ConvertSystemError(n_system::kErrorFilenameTooLong)) ++m_skippedTooLong;
  } catch (const std::exception&) {
  }
}

bool t_VideoFileList::BecameLink(std::size_t index) const {
  return !m_listedAsLink[index] && m_queries->IsLink(m_entries[index]);
}

void t_VideoFileList::ScanFolder(const t_String& folder, t_String& coverPath) {
  // Depth first, in the platform's order: a sub-folder is scanned as soon as
  // its entry comes up. A failure inside a sub-folder is caught by its own
  // AddPath; a failure listing this folder ends this scan.
  m_queries->ListFolder(folder, [&](const t_String& path, const n_system::t_FolderEntry& entry) {
    AddPath(path, coverPath, &entry);
  });
}

t_String t_VideoFileList::DisplayText() const {
  t_String text;
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    if (i != 0) text += ZTEXT(';');
    text += m_entries[i];
  }
  return text;
}

}  // namespace n_zorbel::n_intake
