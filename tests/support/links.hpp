#pragma once
// A symbolic link to a folder for one test, removed again at its end:
// std::filesystem makes it where the system lets it. Under Wine, whose Win32
// side makes none, the host's ln makes a Unix link, which Wine shows as a
// link to a folder; Wine cannot remove one either, so the host's rm does.
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace n_zorbel::n_testing {

class t_FolderLink {
 public:
  t_FolderLink(const std::filesystem::path& target, const std::filesystem::path& link) : m_link(link) {
    std::error_code error;
    std::filesystem::create_directory_symlink(target, link, error);
    if (!error) return;
    m_reason = "cannot make a folder link here: " + error.message();
#ifdef _WIN32
    if (RunOnHost(L"/bin/ln -s \"" + HostPath(target) + L"\" \"" + HostPath(link) + L"\"", true)) {
      m_reason.clear();
      m_byHost = true;
    }
#endif
  }
  ~t_FolderLink() {
#ifdef _WIN32
    if (m_byHost) RunOnHost(L"/bin/rm -f \"" + HostPath(m_link) + L"\"", false);
#endif
  }
  t_FolderLink(const t_FolderLink&) = delete;
  t_FolderLink& operator=(const t_FolderLink&) = delete;

  // Empty when the link was made, else why not.
  const std::string& Reason() const noexcept { return m_reason; }
  // Made by the host under Wine: Wine opens what such a link names even when
  // asked for the link itself, so removal refuses it rather than risk that.
  bool ByHost() const noexcept {
#ifdef _WIN32
    return m_byHost;
#else
    return false;
#endif
  }

 private:
#ifdef _WIN32
  // The host's name of a path under Wine; empty elsewhere.
  static std::wstring HostPath(const std::filesystem::path& path) {
    using t_UnixName = char*(WINAPI*)(const wchar_t*);
    const auto unixName = reinterpret_cast<t_UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return {};
    char* name = unixName(path.c_str());
    const std::string host = name != nullptr ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return std::wstring(host.begin(), host.end());  // the test folders' names are ASCII
  }
  // Runs a host command under Wine and waits until the link is there (or
  // gone): Wine reports no exit code for a host program.
  bool RunOnHost(std::wstring command, bool linkWanted) const {
    if (command.find(L"\"\"") != std::wstring::npos) return false;  // not under Wine
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int attempt = 0; attempt < 250; ++attempt) {
      if ((GetFileAttributesW(m_link.c_str()) != INVALID_FILE_ATTRIBUTES) == linkWanted) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  bool m_byHost = false;
#endif
  std::filesystem::path m_link;
  std::string m_reason;
};

}  // namespace n_zorbel::n_testing
