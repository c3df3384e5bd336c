// The workspace on real folders: where it lives, that an earlier run's folder
// is reused, and on POSIX that nothing but a private folder of ours is used.
#include "system/workspace.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "system/error.hpp"
#include "system/temp_folder.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace n_zorbel::n_system {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kCodeAccessDenied = static_cast<std::int32_t>(0x80070005u);

class WorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Several builds may run these tests at once: a random suffix keeps them apart.
    m_folder = fs::temp_directory_path() /
               (std::string("mivora-ws-") + info->name() + "-" + std::to_string(std::random_device{}()));
    fs::create_directories(m_folder);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
  }

  // A workspace path as the program passes it: ending with the separator.
  t_String Workspace(const std::string& name) const { return (m_folder / name).native() + kPathSeparator; }

  fs::path m_folder;
};

TEST_F(WorkspaceTest, PathIsANamedFolderUnderTheTemporaryFolder) {
  const t_String temp = TempFolderPath();
  const t_String workspace = WorkspacePath();
  ASSERT_GT(workspace.size(), temp.size());
  EXPECT_EQ(workspace.substr(0, temp.size()), temp);
  EXPECT_EQ(workspace.back(), kPathSeparator);
  const t_String name = workspace.substr(temp.size(), workspace.size() - temp.size() - 1);
#ifdef _WIN32
  EXPECT_EQ(name, L"Mivora");
#else
  EXPECT_TRUE(name == "Mivora" || name == "Mivora-" + std::to_string(::geteuid())) << name;
#endif
}

TEST_F(WorkspaceTest, CreatesTheLastLevelAndReusesAnEarlierOne) {
  const t_String folder = Workspace("Mivora");
  CreateWorkspace(folder);
  EXPECT_TRUE(fs::is_directory(folder));
  std::ofstream(fs::path(folder) / "left-over") << "x";
  CreateWorkspace(folder);
  EXPECT_TRUE(fs::exists(fs::path(folder) / "left-over"));
}

TEST_F(WorkspaceTest, MissingTemporaryFolderIsASystemError) {
  try {
    CreateWorkspace(Workspace("missing") + ZTEXT("Mivora") + kPathSeparator);
    ADD_FAILURE() << "no error";
  } catch (const t_ErrorException& error) {
#ifdef _WIN32
    EXPECT_EQ(error.Code(), static_cast<std::int32_t>(0x80070003u));
#else
    EXPECT_EQ(error.Code(), static_cast<std::int32_t>(0x80070002u));
#endif
  }
}

#ifndef _WIN32

// Sets an environment variable for one scope (or unsets it with nullptr).
class t_ScopedVariable {
 public:
  t_ScopedVariable(const char* name, const char* value) : m_name(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) m_old = old;
    m_had = old != nullptr;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~t_ScopedVariable() {
    if (m_had) {
      ::setenv(m_name, m_old.c_str(), 1);
    } else {
      ::unsetenv(m_name);
    }
  }

 private:
  const char* m_name;
  std::string m_old;
  bool m_had = false;
};

TEST_F(WorkspaceTest, SharedTemporaryFolderGetsTheUserIdInTheName) {
  const std::string uid = std::to_string(::geteuid());
  const std::string runtime = m_folder.native();
  {
    // The per-user runtime folder is private already.
    t_ScopedVariable xdg("XDG_RUNTIME_DIR", runtime.c_str());
    EXPECT_EQ(WorkspacePath(), runtime + "/Mivora/");
  }
  {
    t_ScopedVariable xdg("XDG_RUNTIME_DIR", (runtime + "/").c_str());
    EXPECT_EQ(WorkspacePath(), runtime + "/Mivora/");
  }
  {
    t_ScopedVariable xdg("XDG_RUNTIME_DIR", nullptr);
    t_ScopedVariable tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(WorkspacePath(), "/var/tmp/Mivora-" + uid + "/");
  }
  {
    t_ScopedVariable xdg("XDG_RUNTIME_DIR", "");
    t_ScopedVariable tmp("TMPDIR", nullptr);
    EXPECT_EQ(WorkspacePath(), "/tmp/Mivora-" + uid + "/");
  }
}

// A new workspace is exactly 0700, whatever the umask takes away or leaves.
TEST_F(WorkspaceTest, NewFolderIsPrivateWhateverTheUmask) {
  for (const mode_t mask : {mode_t{0}, mode_t{022}, mode_t{0277}}) {
    SCOPED_TRACE(mask);
    const t_String folder = Workspace("umask-" + std::to_string(mask));
    const mode_t old = ::umask(mask);
    CreateWorkspace(folder);
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
  }
}

// Whoever else could write the workspace could plant the tool we run, so
// anything but a real folder of ours that only we can write is refused,
// and nothing is ever created through a planted link.
TEST_F(WorkspaceTest, ExistingFolderIsUsedOnlyWhenItIsPrivate) {
  struct t_Case {
    const char* name;
    void (*plant)(const fs::path& at, const fs::path& elsewhere);
    bool accepted;
  };
  const t_Case cases[] = {
      {"own folder 0700", [](const fs::path& at, const fs::path&) { fs::create_directory(at); }, true},
      {"own folder 0755",
       [](const fs::path& at, const fs::path&) {
         fs::create_directory(at);
         ::chmod(at.c_str(), 0755);
       },
       true},
      {"group-writable",
       [](const fs::path& at, const fs::path&) {
         fs::create_directory(at);
         ::chmod(at.c_str(), 0770);
       },
       false},
      {"other-writable",
       [](const fs::path& at, const fs::path&) {
         fs::create_directory(at);
         ::chmod(at.c_str(), 0703);
       },
       false},
      {"sticky and world-writable",
       [](const fs::path& at, const fs::path&) {
         fs::create_directory(at);
         ::chmod(at.c_str(), 01777);
       },
       false},
      {"link to a folder",
       [](const fs::path& at, const fs::path& elsewhere) { fs::create_directory_symlink(elsewhere, at); },
       false},
      {"dangling link", [](const fs::path& at, const fs::path&) { fs::create_symlink("nowhere", at); },
       false},
      {"file", [](const fs::path& at, const fs::path&) { std::ofstream(at) << "x"; }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path elsewhere = m_folder / "elsewhere";
    const fs::path at = m_folder / "Mivora";
    fs::remove_all(at);
    fs::remove_all(elsewhere);
    fs::create_directory(elsewhere);
    c.plant(at, elsewhere);
    const auto before = fs::symlink_status(at).type();
    try {
      CreateWorkspace(at.native() + "/");
      EXPECT_TRUE(c.accepted) << "accepted";
    } catch (const t_ErrorException& error) {
      EXPECT_FALSE(c.accepted) << "refused with " << error.Code();
      EXPECT_EQ(error.Code(), kCodeAccessDenied);
    }
    EXPECT_EQ(fs::symlink_status(at).type(), before);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_FALSE(fs::exists(m_folder / "nowhere"));
  }
}

TEST_F(WorkspaceTest, FolderOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
  const fs::path at = m_folder / "Mivora";
  fs::create_directory(at);
  ::chmod(at.c_str(), 0700);
  ASSERT_EQ(::chown(at.c_str(), 12345, 12345), 0);
  try {
    CreateWorkspace(at.native() + "/");
    ADD_FAILURE() << "accepted";
  } catch (const t_ErrorException& error) {
    EXPECT_EQ(error.Code(), kCodeAccessDenied);
  }
}

#endif

}  // namespace
}  // namespace n_zorbel::n_system
