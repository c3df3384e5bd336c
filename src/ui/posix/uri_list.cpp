#include "ui/posix/uri_list.hpp"

#include <QString>
#include <QSysInfo>
#include <string_view>

namespace n_zorbel::n_ui::n_posix {

namespace {

int HexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) noexcept {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsLocalHost(std::string_view host) {
  if (host.empty() || host == "localhost") return true;
  const QByteArray own = QSysInfo::machineHostName().toUtf8();
  return host == std::string_view(own.constData(), static_cast<std::size_t>(own.size()));
}

}  // namespace

std::vector<t_String> LocalPathsFromUriList(const QByteArray& uriList) {
  std::vector<t_String> paths;
  std::string_view rest(uriList.constData(), static_cast<std::size_t>(uriList.size()));
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (line.empty() || line.front() == '#' || !StartsWithIgnoringCase(line, "file:")) continue;
    std::string_view rest_of_uri = line.substr(5);
    if (rest_of_uri.starts_with("//")) {
      rest_of_uri.remove_prefix(2);
      const auto slash = rest_of_uri.find('/');
      if (slash == std::string_view::npos) continue;
      if (!IsLocalHost(rest_of_uri.substr(0, slash))) continue;
      rest_of_uri.remove_prefix(slash);
    }
    if (!rest_of_uri.starts_with('/')) continue;
    if (const auto fragment = rest_of_uri.find_first_of("?#"); fragment != std::string_view::npos)
      rest_of_uri = rest_of_uri.substr(0, fragment);
    t_String path;
    bool valid = true;
    for (std::size_t i = 0; i < rest_of_uri.size(); ++i) {
      if (rest_of_uri[i] != '%') {
        path += rest_of_uri[i];
        continue;
      }
      const int high = i + 2 < rest_of_uri.size() ? HexValue(rest_of_uri[i + 1]) : -1;
      const int low = i + 2 < rest_of_uri.size() ? HexValue(rest_of_uri[i + 2]) : -1;
      if (high < 0 || low < 0) {
        valid = false;
        break;
      }
      path += static_cast<char>(high * 16 + low);
      i += 2;
    }
    // A NUL cannot be part of a path.
    if (valid && path.find('\0') == t_String::npos) paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace n_zorbel::n_ui::n_posix
