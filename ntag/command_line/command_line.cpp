#include "command_line/command_line.hpp"

#include <charconv>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <type_traits>

#include "ntag_error.hpp"
#include "system/utf8.hpp"
#include "writing/cover_file.hpp"
#include "writing/tag_writer.hpp"

#ifndef NTAG_VERSION
#define NTAG_VERSION "0.0"
#endif

namespace n_zorbel::n_ntag {
namespace {

[[noreturn]] void Usage(const std::string& what) {
  throw t_NtagError(t_ExitCode::Usage, what + " (ntag -help lists the options)");
}

// ASCII view of an argument for option matching; other characters become '?'.
std::string Ascii(const t_NativePath& arg) {
  std::string out;
  for (auto c : arg) {
    const auto code = static_cast<std::make_unsigned_t<t_NativePath::value_type>>(c);
    out += code < 0x80 ? static_cast<char>(code) : '?';
  }
  return out;
}

bool IEquals(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return i == a.size() && !b[i];
}

bool IStartsWith(const std::string& a, const char* prefix) {
  const std::string head = a.substr(0, std::char_traits<char>::length(prefix));
  return IEquals(head, prefix);
}

std::string ValueToUtf8(const t_NativePath& text, const std::string& key) {
#ifdef _WIN32
  (void)key;
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
#else
  if (!IsValidUtf8(text)) Usage("the value of '" + key + "' is not valid UTF-8 text");
  return text;
#endif
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

// Every value whole on one line of tab-separated fields, each escaped as in the other listing.
std::string MachineListing(const t_TagList& tags, const std::vector<t_ListEntry>& otherStores) {
  std::vector<t_ListEntry> entries = tags.Entries();
  entries.insert(entries.end(), otherStores.begin(), otherStores.end());
  std::string out;
  for (const t_ListEntry& e : entries) {
    out += std::string(e.text ? "text\t" : "data\t") + EscapeForLine(e.name) + "\t" + EscapeForLine(e.value) +
           "\n";
  }
  std::size_t number = 0;
  for (const t_CoverInfo& c : tags.Covers()) {
    out += "cover\t" + std::to_string(++number) + "\t" + CoverFormat(c.dataType) + "\t" +
           std::to_string(c.size) + "\n";
  }
  return out;
}

// Writes a file that did not exist; a file that fails half way is removed again.
void WriteNewFile(const t_NativePath& path, const t_Bytes& bytes) {
  t_File file;
  try {
    file = t_File::Open(path, t_OpenMode::CreateNew);
  } catch (const t_IoError& e) {
    throw t_NtagError(WriteFailureCode(e.Kind()), "cannot create '" + PathToUtf8(path) + "': " + e.what());
  }
  try {
    if (!bytes.empty()) file.WriteAt(0, bytes.data(), bytes.size());
  } catch (...) {
    file.Close();
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(path), ignored);
    throw;
  }
}

// N of "N:PATH", 1 or more; 0 when it is not a number.
std::size_t CoverNumber(const std::string& text) {
  std::size_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end != text.data() ? number : 0;
}

}  // namespace

std::string HelpText() {
  std::string keys;
  for (const t_KeyInfo& k : AllKeys()) keys += std::string(keys.empty() ? "" : ", ") + k.key;
  return "ntag " NTAG_VERSION
         " - writes iTunes-style tags into MP4 videos, safely and in place where it can\n"
         "\n"
         "usage: ntag [options] VIDEO        (options and VIDEO in any order)\n"
         "  -meta:KEY=VALUE         set a tag; an empty VALUE removes it\n"
         "                          keys: " +
         keys +
         "\n"
         "                          track and disc take N or N/TOTAL; a genre removes a numeric genre\n"
         "  -remove-cover:all       remove every cover (front does the same: MP4 covers have no kind)\n"
         "  -add-cover:front:PATH   add a JPEG or PNG cover, known by its bytes; removals go first\n"
         "  -list-meta              print the tags as 'name = value' lines and the covers, then\n"
         "                          other stores as 'udta:name', '3gpp:name', 'keys:name' lines\n"
         "  -list-meta:machine      the same for programs, one entry a line of tab-separated fields:\n"
         "                          'text NAME VALUE', 'data NAME WHAT' (a value that is no text),\n"
         "                          then 'cover N FORMAT BYTES'; \\\\ \\t \\n \\r \\xHH escape every\n"
         "                          backslash, control character and byte that is not UTF-8\n"
         "  -extract-cover:N:PATH   write cover N (from 1, as listed) into the new file PATH;\n"
         "                          an existing file or link there is refused, never written\n"
         "  -output:PATH            write what would go to standard output into the new file PATH\n"
         "  -help, -version\n"
         "\n"
         "exit codes: 0 written and verified (or nothing to change), 1 usage,\n"
         "  2 video missing or unreadable, 3 not an MP4 or damaged, 4 layout not written (reason given),\n"
         "  5 cover missing or not JPEG/PNG, 6 write failed (for another cause than 8 to 11),\n"
         "  7 written data did not verify, 8 access denied, 9 disk full, 10 in use by another\n"
         "  program, 11 device (I/O) error. On every exit but 0 the video is unchanged, unless\n"
         "  the system refused even the undo: the message then says what the video holds.\n";
}

t_Request ParseArguments(const std::vector<t_NativePath>& args) {
  t_Request request;
  std::map<const t_KeyInfo*, std::size_t> lastChange;
  bool optionsEnded = false;
  bool haveVideo = false;
  for (const t_NativePath& arg : args) {
    const std::string a = Ascii(arg);
    if (optionsEnded || a.empty() || a[0] != '-') {
      if (haveVideo) Usage("more than one video given");
      request.video = arg;
      haveVideo = true;
    } else if (a == "--") {
      optionsEnded = true;
    } else if (IStartsWith(a, "-meta:")) {
      const std::size_t eq = a.find('=');
      if (eq == std::string::npos) Usage("-meta: needs KEY=VALUE");
      const std::string key = a.substr(6, eq - 6);
      const t_KeyInfo* info = FindKey(key);
      if (!info) Usage("unknown tag key '" + ValueToUtf8(arg.substr(6, eq - 6), "key") + "'");
      t_MetaChange change{info, ValueToUtf8(arg.substr(eq + 1), info->key)};
      // The last value given for a key wins.
      if (const auto it = lastChange.find(info); it != lastChange.end()) {
        request.changes[it->second] = change;
      } else {
        lastChange[info] = request.changes.size();
        request.changes.push_back(change);
      }
    } else if (IStartsWith(a, "-remove-cover:")) {
      const std::string kind = a.substr(14);
      if (!IEquals(kind, "all") && !IEquals(kind, "front")) Usage("-remove-cover: takes all or front");
      request.removeCovers = true;
    } else if (IStartsWith(a, "-add-cover:")) {
      if (!IStartsWith(a, "-add-cover:front:")) Usage("-add-cover: supports front covers only");
      const t_NativePath path = arg.substr(17);
      if (path.empty()) Usage("-add-cover:front: needs the path of an image");
      request.covers.push_back(path);
    } else if (IEquals(a, "-list-meta")) {
      request.listing = t_Listing::Lines;
    } else if (IEquals(a, "-list-meta:machine")) {
      request.listing = t_Listing::Machine;
    } else if (IStartsWith(a, "-extract-cover:")) {
      const std::size_t colon = a.find(':', 15);
      request.extractCover = colon == std::string::npos ? 0 : CoverNumber(a.substr(15, colon - 15));
      if (request.extractCover == 0 || colon + 1 == a.size()) Usage("-extract-cover: needs N:PATH, N from 1");
      request.extractTo = arg.substr(colon + 1);
    } else if (IStartsWith(a, "-output:")) {
      if (a.size() == 8) Usage("-output: needs the path of a new file");
      request.output = arg.substr(8);
    } else if (IEquals(a, "-help") || IEquals(a, "--help") || IEquals(a, "-h") || a == "-?") {
      request.help = true;
    } else if (IEquals(a, "-version") || IEquals(a, "--version")) {
      request.version = true;
    } else {
      Usage("unknown option '" + ValueToUtf8(arg, "option") + "'");
    }
  }
  if (!request.help && !request.version && !haveVideo) Usage("no video given");
  if (request.extractCover != 0 && request.HasEdits())
    Usage("-extract-cover reads a video; change it in another call");
  return request;
}

namespace {

// Edits, extracts and lists as the request asks; returns the listing.
std::string ListOrEdit(const t_Request& request) {
  std::vector<t_Cover> covers;
  for (const t_NativePath& path : request.covers) covers.push_back(LoadCover(path));
  // After an edit the listing shows the tags written and verified: reading the file again
  // could fail when the edit cannot be taken back any more.
  std::optional<t_TagList> tags;
  std::vector<t_ListEntry> otherStores;
  if (request.HasEdits()) {
    WriteTags(
        request.video,
        [&](t_TagList& list) {
          // Removals first, so a new cover replaces the old ones and an empty value cannot undo a new one.
          for (const t_MetaChange& c : request.changes) {
            if (c.value.empty()) list.Set(*c.key, c.value);
          }
          if (request.removeCovers) list.RemoveCovers();
          for (const t_MetaChange& c : request.changes) {
            if (!c.value.empty()) list.Set(*c.key, c.value);
          }
          for (const t_Cover& cover : covers) list.AddCover(cover.dataType, cover.bytes);
          tags = list;
        },
        &otherStores);
  } else if (request.listing != t_Listing::None || request.extractCover != 0) {
    tags = ReadTags(request.video, &otherStores);
  }
  if (request.extractCover != 0) {
    if (request.extractCover > tags->Covers().size()) {
      throw t_NtagError(t_ExitCode::CoverProblem, "'" + PathToUtf8(request.video) + "' has no cover " +
                                                      std::to_string(request.extractCover));
    }
    WriteNewFile(request.extractTo, tags->CoverImage(request.extractCover - 1));
  }
  switch (request.listing) {
    case t_Listing::None:
      return {};
    case t_Listing::Lines: {
      std::vector<std::string> others;
      for (const t_ListEntry& e : otherStores) others.push_back(ListingLine(e));
      return Lines(tags->Listing()) + Lines(others);
    }
    case t_Listing::Machine:
      return MachineListing(*tags, otherStores);
  }
  return {};
}

}  // namespace

int Run(const std::vector<t_NativePath>& args) {
  std::string subject;
  try {
    const t_Request request = ParseArguments(args);
    std::string out;
    if (request.help) {
      out = HelpText();
    } else if (request.version) {
      out = "ntag " NTAG_VERSION "\n";
    } else {
      subject = PathToUtf8(request.video) + ": ";
      out = ListOrEdit(request);
    }
    if (request.output.empty()) {
      WriteOut(out);
    } else {
      WriteNewFile(request.output, t_Bytes(out.begin(), out.end()));
    }
    return 0;
  } catch (const t_NtagError& e) {
    const bool aboutVideo = e.Code() != t_ExitCode::Usage && e.Code() != t_ExitCode::CoverProblem;
    WriteErr("ntag: " + (aboutVideo ? subject : std::string()) + e.what() + "\n");
    return static_cast<int>(e.Code());
  } catch (const std::bad_alloc&) {
    WriteErr("ntag: " + subject + "not enough memory; the video was left as it was\n");
    return static_cast<int>(t_ExitCode::WriteFailed);
  } catch (const t_IoError& e) {
    WriteErr("ntag: " + subject + e.what() + "\n");
    return static_cast<int>(WriteFailureCode(e.Kind()));
  } catch (const std::exception& e) {
    WriteErr("ntag: " + subject + "internal error: " + e.what() + "\n");
    return static_cast<int>(t_ExitCode::VerifyFailed);
  }
}

}  // namespace n_zorbel::n_ntag
