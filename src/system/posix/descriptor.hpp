#pragma once
// The owner of one POSIX file descriptor (-1 for none). Internal to the
// system layer.
#include <unistd.h>

namespace n_zorbel::n_system::n_detail {

class t_Descriptor {
 public:
  explicit t_Descriptor(int fd) noexcept : m_fd(fd) {}
  ~t_Descriptor() { Reset(); }
  t_Descriptor(const t_Descriptor&) = delete;
  t_Descriptor& operator=(const t_Descriptor&) = delete;
  t_Descriptor(t_Descriptor&&) = delete;
  t_Descriptor& operator=(t_Descriptor&&) = delete;
  int Get() const noexcept { return m_fd; }
  void Reset() noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 private:
  int m_fd;
};

}  // namespace n_zorbel::n_system::n_detail
