// What only POSIX has: errno, environment-chosen temp folders, byte file
// names, dangling links and link cycles, signals, and /proc/self/fd paths.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <set>
#include <string>

#include "support/child_tool.hpp"
#include "support/file_bytes.hpp"
#include "support/raised_code.hpp"
#include "support/scratch_folder.hpp"
#include "system/child_process.hpp"
#include "system/error.hpp"
#include "system/folder_walker.hpp"
#include "system/path_query.hpp"
#include "system/posix/descriptor.hpp"
#include "system/temp_folder.hpp"

namespace n_zorbel::n_system {
namespace {

using n_testing::ChildToolCommandLine;
using n_testing::ChildToolPath;
using n_testing::CodeOf;
using n_testing::t_ScratchFolder;

// Sets or clears one environment variable for a scope, then restores it.
class t_EnvironmentVariable {
 public:
  t_EnvironmentVariable(const char* name, const char* value) : m_name(name) {
    if (const char* old = getenv(name)) m_old = old;
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~t_EnvironmentVariable() {
    if (m_old)
      setenv(m_name, m_old->c_str(), 1);
    else
      unsetenv(m_name);
  }
  t_EnvironmentVariable(const t_EnvironmentVariable&) = delete;
  t_EnvironmentVariable& operator=(const t_EnvironmentVariable&) = delete;

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

TEST(PosixErrors, LastSystemErrorMapsErrno) {
  errno = ENOENT;
  EXPECT_EQ(LastSystemError(), kErrorFileNotFound);
  errno = EACCES;
  EXPECT_EQ(LastSystemError(), kErrorAccessDenied);
  errno = ELOOP;
  EXPECT_EQ(LastSystemError(), static_cast<std::uint32_t>(ELOOP));
}

// Every owner shares one policy for a release that fails: an explicit Close
// raises and leaves the owner empty, teardown ends the process.
TEST(PosixDescriptor, AFailingCloseRaisesWhenExplicitAndEndsTheProcessInTeardown) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const n_detail::t_Descriptor writeEnd(ends[1]);
  // No process can hold descriptor INT_MAX.
  constexpr int kNotOpen = std::numeric_limits<int>::max();
  n_detail::t_Descriptor open(ends[0]);
  n_detail::t_Descriptor stale(kNotOpen);
  EXPECT_NO_THROW(open.Close());
  EXPECT_EQ(CodeOf([&] { stale.Close(); }), ConvertSystemError(EBADF));
  EXPECT_TRUE(open.IsEmpty() && stale.IsEmpty());
  EXPECT_DEATH({ const n_detail::t_Descriptor dropped(kNotOpen); }, "");
}

TEST(PosixTempFolder, RuntimeFolderThenTmpdirThenTmp) {
  struct t_Case {
    const char* runtime;
    const char* tmpdir;
    const char* expected;
  };
  const t_Case cases[] = {
      {"/run/user/1000", "/var/tmp", "/run/user/1000/"},
      {"/run/user/1000/", nullptr, "/run/user/1000/"},
      {nullptr, "/var/tmp", "/var/tmp/"},
      {"", "/var/tmp/", "/var/tmp/"},  // an empty variable counts as unset
      {nullptr, "", "/tmp/"},
      {nullptr, nullptr, "/tmp/"},
      {nullptr, "/", "/"},
  };
  for (const t_Case& c : cases) {
    t_EnvironmentVariable runtime("XDG_RUNTIME_DIR", c.runtime);
    t_EnvironmentVariable tmpdir("TMPDIR", c.tmpdir);
    EXPECT_EQ(TempFolderPath(), c.expected)
        << (c.runtime ? c.runtime : "-") << " " << (c.tmpdir ? c.tmpdir : "-");
  }
}

TEST(PosixFolderWalker, NamesThatAreNotUtf8PassUnchanged) {
  t_ScratchFolder root;
  const t_String name = "bad-\xFF\xFE.mp4";
  root.MakeFile(name);
  std::set<t_String> names;
  WalkFolder(root.Path(), [&](const t_String& path, const t_FolderEntry& entry) {
    names.insert(entry.name);
    EXPECT_EQ(path, root.Path() + entry.name);
  });
  EXPECT_EQ(names, std::set<t_String>{name});
  RemoveTree(root.Path());
  EXPECT_FALSE(std::filesystem::exists(root.Fs()));
}

TEST(PosixFolderWalker, DanglingLinkIsALinkToNoFolder) {
  t_ScratchFolder root;
  std::filesystem::create_symlink(root / "nowhere", root / "dangling");
  int visits = 0;
  WalkFolder(root.Path(), [&](const t_String&, const t_FolderEntry& entry) {
    ++visits;
    EXPECT_TRUE(entry.isLink);
    EXPECT_FALSE(entry.isFolder);
  });
  EXPECT_EQ(visits, 1);
  RemoveTree(root.Path());
  EXPECT_FALSE(std::filesystem::exists(root.Fs()));
}

TEST(PosixRemoveTree, ALinkCycleIsRemovedWithoutRecursing) {
  t_ScratchFolder root;
  root.MakeFile("work/sub/file");
  std::filesystem::create_directory_symlink(root / "work", root / "work/sub/back-up");
  std::filesystem::create_directory_symlink(root.Path(), root / "work/to-root");
  root.MakeFile("beside");
  RemoveTree(root / "work/");
  EXPECT_FALSE(root.Exists("work"));
  EXPECT_TRUE(root.Exists("beside"));
}

TEST(PosixRemoveTree, AFailingDeletionStopsWithTheSystemError) {
  if (geteuid() == 0) GTEST_SKIP() << "root may delete from a read-only folder";
  t_ScratchFolder root;
  root.MakeFile("work/locked/file");
  std::filesystem::permissions(root / "work/locked",
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  try {
    RemoveTree(root / "work/");
    ADD_FAILURE() << "nothing raised";
  } catch (const t_FolderWalkerBase::t_ErrorException&) {
    ADD_FAILURE() << "a deletion failure is a system error, not a folder error";
  } catch (const t_ErrorException& error) {
    EXPECT_EQ(error.Code(), ConvertSystemError(kErrorAccessDenied));
  }
  EXPECT_TRUE(root.Exists("work/locked/file"));
  std::filesystem::permissions(root / "work/locked", std::filesystem::perms::owner_all);
}

TEST(PosixQueryPath, OtherFailuresRaise) {
  t_ScratchFolder root;
  std::filesystem::create_symlink(root / "loop", root / "loop");
  EXPECT_EQ(CodeOf([&] { QueryPath(root / "loop"); }), ConvertSystemError(ELOOP));
}

TEST(PosixChildProcess, AChildEndedBySignalReports128PlusTheSignal) {
  for (const int signal : {SIGTERM, SIGKILL, SIGINT}) {
    t_ChildProcess child(ChildToolPath(), ChildToolCommandLine("signal " + std::to_string(signal)));
    child.Finish(kWaitForever, true);
    EXPECT_TRUE(child.ExitCodeValid());
    EXPECT_EQ(child.ExitCode(), 128u + static_cast<unsigned>(signal));
  }
}

TEST(PosixChildProcess, DestructionKillsAndReapsTheChild) {
  t_ScratchFolder root;
  const t_String pidFile = root / "pid";
  pid_t pid = 0;
  {
    t_ChildProcess child(ChildToolPath(), ChildToolCommandLine("pid \"" + pidFile + "\" sleep 60000"));
    for (int i = 0; i < 3000 && pid == 0; ++i) {
      std::ifstream(pidFile) >> pid;
      if (pid == 0) usleep(10000);
    }
    ASSERT_NE(pid, 0) << "child never wrote its pid";
    EXPECT_EQ(kill(pid, 0), 0);
  }
  // Killed and waited for: not even a zombie is left.
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST(PosixChildProcess, RunsAToolThroughAHeldDescriptor) {
  const int fd = open(ChildToolPath().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const t_String viaDescriptor = "/proc/self/fd/" + std::to_string(fd);
  t_ChildProcess child(viaDescriptor, "ntag exit 9");
  child.Finish(kWaitForever, true);
  EXPECT_EQ(child.ExitCode(), 9u);
  close(fd);
}

TEST(PosixChildProcess, AnEmptyProgramNameStillStartsTheTool) {
  t_ScratchFolder root;
  const t_String report = root / "args";
  t_ChildProcess child(ChildToolPath(), " args \"" + report + "\"");
  child.Finish(kWaitForever, true);
  ASSERT_EQ(child.ExitCode(), 0u);
  EXPECT_EQ(n_testing::ReadFile(report), std::string("\0args\0", 6) + report + '\0');
}

TEST(PosixChildProcess, AProgramWithoutExecutePermissionRaisesAccessDenied) {
  t_ScratchFolder root;
  root.MakeFile("not-a-program", "#!/bin/sh\nexit 0\n");
  EXPECT_EQ(CodeOf([&] { t_ChildProcess child(root / "not-a-program", "x"); }),
            ConvertSystemError(kErrorAccessDenied));
}

}  // namespace
}  // namespace n_zorbel::n_system
