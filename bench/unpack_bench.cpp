// Times what the first Apply of a program run costs on the dialog's thread:
// decoding and writing the tool (with a plain file write of the same bytes
// beside it for comparison), and the tagging job's ticks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "intake/video_file_list.hpp"
#include "system/folder_walker.hpp"
#include "system/temp_folder.hpp"
#include "system/workspace.hpp"
#include "tagging/tagging_job.hpp"
#include "tool_packer.hpp"
#include "tools/module.hpp"
#include "tools/tool_package.hpp"
#include "tools/unpacked_tools.hpp"

namespace {

using namespace n_zorbel;
using t_Clock = std::chrono::steady_clock;

struct t_Row {
  std::string what;
  std::vector<double> milliseconds;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

t_Row Measure(const std::string& what, int runs, const std::function<void()>& action) {
  t_Row row{what, {}};
  action();  // warm up: first-touch page faults are not what we measure
  for (int i = 0; i < runs; ++i) {
    const auto start = t_Clock::now();
    action();
    row.milliseconds.push_back(std::chrono::duration<double, std::milli>(t_Clock::now() - start).count());
  }
  return row;
}

std::vector<std::byte> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  std::transform(chars.begin(), chars.end(), bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
  return bytes;
}

std::string Kilobytes(std::size_t bytes) { return std::to_string((bytes + 512) / 1024) + " KB"; }

}  // namespace

int main(int, char** argv) {
  std::random_device random;
  const t_String folder =
      n_system::TempFolderPath() + FromUtf8("mivora-bench-" + std::to_string(random())) + kPathSeparator;
  const t_String workspace = folder + ZTEXT("Mivora") + kPathSeparator;
  n_system::CreateWorkspace(folder);
  n_system::CreateWorkspace(workspace);

  std::vector<t_Row> rows;
  const n_tools::t_ProgramModule program;
  const auto package = program.ToolPackage();
  const n_tools::t_ToolPayload probe(package);
  const std::string packageText = Kilobytes(package.size()) + " -> " + Kilobytes(probe.File(0).size());

  rows.push_back(Measure("decode the program's package (" + packageText + ")", 50,
                         [&] { const n_tools::t_ToolPayload payload(package); }));
  rows.push_back(Measure("unpack it: decode, write, hold open", 50,
                         [&] { const n_tools::t_UnpackedTools tools(program, workspace); }));

  // A tool of the shipped size made of real machine code: this program's head.
  std::vector<std::byte> code = ReadFile(argv[0]);
  code.resize(std::min<std::size_t>(code.size(), 259584));
  const std::span<const std::byte> files[] = {code};
  const std::vector<std::byte> codePackage = n_tools::n_packer::PackTools(files);
  const n_tools::t_MemoryModule codeModule(codePackage);
  const std::string codeText = Kilobytes(codePackage.size()) + " -> " + Kilobytes(code.size());
  rows.push_back(Measure("unpack a machine-code tool (" + codeText + ")", 50,
                         [&] { const n_tools::t_UnpackedTools tools(codeModule, workspace); }));
  n_tools::n_packer::t_PackOptions defaults;  // the encoder's usual lc 3, lp 0, pb 2
  defaults.lc = 3;
  defaults.pb = 2;
  const std::vector<std::byte> lc3Package = n_tools::n_packer::PackTools(files, defaults);
  const n_tools::t_MemoryModule lc3Module(lc3Package);
  rows.push_back(
      Measure("  for comparison: the same tool at lc 3, pb 2 (" + Kilobytes(lc3Package.size()) + ")", 50,
              [&] { const n_tools::t_UnpackedTools tools(lc3Module, workspace); }));
  const std::string plainPath = ToUtf8(folder) + "plain-copy";
  rows.push_back(Measure("  for comparison: write the same bytes with ofstream", 50, [&] {
    std::ofstream out(plainPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(code.data()), static_cast<std::streamsize>(code.size()));
  }));

  // The job's ticks, with the real runner and the program's tool, on a real clip: the first
  // run tags it, the later ones edit its tags in place.
  const std::string clip = ToUtf8(folder) + "clip.mp4";
  const std::string makeClip =
      "ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 1 '" + clip + "'";
  if (std::system(makeClip.c_str()) != 0) {
    std::fprintf(stderr, "unpack_bench: ffmpeg could not make %s\n", clip.c_str());
    return 1;
  }
  n_intake::t_VideoFileList videos;
  t_String cover;
  videos.AddPath(FromUtf8(clip), cover);
  const n_tagging::t_TagSet tags{ZTEXT(""), ZTEXT("Blue Sky"), ZTEXT("Duv Ize"),
                                 ZTEXT(""), ZTEXT("2016"),     ZTEXT("")};
  n_tagging::t_RealJobSystem system(program);
  std::unique_ptr<n_tools::t_UnpackedTools> tools;
  rows.push_back(Measure("first tick of a program's first run: set-up, start", 20, [&] {
    tools.reset();
    n_tagging::t_TaggingJob job(tools, system, workspace, videos, tags, false);
    job.Step();
  }));
  rows.push_back(Measure("first tick of a later run: start", 20, [&] {
    n_tagging::t_TaggingJob job(tools, system, workspace, videos, tags, false);
    job.Step();
  }));
  rows.push_back(Measure("one-file run, start to done (polled every ms)", 20, [&] {
    n_tagging::t_TaggingJob job(tools, system, workspace, videos, tags, false);
    while (!job.Done() && !job.Failed()) {
      job.Step();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (job.Failed()) {
      std::fprintf(stderr, "unpack_bench: tagging the clip failed\n");
      std::exit(1);
    }
  }));
  tools.reset();

  std::printf("%-62s %10s %10s %5s\n", "operation", "median ms", "min ms", "runs");
  for (const t_Row& row : rows) {
    std::printf("%-62s %10.3f %10.3f %5zu\n", row.what.c_str(), Median(row.milliseconds),
                *std::min_element(row.milliseconds.begin(), row.milliseconds.end()), row.milliseconds.size());
  }
  try {
    n_system::RemoveTree(folder);
  } catch (const n_system::t_ErrorException&) {
  }
  return 0;
}
