#include "system/error.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "system/folder_walker.hpp"

namespace n_zorbel::n_system {
namespace {

constexpr std::int32_t Signed(std::uint32_t value) { return static_cast<std::int32_t>(value); }

TEST(ErrorConversion, FollowsTheOneRule) {
  struct t_Case {
    std::uint32_t error;
    std::int32_t code;
  };
  const t_Case cases[] = {
      {0, 0},                              // a call that failed without an error
      {2, Signed(0x80070002u)},            // file not found, shown as -2147024894
      {5, Signed(0x80070005u)},            //
      {713, Signed(0x800702C9u)},          //
      {0xFFFF, Signed(0x8007FFFFu)},       //
      {0x12345, Signed(0x80072345u)},      // only the low 16 bits survive
      {0x7FFFFFFF, Signed(0x8007FFFFu)},   // the largest positive value
      {0x80000000u, Signed(0x80000000u)},  // top bit set: already a status code
      {0xC0000005u, Signed(0xC0000005u)},  // an NTSTATUS stays as it is
      {0x80070002u, Signed(0x80070002u)},  // converting twice changes nothing
      {0xFFFFFFFFu, -1},                   //
  };
  for (const t_Case& c : cases) {
    EXPECT_EQ(ConvertSystemError(c.error), c.code) << "error " << c.error;
    try {
      RaiseSystemError(c.error);
    } catch (const t_ErrorException& raised) {
      EXPECT_EQ(raised.Code(), c.code) << "error " << c.error;
    }
  }
  EXPECT_EQ(ConvertSystemError(2), -2147024894);
}

TEST(ErrorConversion, RaiseCodeKeepsTheValue) {
  for (const std::int32_t code : {0, 13, 713, -1, Signed(0x80004005u)}) {
    try {
      RaiseCode(code);
    } catch (const t_ErrorException& raised) {
      EXPECT_EQ(raised.Code(), code);
    }
  }
}

// Every kind is caught through the base and through std::exception, keeps
// its code, and says what it is.
TEST(ErrorFamily, EachKindIsCaughtThroughTheBases) {
  using t_Raiser = void (*)();
  struct t_Case {
    t_Raiser raise;
    std::int32_t code;
    bool isFolderError;
  };
  const t_Case cases[] = {
      {[] { RaiseSystemError(5); }, Signed(0x80070005u), false},
      {[] { RaiseCode(13); }, 13, false},
      {[] { RaiseFolderError(3); }, Signed(0x80070003u), true},
      {[] { RaiseFolderError(0); }, 0, true},
  };
  for (const t_Case& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << "nothing raised";
    } catch (const t_ErrorException& raised) {
      EXPECT_EQ(raised.Code(), c.code);
      EXPECT_STREQ(raised.what(), "/zorbel/system/windows/error exception");
      EXPECT_EQ(dynamic_cast<const t_FolderWalkerBase::t_ErrorException*>(&raised) != nullptr,
                c.isFolderError);
    }
    try {
      c.raise();
    } catch (const std::exception& raised) {
      EXPECT_STREQ(raised.what(), "/zorbel/system/windows/error exception");
    }
  }
}

TEST(ErrorFamily, FolderErrorIsCaughtByItsOwnHandler) {
  EXPECT_THROW(RaiseFolderError(2), t_FolderWalkerBase::t_ErrorException);
  EXPECT_THROW(RaiseSystemError(2), t_ErrorException);
}

TEST(ErrnoMapping, CountersHaveWindowsNumbers) {
  struct t_Case {
    int error;
    std::uint32_t windows;
  };
  const t_Case cases[] = {
      {ENOENT, 2},       {ENOTDIR, 3}, {EACCES, 5},   {EPERM, 5},       {ENOMEM, 8},
      {EWOULDBLOCK, 32}, {EINVAL, 87}, {ENOSPC, 112}, {ENOTEMPTY, 145}, {EEXIST, 183},
  };
  for (const t_Case& c : cases)
    EXPECT_EQ(WindowsErrorFromErrno(c.error), c.windows) << std::strerror(c.error);
  // Without a counterpart the number passes unchanged, and 0 stays "no error".
  EXPECT_EQ(WindowsErrorFromErrno(0), 0u);
  EXPECT_EQ(WindowsErrorFromErrno(ELOOP), static_cast<std::uint32_t>(ELOOP));
  // So a missing file reads the same number on both platforms.
  EXPECT_EQ(ConvertSystemError(WindowsErrorFromErrno(ENOENT)), -2147024894);
}

}  // namespace
}  // namespace n_zorbel::n_system
