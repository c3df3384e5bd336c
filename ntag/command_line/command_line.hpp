#pragma once
// ntag's command line: options and the video path in any order.
#include <string>
#include <vector>

#include "platform/platform_file.hpp"
#include "writing/tag_writer.hpp"

namespace n_zorbel::n_ntag {

struct t_MetaChange {
  const t_KeyInfo* key = nullptr;
  std::string value;  // UTF-8; empty removes the tag
};

enum class t_Listing { None, Lines, Machine };

struct t_Request {
  std::vector<t_MetaChange> changes;
  bool removeCovers = false;
  std::vector<t_NativePath> covers;  // front covers to add, in order
  t_Listing listing = t_Listing::None;
  std::size_t extractCover = 0;  // 1-based; 0: none
  t_NativePath extractTo;
  t_NativePath output;  // empty: standard output
  bool help = false;
  bool version = false;
  t_NativePath video;

  bool HasEdits() const { return !changes.empty() || removeCovers || !covers.empty(); }
};

// Parses the arguments after the program name. Throws t_NtagError (Usage).
t_Request ParseArguments(const std::vector<t_NativePath>& args);

// Runs ntag on the arguments after the program name and returns the exit code;
// prints listings to standard output and one line per failure to standard error.
int Run(const std::vector<t_NativePath>& args);

std::string HelpText();

}  // namespace n_zorbel::n_ntag
