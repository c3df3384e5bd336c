#pragma once
// The one owner of a system handle, whatever its kind; `t_Traits` names the
// kind: its value type, the value that holds nothing, and the release call
// (true when the handle is gone). One policy for a release that fails: in
// teardown nothing sound can follow, so the destructor ends the process;
// an explicit Close raises the system error. Internal to the system layer
// and the platform code above it.
#include <exception>
#include <utility>

#include "system/error.hpp"

namespace n_zorbel::n_system::n_detail {

template <class t_Traits>
class t_OwnedHandle {
 public:
  using t_Value = typename t_Traits::t_Value;

  t_OwnedHandle() noexcept = default;
  explicit t_OwnedHandle(t_Value value) noexcept : m_value(value) {}
  ~t_OwnedHandle() {
    if (!IsEmpty() && !t_Traits::Release(m_value)) std::terminate();
  }
  t_OwnedHandle(const t_OwnedHandle&) = delete;
  t_OwnedHandle& operator=(const t_OwnedHandle&) = delete;
  t_OwnedHandle(t_OwnedHandle&& other) noexcept : m_value(other.Detach()) {}
  // What this held goes at once, as in teardown.
  t_OwnedHandle& operator=(t_OwnedHandle&& other) noexcept {
    const t_OwnedHandle previous(std::exchange(m_value, other.Detach()));
    return *this;
  }

  t_Value Get() const noexcept { return m_value; }
  bool IsEmpty() const noexcept { return m_value == t_Traits::Empty(); }
  // Releases the handle now; it is gone even when this raises.
  void Close() {
    if (IsEmpty()) return;
    if (!t_Traits::Release(std::exchange(m_value, t_Traits::Empty()))) RaiseLastError();
  }
  // Hands the handle over unreleased; this holds nothing afterwards.
  t_Value Detach() noexcept { return std::exchange(m_value, t_Traits::Empty()); }
  // For a call that fills in a handle: what this held goes first, as in
  // teardown.
  t_Value* Out() noexcept {
    const t_OwnedHandle previous(Detach());
    return &m_value;
  }

 private:
  t_Value m_value = t_Traits::Empty();
};

}  // namespace n_zorbel::n_system::n_detail
