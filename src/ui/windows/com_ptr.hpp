#pragma once
// The owner of a COM interface pointer (strings from the task allocator and the
// storage media data objects hand out are owned in system/windows/handle.hpp).
// Move-only; each releases what it holds exactly once.
#include <utility>

#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

template <typename T>
class t_ComPtr {
 public:
  t_ComPtr() noexcept = default;
  ~t_ComPtr() { Reset(); }
  t_ComPtr(const t_ComPtr&) = delete;
  t_ComPtr& operator=(const t_ComPtr&) = delete;
  t_ComPtr(t_ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
  t_ComPtr& operator=(t_ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      m_pointer = std::exchange(other.m_pointer, nullptr);
    }
    return *this;
  }

  void Reset() noexcept {
    if (m_pointer != nullptr) std::exchange(m_pointer, nullptr)->Release();
  }
  // For a call that fills an interface pointer; whatever was held is released first.
  void** OutVoid() noexcept {
    Reset();
    return reinterpret_cast<void**>(&m_pointer);
  }
  T** Out() noexcept {
    Reset();
    return &m_pointer;
  }
  T* Get() const noexcept { return m_pointer; }
  T* operator->() const noexcept { return m_pointer; }
  explicit operator bool() const noexcept { return m_pointer != nullptr; }

 private:
  T* m_pointer = nullptr;
};

}  // namespace n_zorbel::n_ui::n_windows
