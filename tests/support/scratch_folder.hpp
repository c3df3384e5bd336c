#pragma once
// A fresh folder under the temporary folder for one test, removed with all
// its contents afterwards by std::filesystem (an oracle independent of ours).
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "system/temp_folder.hpp"
#include "system/text.hpp"

namespace n_zorbel::n_testing {

class t_ScratchFolder {
 public:
  t_ScratchFolder() {
    std::random_device random;
    const std::string name = "mivora-test-" + std::to_string(random()) + std::to_string(random());
    m_path = n_system::TempFolderPath() + FromUtf8(name) + kPathSeparator;
    std::filesystem::create_directory(Fs());
  }
  ~t_ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Fs(), ignored);
  }
  t_ScratchFolder(const t_ScratchFolder&) = delete;
  t_ScratchFolder& operator=(const t_ScratchFolder&) = delete;

  // The folder, ending with the separator.
  const t_String& Path() const noexcept { return m_path; }
  // The folder joined with a relative path in '/' notation.
  t_String operator/(t_StringView relative) const {
    t_String joined = m_path + t_String(relative);
    for (t_Char& c : joined)
      if (c == ZTEXT('/')) c = kPathSeparator;
    return joined;
  }
  std::filesystem::path Fs() const { return std::filesystem::path(m_path); }

  // Makes the folders on the way and a file holding `content`.
  void MakeFile(t_StringView relative, const std::string& content = "x") const {
    const std::filesystem::path path(*this / relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  void MakeFolder(t_StringView relative) const { std::filesystem::create_directories(*this / relative); }
  bool Exists(t_StringView relative) const {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(*this / relative, error));
  }

 private:
  t_String m_path;
};

}  // namespace n_zorbel::n_testing
