#pragma once
// A fresh folder under the temporary folder for one test, removed with all
// its contents afterwards by std::filesystem (an oracle independent of ours).
// Its name is random, so builds running the same tests at once keep apart.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

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
    namespace fs = std::filesystem;
    // A test may have locked folders; open them again so that they can be emptied
    // (links are left alone: what they lead to is not ours).
    std::error_code ignored;
    fs::permissions(Fs(), fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(Fs(), ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
      if (it->symlink_status(ignored).type() == fs::file_type::directory)
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(Fs(), ignored);
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
  // The folder without the final separator, as a user would name it.
  std::filesystem::path Fs() const { return std::filesystem::path(m_path).parent_path(); }

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
  // The names of what the folder holds, sorted.
  std::vector<t_String> Names() const {
    std::vector<t_String> names;
    for (const auto& entry : std::filesystem::directory_iterator(Fs()))
      names.push_back(entry.path().filename().native());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  t_String m_path;
};

}  // namespace n_zorbel::n_testing
