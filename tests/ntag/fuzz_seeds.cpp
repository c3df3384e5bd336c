// Writes the fuzz targets' seeds into FOLDER: box-built files of several layouts in
// FOLDER/files, their movie boxes alone in FOLDER/moov, and the empty folders the runs
// add what they find to (FOLDER/found-files, FOLDER/found-moov).
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "box_builder.hpp"

using namespace n_zorbel::n_ntag::n_test;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::filesystem::path root = argv[1];
  for (const char* sub : {"files", "moov", "found-files", "found-moov"}) {
    std::filesystem::create_directories(root / sub);
  }
  const auto with = [](auto change) {
    t_BuildOptions o;
    o.tracks = 1;
    o.chunksPerTrack = 2;
    change(o);
    return o;
  };
  const t_BuildOptions layouts[] = {
      with([](t_BuildOptions&) {}),
      with([](t_BuildOptions& o) { o.moovFirst = false; }),
      with([](t_BuildOptions& o) { o.moovFirst = false, o.lastBoxSizeZero = true; }),
      with([](t_BuildOptions& o) { o.co64 = true, o.largeSizes = true; }),
      with([](t_BuildOptions& o) { o.quickTimeMeta = true, o.udtaTerminator = true; }),
      with([](t_BuildOptions& o) { o.metaPadding = 300, o.metaPaddingBefore = 64; }),
      with([](t_BuildOptions& o) { o.tagBoxes = t_TagBoxes::IlstSizeZero; }),
      with([](t_BuildOptions& o) { o.tagBoxes = t_TagBoxes::TwoUdta, o.moovFirst = false; }),
      with([](t_BuildOptions& o) { o.withTags = false, o.tracks = 2; }),
  };
  int n = 0;
  for (const t_BuildOptions& o : layouts) {
    const std::string name = "seed" + std::to_string(n++) + ".mp4";
    const std::filesystem::path file = root / "files" / name;
    BuildMp4(o, file.string());
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t moov = bytes.find("moov") - 4;
    std::uint64_t size = 0;
    for (int i = 0; i < 4; ++i) size = (size << 8) | static_cast<unsigned char>(bytes[moov + i]);
    if (size < 8) continue;  // a 64-bit or size-0 moov: its file alone is seed enough
    std::ofstream(root / "moov" / name, std::ios::binary) << bytes.substr(moov, size);
  }
  return 0;
}
