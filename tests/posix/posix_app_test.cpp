// The POSIX start-up pieces: the single-instance lock file and the language
// taken from the locale variables.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/posix/application.hpp"
#include "app/posix/instance_lock.hpp"
#include "support/environment_variable.hpp"
#include "support/file_bytes.hpp"
#include "support/scratch_folder.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_app::InstanceLockPath;
using n_app::t_InstanceLock;

TEST(InstanceLock, LivesInTheRuntimeFolderElseCarriesTheUserIdInTheTemporaryFolder) {
  EXPECT_EQ(InstanceLockPath("/run/user/1000", "/tmp/", 1000), "/run/user/1000/mivora.lock");
  EXPECT_EQ(InstanceLockPath("/run/user/1000/", "/tmp/", 1000), "/run/user/1000/mivora.lock");
  EXPECT_EQ(InstanceLockPath("", "/tmp/", 1000), "/tmp/mivora-1000.lock");
}

TEST(InstanceLock, TheSecondHolderIsToldAnotherInstanceRunsUntilTheFirstEnds) {
  t_ScratchFolder scratch;
  const t_String path = scratch / "mivora.lock";
  {
    const t_InstanceLock first(path);
    EXPECT_FALSE(first.AnotherInstanceRuns());
    const t_InstanceLock second(path);
    EXPECT_TRUE(second.AnotherInstanceRuns());
  }
  const t_InstanceLock again(path);
  EXPECT_FALSE(again.AnotherInstanceRuns());
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

// Whatever else sits at the lock's path, even locked for ever, the program
// runs (without the one-instance guarantee) and leaves it as it was.
TEST(InstanceLock, AnythingPlantedAtThePathNeitherStopsTheProgramNorIsChanged) {
  struct t_Case {
    const char* name;
    void (*plant)(const t_ScratchFolder& scratch, const t_String& at);
    bool needsRoot;
  };
  const t_Case cases[] = {
      {"link to a file",
       [](const t_ScratchFolder& s, const t_String& at) {
         s.MakeFile("target", "precious");
         std::filesystem::create_symlink(s / "target", at);
       },
       false},
      {"dangling link",
       [](const t_ScratchFolder& s, const t_String& at) {
         std::filesystem::create_symlink(s / "target", at);
       },
       false},
      {"folder", [](const t_ScratchFolder& s, const t_String&) { s.MakeFile("mivora.lock/inside"); }, false},
      {"another user's file",
       [](const t_ScratchFolder& s, const t_String& at) {
         s.MakeFile("mivora.lock", "");
         ASSERT_EQ(::chown(at.c_str(), 65534, 65534), 0);
       },
       true},
      {"another user's link",
       [](const t_ScratchFolder& s, const t_String& at) {
         s.MakeFile("target", "precious");
         std::filesystem::create_symlink(s / "target", at);
         ASSERT_EQ(::lchown(at.c_str(), 65534, 65534), 0);
       },
       true},
  };
  for (const t_Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needsRoot && ::geteuid() != 0) continue;  // planting as another user needs root
    t_ScratchFolder scratch;
    const t_String at = scratch / "mivora.lock";
    c.plant(scratch, at);
    struct stat before {};
    ASSERT_EQ(::lstat(at.c_str(), &before), 0);
    // The planter holds the lock of what it planted, as it would for ever.
    const int planterFd = ::open(at.c_str(), O_RDONLY | O_CLOEXEC);
    if (planterFd >= 0) ::flock(planterFd, LOCK_EX | LOCK_NB);
    {
      const t_InstanceLock lock(at);
      EXPECT_FALSE(lock.AnotherInstanceRuns());
    }
    if (planterFd >= 0) ::close(planterFd);
    struct stat after {};
    ASSERT_EQ(::lstat(at.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    if (scratch.Exists("target")) {
      EXPECT_EQ(ReadFile(scratch / "target"), "precious");
    }
  }
}

TEST(Language, ComesFromTheUsersLocaleVariablesWithEnglishLast) {
  using n_ui::t_Language;
  struct t_Case {
    const char *language, *lcAll, *lcMessages, *lang;
    t_Language expected;
  };
  const t_Case cases[] = {
      {nullptr, nullptr, nullptr, "nl_NL.UTF-8", t_Language::Dutch},
      {nullptr, nullptr, nullptr, "de_DE.UTF-8", t_Language::English},
      {"de:ru", nullptr, nullptr, "de_DE.UTF-8", t_Language::Russian},
      {"el", nullptr, nullptr, "C", t_Language::English},  // LANGUAGE counts only with a real locale
      {nullptr, "ru_RU.UTF-8", "nl_NL.UTF-8", "el_GR.UTF-8", t_Language::Russian},
      {nullptr, nullptr, "el_GR.UTF-8", "nl_NL.UTF-8", t_Language::Greek},
      {nullptr, nullptr, nullptr, nullptr, t_Language::English},
  };
  for (const auto& c : cases) {
    const t_EnvironmentVariable language("LANGUAGE", c.language), lcAll("LC_ALL", c.lcAll),
        lcMessages("LC_MESSAGES", c.lcMessages), lang("LANG", c.lang);
    EXPECT_EQ(n_app::LanguageFromEnvironment(), c.expected)
        << (c.language ? c.language : "-") << " " << (c.lang ? c.lang : "-");
  }
}

}  // namespace
}  // namespace n_zorbel::n_testing
