// The workspace on real folders: where it lives, that an earlier run's folder
// is reused, and on POSIX that nothing but a private folder of ours is used.
#include "system/workspace.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/environment_variable.hpp"
#include "support/file_bytes.hpp"
#include "support/links.hpp"
#include "support/raised_code.hpp"
#include "support/scratch_folder.hpp"
#include "system/error.hpp"
#include "system/temp_folder.hpp"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace n_zorbel::n_system {
namespace {

namespace fs = std::filesystem;
using n_testing::CodeOf;
using n_testing::ReadFile;

constexpr std::int32_t kCodeAccessDenied = static_cast<std::int32_t>(0x80070005u);

class WorkspaceTest : public ::testing::Test {
 protected:
  // A workspace path as the program passes it: ending with the separator.
  t_String Workspace(const std::string& name) const { return (m_folder / name).native() + kPathSeparator; }

  n_testing::t_ScratchFolder m_scratch;
  const fs::path m_folder = m_scratch.Fs();
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
  const std::int32_t code =
      CodeOf([&] { CreateWorkspace(Workspace("missing") + ZTEXT("Mivora") + kPathSeparator); });
#ifdef _WIN32
  EXPECT_EQ(code, static_cast<std::int32_t>(0x80070003u));
#else
  EXPECT_EQ(code, static_cast<std::int32_t>(0x80070002u));
#endif
}

#ifndef _WIN32

TEST_F(WorkspaceTest, SharedTemporaryFolderGetsTheUserIdInTheName) {
  const std::string uid = std::to_string(::geteuid());
  const std::string runtime = m_folder.native();
  {
    // The per-user runtime folder is private already.
    n_testing::t_EnvironmentVariable xdg("XDG_RUNTIME_DIR", runtime.c_str());
    EXPECT_EQ(WorkspacePath(), runtime + "/Mivora/");
  }
  {
    n_testing::t_EnvironmentVariable xdg("XDG_RUNTIME_DIR", (runtime + "/").c_str());
    EXPECT_EQ(WorkspacePath(), runtime + "/Mivora/");
  }
  {
    n_testing::t_EnvironmentVariable xdg("XDG_RUNTIME_DIR", nullptr);
    n_testing::t_EnvironmentVariable tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(WorkspacePath(), "/var/tmp/Mivora-" + uid + "/");
  }
  {
    n_testing::t_EnvironmentVariable xdg("XDG_RUNTIME_DIR", "");
    n_testing::t_EnvironmentVariable tmp("TMPDIR", nullptr);
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
    bool accepted;
    mode_t mode;  // of a folder of ours, when nothing else is planted
    void (*plant)(const fs::path& at, const fs::path& elsewhere) = nullptr;
  };
  const t_Case cases[] = {
      {"own folder 0700", true, 0700},
      {"own folder 0755", true, 0755},
      {"group-writable", false, 0770},
      {"other-writable", false, 0703},
      {"sticky and world-writable", false, 01777},
      {"link to a folder", false, 0,
       [](const fs::path& at, const fs::path& elsewhere) { fs::create_directory_symlink(elsewhere, at); }},
      {"dangling link", false, 0,
       [](const fs::path& at, const fs::path&) { fs::create_symlink("nowhere", at); }},
      {"file", false, 0, [](const fs::path& at, const fs::path&) { std::ofstream(at) << "x"; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path elsewhere = m_folder / "elsewhere";
    const fs::path at = m_folder / "Mivora";
    fs::remove_all(at);
    fs::remove_all(elsewhere);
    fs::create_directory(elsewhere);
    if (c.plant != nullptr) {
      c.plant(at, elsewhere);
    } else {
      fs::create_directory(at);
      ::chmod(at.c_str(), c.mode);
    }
    const auto before = fs::symlink_status(at).type();
    EXPECT_EQ(CodeOf([&] { CreateWorkspace(at.native() + "/"); }), c.accepted ? 0 : kCodeAccessDenied);
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
  EXPECT_EQ(CodeOf([&] { CreateWorkspace(at.native() + "/"); }), kCodeAccessDenied);
}

#endif

// --- What the teardown may remove ------------------------------------------

// When Apply ran relative to the thing planted at the workspace path.
enum class t_Apply { Never, Before, After };

// What an earlier run, a stale link or another user left at the workspace
// path (`at`); `victim` is a folder of the user's elsewhere.
struct t_Planted {
  const char* name;
  void (*plant)(const fs::path& at, const fs::path& victim);
  t_Apply apply;
  bool needsRoot = false;
};

void WritePrecious(const fs::path& file) { std::ofstream(file, std::ios::binary) << "precious"; }

void PlantFolder(const fs::path& at, const fs::path&) {
  fs::create_directory(at);
  WritePrecious(at / "keep.mp4");
}

// Whatever is planted, the teardown leaves it as it was, and the user's
// folder it may lead to is untouched, whether or not Apply ran.
TEST_F(WorkspaceTest, TheTeardownLeavesWhatItDidNotMakeOrVerifyUntouched) {
  std::vector<t_Planted> cases = {
      {"earlier run's folder, Apply never pressed", PlantFolder, t_Apply::Never},
      {"our folder swapped for another after Apply", PlantFolder, t_Apply::Before},
  };
  // No plant: a link to the user's folder (see t_FolderLink).
  cases.insert(cases.end(), {
      {"link to the user's folder, Apply never pressed", nullptr, t_Apply::Never},
      {"link to the user's folder, Apply pressed", nullptr, t_Apply::After},
      {"link put in our folder's place after Apply", nullptr, t_Apply::Before},
  });
#ifndef _WIN32
  cases.insert(cases.end(), {
      {"dangling link", [](const fs::path& at, const fs::path&) { fs::create_symlink("nowhere", at); },
       t_Apply::After},
      {"group-writable folder",
       [](const fs::path& at, const fs::path& victim) {
         PlantFolder(at, victim);
         ::chmod(at.c_str(), 0770);
       },
       t_Apply::After},
      {"another user's folder",
       [](const fs::path& at, const fs::path& victim) {
         PlantFolder(at, victim);
         ASSERT_EQ(::chown(at.c_str(), 65534, 65534), 0);
       },
       t_Apply::After, true},
      {"another user's link to the user's folder",
       [](const fs::path& at, const fs::path& victim) {
         fs::create_directory_symlink(victim, at);
         ASSERT_EQ(::lchown(at.c_str(), 65534, 65534), 0);
       },
       t_Apply::After, true},
  });
#endif
  for (const t_Planted& c : cases) {
    SCOPED_TRACE(c.name);
#ifndef _WIN32
    if (c.needsRoot && ::geteuid() != 0) continue;  // giving things away needs root
#endif
    const fs::path case_ = m_folder / std::to_string(&c - cases.data());
    const fs::path at = case_ / "Mivora";
    const fs::path victim = case_ / "Videos";
    fs::create_directories(victim / "sub");
    WritePrecious(victim / "keep.mp4");
    WritePrecious(victim / "sub" / "keep-too.mp4");
    const t_String workspace = at.native() + kPathSeparator;
    if (c.apply == t_Apply::Before) {
      CreateWorkspace(workspace);
      fs::rename(at, case_ / "moved-away");
    }
    std::optional<n_testing::t_FolderLink> link;
    if (c.plant != nullptr) {
      c.plant(at, victim);
    } else {
      link.emplace(victim, at);
      ASSERT_EQ(link->Reason(), "");
    }
    const fs::file_type planted = fs::symlink_status(at).type();
    if (c.apply == t_Apply::After) {
      try {
        CreateWorkspace(workspace);
      } catch (const t_ErrorException&) {
        // Refused, as it should be for anything not a private folder of ours.
      }
    }

    EXPECT_NO_THROW(RemoveWorkspace(workspace));

    EXPECT_EQ(fs::symlink_status(at).type(), planted);
    if (planted == fs::file_type::directory) {
      EXPECT_EQ(ReadFile(at / "keep.mp4"), "precious");
    }
    EXPECT_EQ(ReadFile(victim / "keep.mp4"), "precious");
    EXPECT_EQ(ReadFile(victim / "sub" / "keep-too.mp4"), "precious");
    EXPECT_FALSE(fs::exists(case_ / "nowhere"));
  }
}

TEST_F(WorkspaceTest, TheTeardownRemovesTheWorkspaceThisRunMade) {
  const t_String folder = Workspace("Mivora");
  CreateWorkspace(folder);
  std::ofstream(fs::path(folder) / "ntag") << "tool";
  fs::create_directories(fs::path(folder) / "left-over" / "deeper");
  RemoveWorkspace(folder);
  EXPECT_FALSE(fs::exists(fs::symlink_status(fs::path(folder))));
}

// Sets the variable that chooses the temporary folder for one scope.
class t_TemporaryFolderChoice {
 public:
  explicit t_TemporaryFolderChoice(const fs::path& folder) {
#ifdef _WIN32
    SetFor(L"TMP", folder.native().c_str());
#else
    SetFor("XDG_RUNTIME_DIR", nullptr);
    SetFor("TMPDIR", folder.c_str());
#endif
  }
  ~t_TemporaryFolderChoice() {
    for (auto it = m_old.rbegin(); it != m_old.rend(); ++it) Put(it->first, it->second ? it->second->c_str() : nullptr);
  }
  t_TemporaryFolderChoice(const t_TemporaryFolderChoice&) = delete;
  t_TemporaryFolderChoice& operator=(const t_TemporaryFolderChoice&) = delete;

 private:
  using t_Name = const fs::path::value_type*;
  void SetFor(t_Name name, t_Name value) {
#ifdef _WIN32
    const wchar_t* old = _wgetenv(name);
#else
    const char* old = std::getenv(name);
#endif
    m_old.emplace_back(name, old ? std::optional<fs::path::string_type>(old) : std::nullopt);
    Put(name, value);
  }
  static void Put(t_Name name, t_Name value) {
#ifdef _WIN32
    SetEnvironmentVariableW(name, value);
    _wputenv_s(name, value ? value : L"");
#else
    if (value) ::setenv(name, value, 1); else ::unsetenv(name);
#endif
  }
  std::vector<std::pair<t_Name, std::optional<fs::path::string_type>>> m_old;
};

// Nobody can block Apply by taking the workspace's usual name: start-up picks
// a fresh private folder beside it, Apply works there, the teardown removes
// exactly that folder, and what was planted stays as it was.
TEST_F(WorkspaceTest, ANameTakenByAnythingButOurFolderGivesAFreshPrivateWorkspace) {
  const fs::path temp = m_folder / "temp";
  fs::create_directories(temp);
  const t_TemporaryFolderChoice choice(temp);
  const t_String usual = WorkspacePath();
  const fs::path usualAt = fs::path(usual).parent_path();
  ASSERT_EQ(usualAt.parent_path(), temp);

  std::vector<std::pair<const char*, void (*)(const fs::path&, const fs::path&)>> cases = {
      {"file", [](const fs::path& at, const fs::path&) { WritePrecious(at); }},
  };
#ifndef _WIN32
  cases.insert(cases.end(), {
      {"link to the user's folder", [](const fs::path& at, const fs::path& victim) {
         fs::create_directory_symlink(victim, at);
       }},
      {"group-writable folder", [](const fs::path& at, const fs::path& victim) {
         PlantFolder(at, victim);
         ::chmod(at.c_str(), 0777);
       }},
  });
  if (::geteuid() == 0) {
    cases.push_back({"another user's folder", [](const fs::path& at, const fs::path& victim) {
                       PlantFolder(at, victim);
                       ASSERT_EQ(::chown(at.c_str(), 65534, 65534), 0);
                     }});
  }
#endif
  const fs::path victim = m_folder / "Videos";
  fs::create_directories(victim);
  WritePrecious(victim / "keep.mp4");
  for (const auto& [name, plant] : cases) {
    SCOPED_TRACE(name);
    fs::remove_all(usualAt);
    plant(usualAt, victim);
    const fs::file_type planted = fs::symlink_status(usualAt).type();

    const t_String fresh = WorkspacePath();
    ASSERT_NE(fresh, usual);
    ASSERT_EQ(fs::path(fresh).parent_path().parent_path(), temp);
    EXPECT_NO_THROW(CreateWorkspace(fresh));  // Apply works
    std::ofstream(fs::path(fresh) / "ntag") << "tool";
#ifndef _WIN32
    struct stat info {};
    ASSERT_EQ(::lstat(fs::path(fresh).parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());
#endif
    RemoveWorkspace(fresh);
    EXPECT_FALSE(fs::exists(fs::symlink_status(fs::path(fresh).parent_path())));

    EXPECT_EQ(fs::symlink_status(usualAt).type(), planted);
    if (planted == fs::file_type::directory) {
      EXPECT_EQ(ReadFile(usualAt / "keep.mp4"), "precious");
    } else if (planted == fs::file_type::regular) {
      EXPECT_EQ(ReadFile(usualAt), "precious");
    }
    EXPECT_EQ(ReadFile(victim / "keep.mp4"), "precious");
  }
}

}  // namespace
}  // namespace n_zorbel::n_system
