// The mapped file on real files: every resize keeps the bytes before the
// range, moves the bytes after it, and leaves the file exactly as long as
// Size() says.
#include "system/memory_mapped_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>

#include "support/file_bytes.hpp"
#include "support/raised_code.hpp"
#include "support/scratch_folder.hpp"
#include "support/small_disk.hpp"

namespace n_zorbel::n_system {
namespace {

namespace fs = std::filesystem;
using n_testing::ReadFile;
using n_testing::WriteFile;
using t_Bytes = std::string;

constexpr std::int32_t kCodeAccessDenied = static_cast<std::int32_t>(0x80070005u);
constexpr std::int32_t kCodeSharingViolation = static_cast<std::int32_t>(0x80070020u);
constexpr std::int32_t kCodeFileInvalid = static_cast<std::int32_t>(0x800703EEu);
constexpr std::uint64_t kMiB = 1024 * 1024;

// Bytes that differ from their neighbours and do not repeat with any power
// of two, so a chunk moved to the wrong place cannot pass unnoticed.
t_Bytes Pattern(std::size_t length, std::uint32_t seed = 1) {
  t_Bytes bytes(length, '\0');
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (auto& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

class MemoryMappedFileTest : public ::testing::Test {
 protected:
  fs::path File(const std::string& name) const { return m_folder.Fs() / name; }
  static t_String Native(const fs::path& path) { return path.native(); }

  n_testing::t_ScratchFolder m_folder;
};

TEST_F(MemoryMappedFileTest, MissingFileIsCreatedEmptyThenSizedByTheFirstRegion) {
  const fs::path path = File("new.bin");
  t_MemoryMappedFile file;
  file.Open(Native(path));
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(file.Size(), 0u);
  EXPECT_EQ(fs::file_size(path), 0u);

  const t_Bytes content = Pattern(1000);
  std::byte* region = file.ReplaceRegion(1000, 0, 0);
  ASSERT_EQ(file.RegionEnd() - region, 1000);
  EXPECT_EQ(file.Size(), 1000u);
  std::memcpy(region, content.data(), content.size());
  file.Close();
  EXPECT_EQ(file.Size(), 0u);
  EXPECT_EQ(file.RegionBegin(), nullptr);
  EXPECT_EQ(ReadFile(path), content);
}

// One table, one invariant: after ReplaceRegion(n, o, p) and filling the
// region, the file is old[0, p) + region + old[p + o, end), and the region
// started with the first min(n, o) old bytes of the range.
struct t_ReplaceCase {
  const char* name;
  std::size_t initial;
  std::uint32_t n;
  std::uint64_t o;
  std::uint64_t p;
};

TEST_F(MemoryMappedFileTest, ReplaceRegionKeepsTheBytesAroundTheRange) {
  const t_ReplaceCase cases[] = {
      {"truncate", 10, 4, 10, 0},
      {"extend", 10, 20, 10, 0},
      {"insert in the middle", 10, 6, 0, 5},
      {"remove from the middle", 10, 0, 4, 3},
      {"shrink in the middle", 10, 1, 4, 3},
      {"grow in the middle", 10, 7, 2, 4},
      {"same length", 10, 3, 3, 2},
      {"append at the end", 10, 5, 0, 10},
      {"grow the first byte", 1, 2, 1, 0},
      {"cut the tail", 10, 0, 3, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = File("replace.bin");
    const t_Bytes old = Pattern(c.initial, static_cast<std::uint32_t>(c.n + c.o * 7 + c.p * 131));
    WriteFile(path, old);
    {
      t_MemoryMappedFile file;
      file.Open(Native(path));
      ASSERT_EQ(file.Size(), c.initial);
      std::byte* region = file.ReplaceRegion(c.n, c.o, c.p);
      ASSERT_EQ(file.RegionEnd() - region, static_cast<std::ptrdiff_t>(c.n));
      EXPECT_EQ(file.Size(), c.initial - c.o + c.n);
      const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(c.n, c.o));
      EXPECT_EQ(0, std::memcmp(region, old.data() + c.p, kept));
      std::memset(region, 0xEE, c.n);
    }
    t_Bytes expected(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(c.p));
    expected.insert(expected.end(), c.n, '\xEE');
    expected.insert(expected.end(), old.begin() + static_cast<std::ptrdiff_t>(c.p + c.o), old.end());
    EXPECT_EQ(ReadFile(path), expected);
  }
}

// A 9 MiB tail moves in chunks of 4, 4 and 1 MiB. The shift is far smaller
// than a chunk, so source and destination overlap: moving the chunks in the
// wrong order would overwrite bytes before they are read.
TEST_F(MemoryMappedFileTest, LongTailMovesInChunksBothWays) {
  struct t_Case {
    const char* name;
    std::uint32_t n;
    std::uint64_t o;
  };
  const t_Case cases[] = {{"grow", 12345, 0}, {"shrink", 7, 12345 + 7}};
  constexpr std::uint64_t kOffset = 100;
  constexpr std::uint64_t kTail = 9 * kMiB + 3;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = File("long.bin");
    const t_Bytes old = Pattern(static_cast<std::size_t>(kOffset + c.o + kTail), c.n);
    WriteFile(path, old);
    {
      t_MemoryMappedFile file;
      file.Open(Native(path));
      std::byte* region = file.ReplaceRegion(c.n, c.o, kOffset);
      std::memset(region, 0xEE, c.n);
      EXPECT_EQ(file.Size(), kOffset + c.n + kTail);
    }
    const t_Bytes now = ReadFile(path);
    ASSERT_EQ(now.size(), kOffset + c.n + kTail);
    EXPECT_TRUE(std::equal(old.begin(), old.begin() + kOffset, now.begin()));
    EXPECT_TRUE(std::all_of(now.begin() + kOffset, now.begin() + kOffset + c.n,
                            [](unsigned char b) { return b == 0xEE; }));
    // Every byte of the tail, reported at the first difference.
    const auto oldTail = old.begin() + static_cast<std::ptrdiff_t>(kOffset + c.o);
    const auto mismatch = std::mismatch(oldTail, old.end(), now.begin() + kOffset + c.n);
    EXPECT_EQ(mismatch.first, old.end()) << "tail differs at byte " << (mismatch.first - oldTail);
  }
}

// The view starts at an aligned offset and the region pointer is corrected
// by the remainder: 70,000 is 4,464 into a 64 KiB granule (368 into a 4 KiB page).
TEST_F(MemoryMappedFileTest, RegionAtAnUnalignedOffsetPointsAtItsBytes) {
  const fs::path path = File("unaligned.bin");
  const t_Bytes old = Pattern(200000);
  WriteFile(path, old);
  t_MemoryMappedFile file;
  file.Open(Native(path));
  std::byte* region = file.ReplaceRegion(16, 16, 70000);
  const std::uint64_t granularity = t_MemoryMappedFile::Granularity();
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(region) % granularity, 70000 % granularity);
  EXPECT_EQ(0, std::memcmp(region, old.data() + 70000, 16));
  std::memset(region, 0xEE, 16);
  file.Close();
  t_Bytes expected = old;
  std::fill(expected.begin() + 70000, expected.begin() + 70016, '\xEE');
  EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(MemoryMappedFileTest, RangesOutsideTheFileAreRefusedAndLeaveItUntouched) {
  struct t_Case {
    const char* name;
    std::uint32_t n;
    std::uint64_t o;
    std::uint64_t p;
    bool overflow;
  };
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const t_Case cases[] = {
      {"offset beyond the end", 1, 0, 11, false},
      {"old range past the end", 1, 5, 6, false},
      {"old range longer than the file", 20, 11, 0, false},
      {"huge offset", 1, 0, kMax, false},
      {"offset plus old length overflows", 1, kMax - 2, 5, true},
      {"old length overflows at the end", 0, kMax, 10, true},
  };
  const fs::path path = File("range.bin");
  const t_Bytes old = Pattern(10);
  WriteFile(path, old);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    t_MemoryMappedFile file;
    file.Open(Native(path));
    if (c.overflow) {
      // A fault in the arithmetic is no system answer: it must not look like one.
      try {
        file.ReplaceRegion(c.n, c.o, c.p);
        ADD_FAILURE() << "no error";
      } catch (const n_system::t_ErrorException&) {
        ADD_FAILURE() << "overflow raised as a system error";
      } catch (const std::overflow_error&) {
      }
    } else {
      try {
        file.ReplaceRegion(c.n, c.o, c.p);
        ADD_FAILURE() << "no error";
      } catch (const t_MemoryMappedFile::t_ErrorException& error) {
        EXPECT_EQ(error.Code(), kCodeAccessDenied);
        EXPECT_STREQ(error.what(), "/zorbel/system/windows/memory_mapped_file/error exception");
      }
    }
    EXPECT_EQ(file.Size(), 10u);
    // Still usable after the refusal.
    EXPECT_EQ(0, std::memcmp(file.ReplaceRegion(10, 10, 0), old.data(), 10));
    file.Close();
    EXPECT_EQ(ReadFile(path), old);
  }
}

// The platform cannot map an empty file, so the resize itself fails; the
// file is cut to 0 and the object agrees with it.
TEST_F(MemoryMappedFileTest, ShrinkingToNothingFailsWhenTheEmptyFileIsMapped) {
  const fs::path path = File("empty.bin");
  WriteFile(path, Pattern(10));
  t_MemoryMappedFile file;
  file.Open(Native(path));
  try {
    file.ReplaceRegion(0, 10, 0);
    ADD_FAILURE() << "no error";
  } catch (const t_MemoryMappedFile::t_ErrorException&) {
    ADD_FAILURE() << "raised as a view failure";
  } catch (const n_system::t_ErrorException& error) {
    EXPECT_EQ(error.Code(), kCodeFileInvalid);
  }
  EXPECT_EQ(file.Size(), 0u);
  file.Close();
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(MemoryMappedFileTest, FileIsHeldExclusivelyUntilClosed) {
  const fs::path path = File("held.bin");
  const t_Bytes old = Pattern(10);
  WriteFile(path, old);
  t_MemoryMappedFile second;
  {
    t_MemoryMappedFile first;
    first.Open(Native(path));
    std::memset(first.ReplaceRegion(4, 4, 0), 0xEE, 4);
    EXPECT_EQ(n_testing::CodeOf([&] { second.Open(Native(path)); }), kCodeSharingViolation);
    EXPECT_EQ(second.Size(), 0u);

    // Opening another file releases the first one.
    first.Open(Native(File("other.bin")));
    second.Open(Native(path));
    second.Close();
    first.Open(Native(path));
  }
  // The destructor released it, and what was written through the view stayed.
  second.Open(Native(path));
  EXPECT_EQ(second.Size(), 10u);
  EXPECT_EQ(0, std::memcmp(second.ReplaceRegion(10, 10, 0), "\xEE\xEE\xEE\xEE", 4));
  EXPECT_EQ(0, std::memcmp(second.RegionBegin() + 4, old.data() + 4, 6));
}

// Growing a file on a disk without the room fails with "disk full" before a
// view can be written (a write into a hole of a full disk would end the
// process); the file is left as long as it was, with what it had.
TEST(MemoryMappedFileFullDiskTest, GrowingPastTheRoomLeftRaisesDiskFull) {
  n_testing::t_ScratchFolder scratch;
  const n_testing::t_SmallDisk disk(scratch.Fs() / "small", "256k");
  if (!disk.Ready()) GTEST_SKIP() << "no small disk to fill here";
  const t_String path = disk.Path() + ZTEXT("grown");
  t_MemoryMappedFile file;
  file.Open(path);
  std::memcpy(file.ReplaceRegion(4, 0, 0), "keep", 4);
  EXPECT_EQ(n_testing::CodeOf([&] { file.ReplaceRegion(static_cast<std::uint32_t>(4 * kMiB), 0, 4); }),
            static_cast<std::int32_t>(0x80070070u));
  EXPECT_EQ(file.Size(), 4u);
  file.Close();
  EXPECT_EQ(ReadFile(fs::path(path)), "keep");
}

}  // namespace
}  // namespace n_zorbel::n_system
