#pragma once
// Sets (or, with nullptr, unsets) an environment variable for one scope, for
// this process and the children it starts meanwhile; the old value comes back.
#include <cstdlib>
#include <optional>
#include <string>

namespace n_zorbel::n_testing {

class t_EnvironmentVariable {
 public:
  t_EnvironmentVariable(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    Set(value);
  }
  ~t_EnvironmentVariable() { Set(m_old ? m_old->c_str() : nullptr); }
  t_EnvironmentVariable(const t_EnvironmentVariable&) = delete;
  t_EnvironmentVariable& operator=(const t_EnvironmentVariable&) = delete;

 private:
  void Set(const char* value) {
#ifdef _WIN32
    // An empty value removes the variable on Windows.
    _putenv_s(m_name, value != nullptr ? value : "");
#else
    if (value != nullptr)
      ::setenv(m_name, value, 1);
    else
      ::unsetenv(m_name);
#endif
  }

  const char* m_name;
  std::optional<std::string> m_old;
};

}  // namespace n_zorbel::n_testing
