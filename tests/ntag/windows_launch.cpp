// Starts a program the way Mivora does on Windows: the application path apart, and a
// command line that starts with a blank (so the child's first argument slot is empty).
// usage: ntag_launch APP COMMAND-LINE-FILE   (the file holds the line as UTF-8)
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 100;
  std::ifstream in(argv[2], std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string utf8 = bytes.str();
  std::wstring line(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                                 static_cast<int>(utf8.size()), nullptr, 0)),
                    L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), line.data(),
                      static_cast<int>(line.size()));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(argv[1], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    return 101;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 102;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}
