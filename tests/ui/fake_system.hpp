#pragma once
// Fakes of the system parts t_MainDialog reaches: the disk as file intake sees
// it, the cover decoder, and the shared scripted job system.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "intake/path_queries.hpp"
#include "preview/cover_image.hpp"
#include "support/fake_job_system.hpp"
#include "system/error.hpp"

namespace n_zorbel::n_testing {

// Every path is missing (so it is taken by its name) unless listed as a
// folder; paths listed as links are links, and too long ones fail as such.
class t_FakePathQueries final : public n_intake::t_PathQueries {
 public:
  std::map<t_String, std::vector<t_String>> folders;  // folder (with separator) -> entry names
  std::set<t_String> links;
  std::set<t_String> tooLong;

  n_system::t_PathKind Query(const t_String& path) override {
    if (tooLong.count(path)) n_system::RaiseSystemError(n_system::kErrorFilenameTooLong);
    if (folders.count(path) || folders.count(path + kPathSeparator)) return n_system::t_PathKind::Folder;
    return n_system::t_PathKind::Missing;
  }
  void ListFolder(const t_String& folder, const n_intake::t_FolderVisit& visit) override {
    for (const t_String& name : folders.at(folder)) {
      n_system::t_FolderEntry entry;
      entry.name = name;
      entry.isFolder = folders.count(folder + name + kPathSeparator) != 0;
      entry.isLink = links.count(folder + name) != 0;
      visit(folder + name, entry);
    }
  }
  bool IsLink(const t_String& path) override { return links.count(path) != 0; }
};

class t_FakeCoverImage final : public n_preview::t_CoverImage {
 public:
  t_FakeCoverImage(std::uint32_t width, std::uint32_t height) : m_width(width), m_height(height) {}
  std::uint32_t Width() const noexcept override { return m_width; }
  std::uint32_t Height() const noexcept override { return m_height; }

 private:
  std::uint32_t m_width, m_height;
};

// Decodes the pictures it was told about; anything else is undecodable. It
// delivers at once, or, while `holding`, when Deliver is called.
class t_FakeCoverDecoder final : public n_preview::t_CoverDecoder {
 public:
  std::map<t_String, std::pair<std::uint32_t, std::uint32_t>> pictures;
  std::vector<t_String> decoded;
  bool holding = false;
  int abandons = 0;

  void Start(const t_String& path, n_preview::t_CoverDelivery deliver) override {
    decoded.push_back(path);
    m_pending = std::move(deliver);
    if (!holding) Deliver();
  }
  void Abandon() noexcept override {
    ++abandons;
    m_pending = nullptr;
  }
  void Deliver() {
    if (!m_pending) return;
    const auto deliver = std::exchange(m_pending, nullptr);
    const auto it = pictures.find(decoded.back());
    deliver(it == pictures.end() ? nullptr : std::make_unique<t_FakeCoverImage>(it->second.first, it->second.second));
  }

 private:
  n_preview::t_CoverDelivery m_pending;
};

}  // namespace n_zorbel::n_testing
