#pragma once
// The owner of one POSIX file descriptor (-1 for none).
#include <unistd.h>

#include <cerrno>

#include "system/owned_handle.hpp"

namespace n_zorbel::n_system::n_detail {

struct t_DescriptorTraits {
  using t_Value = int;
  static int Empty() noexcept { return -1; }
  // Linux releases the descriptor also when close answers EINTR; retrying
  // could close one that another thread has opened meanwhile.
  static bool Release(int fd) noexcept { return ::close(fd) == 0 || errno == EINTR; }
};

using t_Descriptor = t_OwnedHandle<t_DescriptorTraits>;

}  // namespace n_zorbel::n_system::n_detail
