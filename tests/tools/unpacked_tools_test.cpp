// Unpacking into a real folder: the file written, what it replaces, the read
// lock held on it, and running it.
#include "tools/unpacked_tools.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "support/raised_code.hpp"
#include "support/scratch_folder.hpp"
#include "system/child_process.hpp"
#include "system/error.hpp"
#include "system/memory_mapped_file.hpp"
#include "tool_test_support.hpp"
#include "tools/module.hpp"
#include "tools/tool_package.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_tools::t_UnpackedTools;

std::int32_t OpenCode(const t_String& path) {
  return CodeOf([&] { n_system::t_MemoryMappedFile().Open(path); });
}

std::uint32_t RunToEnd(const t_String& application, const t_String& commandLine) {
  n_system::t_ChildProcessRunner runner;
  auto process = runner.Start(application, commandLine);
  process->Finish(n_system::kWaitForever, true);
  EXPECT_TRUE(process->ExitCodeValid());
  return process->ExitCode();
}

TEST(UnpackedToolsTest, WritesTheToolUnderItsNameReplacingALongerOldOne) {
  t_ScratchFolder folder;
  const std::string old(100000, 'o');
  folder.MakeFile(n_tools::ToolFileName(0), old);
  const t_Bytes tool = ToolLikeBytes(4321, 1);
  const t_Bytes package = PackOne(tool);
  const n_tools::t_MemoryModule module(package);
  {
    const t_UnpackedTools tools(module, folder.Path());
    EXPECT_EQ(tools.ToolPath(), folder.Path() + t_String(n_tools::ToolFileName(0)));
    EXPECT_EQ(ReadAll(std::filesystem::path(tools.ToolPath())), tool);
  }
  // Unpacked again over itself: the same bytes, nothing appended.
  const t_UnpackedTools again(module, folder.Path());
  EXPECT_EQ(ReadAll(std::filesystem::path(again.ToolPath())), tool);
}

TEST(UnpackedToolsTest, HoldsTheToolForReadingUntilDestroyed) {
  t_ScratchFolder folder;
  const t_Bytes tool = ToolLikeBytes(1000, 2);
  const t_Bytes package = PackOne(tool);
  const n_tools::t_MemoryModule module(package);
  const t_String path = folder.Path() + t_String(n_tools::ToolFileName(0));
  {
    const t_UnpackedTools tools(module, folder.Path());
    // Our own exclusive open is refused with a sharing violation on both
    // platforms; reading is allowed.
    EXPECT_EQ(OpenCode(path), static_cast<std::int32_t>(0x80070020));
    EXPECT_EQ(ReadAll(std::filesystem::path(path)), tool);
#ifdef _WIN32
    // Nobody may write to it or delete it.
    std::ofstream writer(std::filesystem::path(path), std::ios::binary | std::ios::app);
    EXPECT_FALSE(writer.is_open());
    std::error_code error;
    EXPECT_FALSE(std::filesystem::remove(std::filesystem::path(path), error));
#else
    EXPECT_EQ(tools.ToolLaunchPath().rfind("/proc/self/fd/", 0), 0u);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
#endif
  }
  EXPECT_EQ(OpenCode(path), 0);  // the lock went with the object
}

TEST(UnpackedToolsTest, AToolHeldByAnotherWriterFailsWithSharingViolationAndLeavesNothingOpen) {
  t_ScratchFolder folder;
  const t_Bytes package = PackOne(ToolLikeBytes(100, 3));
  const n_tools::t_MemoryModule module(package);
  n_system::t_MemoryMappedFile holder;
  holder.Open(folder.Path() + t_String(n_tools::ToolFileName(0)));
  const int descriptors = OpenDescriptorCount();
  EXPECT_EQ(CodeOf([&] { const t_UnpackedTools tools(module, folder.Path()); }),
            static_cast<std::int32_t>(0x80070020));
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST(UnpackedToolsTest, AMissingFolderIsASystemError) {
  t_ScratchFolder folder;
  const t_Bytes package = PackOne(ToolLikeBytes(100, 4));
  const n_tools::t_MemoryModule module(package);
  const int descriptors = OpenDescriptorCount();
  const std::int32_t code = CodeOf([&] { const t_UnpackedTools tools(module, folder / ZTEXT("missing/")); });
  // "File not found" or "path not found", converted, whichever the platform says.
  EXPECT_TRUE(code == static_cast<std::int32_t>(0x80070002) || code == static_cast<std::int32_t>(0x80070003))
      << code;
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST(ProgramPackageTest, CarriesExactlyTheBuiltToolPackedWithLc8) {
  const n_tools::t_ProgramModule module;
  const auto package = module.ToolPackage();
  const auto header = n_tools::ReadToolPackageHeader(package);
  EXPECT_EQ(header.properties[0], std::byte{0x08});
  const n_tools::t_ToolPayload payload(package);
  const t_Bytes built = ReadAll(std::filesystem::path(FromUtf8(MIVORA_PACKED_TOOL)));
  ASSERT_FALSE(built.empty());
  const auto file = payload.File(0);
  EXPECT_TRUE(std::equal(file.begin(), file.end(), built.begin(), built.end()));
}

TEST(ProgramPackageTest, TheUnpackedToolRunsAndItsExitCodeComesBack) {
  t_ScratchFolder folder;
  const n_tools::t_ProgramModule module;
  const t_UnpackedTools tools(module, folder.Path());
  // The tagger's own codes (ntag/README.md): 0 for -version, 1 for a usage
  // error, 2 for a video that is not there.
  EXPECT_EQ(RunToEnd(tools.ToolLaunchPath(), ZTEXT(" -version")), 0u);
  EXPECT_EQ(RunToEnd(tools.ToolLaunchPath(), ZTEXT(" -no-such-option \"video.mp4\"")), 1u);
  const t_String missing = folder / ZTEXT("missing.mp4");
  EXPECT_EQ(RunToEnd(tools.ToolLaunchPath(), ZTEXT(" -meta:title=\"x\" \"") + missing + ZTEXT("\"")), 2u);
}

#ifndef _WIN32
TEST(ProgramPackageTest, WhatIsPutAtThePathLaterNeverRuns) {
  t_ScratchFolder folder;
  const n_tools::t_ProgramModule module;
  const t_UnpackedTools tools(module, folder.Path());
  // Someone replaces the tool at its path with a program that exits 42.
  std::filesystem::remove(std::filesystem::path(tools.ToolPath()));
  {
    std::ofstream swapped(tools.ToolPath(), std::ios::binary);
    swapped << "#!/bin/sh\nexit 42\n";
  }
  std::filesystem::permissions(tools.ToolPath(), std::filesystem::perms::owner_all);
  EXPECT_EQ(RunToEnd(tools.ToolPath(), ZTEXT(" -version")), 42u);       // the path now names the impostor ...
  EXPECT_EQ(RunToEnd(tools.ToolLaunchPath(), ZTEXT(" -version")), 0u);  // ... but the tool runs as unpacked
}
#endif

}  // namespace
}  // namespace n_zorbel::n_testing
