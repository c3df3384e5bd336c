// mivora_pack TOOL PACKAGE: packs one tool executable into the package the
// program carries. Runs on the build machine, also for the Windows build.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "tool_packer.hpp"

namespace {

std::vector<std::byte> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("cannot read ") + path);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(std::string("cannot read ") + path);
  std::vector<std::byte> out(bytes.size());
  std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(out.data()));
  return out;
}

void WriteFile(const std::string& path, std::span<const std::byte> bytes) {
  // Written beside the target and renamed, so an interrupted build never
  // leaves a half package that looks current.
  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + temporary);
  }
  std::remove(path.c_str());
  if (std::rename(temporary.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mivora_pack TOOL PACKAGE\n");
    return 2;
  }
  try {
    const std::vector<std::byte> tool = ReadFile(argv[1]);
    if (tool.empty()) throw std::runtime_error("the tool is empty");
    const std::span<const std::byte> files[] = {tool};
    const std::vector<std::byte> package = n_zorbel::n_tools::n_packer::PackTools(files);
    WriteFile(argv[2], package);
    std::printf("mivora_pack: %zu bytes -> %zu bytes\n", tool.size(), package.size());
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mivora_pack: %s\n", error.what());
    return 1;
  }
}
