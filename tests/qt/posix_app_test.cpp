// The POSIX start-up pieces: the single-instance lock file and the language
// taken from the locale variables.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/posix/application.hpp"
#include "app/posix/instance_lock.hpp"
#include "support/scratch_folder.hpp"
#include "system/error.hpp"

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
    EXPECT_TRUE(first.Acquired());
    const t_InstanceLock second(path);
    EXPECT_FALSE(second.Acquired());
  }
  const t_InstanceLock again(path);
  EXPECT_TRUE(again.Acquired());
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(InstanceLock, RefusesALinkAndAFileSomeoneElseOwns) {
  t_ScratchFolder scratch;
  std::filesystem::create_symlink(std::filesystem::path(scratch / "target"),
                                  std::filesystem::path(scratch / "link"));
  EXPECT_THROW(t_InstanceLock(scratch / "link"), n_system::t_ErrorException);
  EXPECT_FALSE(scratch.Exists("target"));
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's file needs root";
  scratch.MakeFile("planted.lock");
  ASSERT_EQ(::chown((scratch / "planted.lock").c_str(), 65534, 65534), 0);
  try {
    t_InstanceLock planted(scratch / "planted.lock");
    FAIL() << "a planted lock file was trusted";
  } catch (const n_system::t_ErrorException& error) {
    EXPECT_EQ(error.Code(), n_system::ConvertSystemError(5));  // access denied
  }
}

class Environment {
 public:
  Environment(const char* language, const char* lcAll, const char* lcMessages, const char* lang) {
    Set("LANGUAGE", language);
    Set("LC_ALL", lcAll);
    Set("LC_MESSAGES", lcMessages);
    Set("LANG", lang);
  }
  ~Environment() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(name);
  }

 private:
  static void Set(const char* name, const char* value) {
    if (value == nullptr)
      ::unsetenv(name);
    else
      ::setenv(name, value, 1);
  }
};

TEST(Language, ComesFromTheUsersLocaleVariablesWithEnglishLast) {
  using n_ui::Language;
  struct t_Case {
    const char *language, *lcAll, *lcMessages, *lang;
    Language expected;
  };
  const t_Case cases[] = {
      {nullptr, nullptr, nullptr, "nl_NL.UTF-8", Language::Dutch},
      {nullptr, nullptr, nullptr, "de_DE.UTF-8", Language::English},
      {"de:ru", nullptr, nullptr, "de_DE.UTF-8", Language::Russian},
      {"el", nullptr, nullptr, "C", Language::English},  // LANGUAGE counts only with a real locale
      {nullptr, "ru_RU.UTF-8", "nl_NL.UTF-8", "el_GR.UTF-8", Language::Russian},
      {nullptr, nullptr, "el_GR.UTF-8", "nl_NL.UTF-8", Language::Greek},
      {nullptr, nullptr, nullptr, nullptr, Language::English},
  };
  for (const auto& c : cases) {
    const Environment environment(c.language, c.lcAll, c.lcMessages, c.lang);
    EXPECT_EQ(n_app::LanguageFromEnvironment(), c.expected)
        << (c.language ? c.language : "-") << " " << (c.lang ? c.lang : "-");
  }
}

}  // namespace
}  // namespace n_zorbel::n_testing
