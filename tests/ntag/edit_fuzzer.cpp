// libFuzzer target: whole edits on mutated files, as a user makes them: the listing, a new
// title, a cover swap. A refusal (t_NtagError) must leave the file byte for byte as it was
// and never be a failed check of what ntag itself wrote (7); a success must leave a file ntag
// reads back with the new tags. Anything else is a fault.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "model/tag_list.hpp"
#include "ntag_error.hpp"
#include "writing/tag_writer.hpp"

using namespace n_zorbel::n_ntag;

namespace {

void Require(bool holds) {
  if (!holds) __builtin_trap();
}

// A private folder for the video, in memory where there is one, so flushes cost nothing;
// removed when the run ends.
std::string g_folder;

const std::string& Video() {
  static const std::string path = [] {
    g_folder = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    g_folder += "/ntag-edit-fuzz-XXXXXX";
    Require(::mkdtemp(g_folder.data()) != nullptr);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(g_folder, ignored);
    });
    return g_folder + "/video.mp4";
  }();
  return path;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

template <class t_Edit>
bool Edit(const t_Edit& edit) {
  const std::string before = Contents(Video());
  try {
    WriteTags(Video(), edit);
    return true;
  } catch (const t_NtagError& e) {
    // This disk keeps what it is given: a check of what ntag wrote that fails is its own fault.
    Require(e.Code() != t_ExitCode::VerifyFailed);
    Require(Contents(Video()) == before);
    return false;
  }
}

bool Lists(const std::string& line) {
  for (const std::string& l : ReadTags(Video()).Listing()) {
    if (l == line) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::ofstream(Video(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  try {
    std::vector<t_ListEntry> others;
    (void)ReadTags(Video(), &others).Listing();
  } catch (const t_NtagError&) {
  }
  if (Edit([](t_TagList& tags) { tags.Set(*FindKey("title"), "Fuzzed title"); })) {
    Require(Lists("title = Fuzzed title"));
  }
  // Any bytes do as a cover here: checking the image is the command line's part.
  static const t_Bytes cover(3000, 0x5A);
  if (Edit([](t_TagList& tags) {
        tags.RemoveCovers();
        tags.AddCover(kCoverJpeg, cover);
      })) {
    Require(Lists("cover = front, jpeg, 3000 bytes"));
  }
  return 0;
}
