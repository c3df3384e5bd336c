// Every state a power loss can leave during an edit holds the complete old or the complete new
// tags over unchanged media. The writes, cuts, flushes and renames of each write path are
// recorded in process (t_IoObserver) and replayed from the original file: any subset of each
// file's writes since its last flush persisted, each write possibly torn at 512-byte sectors
// (a prefix or a suffix of them), and a rename not yet flushed in its folder either way. It runs
// on the file layers of both platforms, which must write the same bytes.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "box_builder.hpp"
#include "model/file_layout.hpp"
#include "model/movie.hpp"
#include "platform/fault_hook.hpp"
#include "support/file_bytes.hpp"
#include "support/scratch_folder.hpp"
#include "system/text.hpp"
#include "writing/tag_writer.hpp"

namespace n_zorbel::n_ntag::n_test {
namespace {

using n_testing::Digest, n_testing::ReadFile, n_testing::WriteFile, n_testing::t_ScratchFolder;

constexpr std::uint64_t kSectorSize = 512;
// States tried at one crash point; beyond, a fixed random sample of them.
constexpr std::size_t kStatesPerPoint = 384;

struct t_Op {
  enum t_Kind { Write, Truncate, Flush, Rename, FolderFlush } kind;
  std::intptr_t file = 0;
  std::uint64_t offset = 0;  // or the size a cut leaves
  std::string bytes;
};

// Records what an edit does to its files, in order; with `dropFlushes`, as if it had not
// flushed them (the planted fault the check must find).
class t_Journal : public t_IoObserver {
 public:
  t_Journal(const std::string& original, bool dropFlushes) : m_original(original), m_dropFlushes(dropFlushes) {}
  std::vector<t_Op> ops;

  void Wrote(std::intptr_t file, std::uint64_t offset, const void* data, std::size_t size) override {
    ops.push_back({t_Op::Write, file, offset, std::string(static_cast<const char*>(data), size)});
  }
  void Copied(std::intptr_t file, std::uint64_t toAt, std::intptr_t, std::uint64_t at, std::uint64_t size) override {
    // Only a rewrite copies, and only from the video it leaves untouched.
    ops.push_back({t_Op::Write, file, toAt, m_original.substr(at, size)});
  }
  void Truncated(std::intptr_t file, std::uint64_t size) override { ops.push_back({t_Op::Truncate, file, size, {}}); }
  void Flushed(std::intptr_t file) override {
    if (!m_dropFlushes) ops.push_back({t_Op::Flush, file, 0, {}});
  }
  void Renamed(std::intptr_t file) override { ops.push_back({t_Op::Rename, file, 0, {}}); }
  void FolderFlushed() override { ops.push_back({t_Op::FolderFlush, 0, 0, {}}); }

 private:
  const std::string& m_original;
  bool m_dropFlushes;
};

void Apply(std::string& file, const t_Op& op, std::uint64_t from, std::uint64_t to) {
  if (op.kind == t_Op::Truncate) {
    file.resize(op.offset);
    return;
  }
  if (file.size() < op.offset + to) file.resize(op.offset + to, '\0');
  file.replace(op.offset + from, to - from, op.bytes, from, to - from);
}

// The pieces of a pending op a power loss may have persisted: none, all, or for a write
// across sectors a prefix or a suffix of its sectors (a few cuts of a long one).
std::vector<std::optional<std::pair<std::uint64_t, std::uint64_t>>> Pieces(const t_Op& op) {
  std::vector<std::optional<std::pair<std::uint64_t, std::uint64_t>>> pieces{std::nullopt, {{0, op.bytes.size()}}};
  if (op.kind != t_Op::Write) return pieces;
  std::vector<std::uint64_t> cuts;  // offsets into the write where a sector begins
  for (std::uint64_t s = (op.offset / kSectorSize + 1) * kSectorSize; s < op.offset + op.bytes.size(); s += kSectorSize)
    cuts.push_back(s - op.offset);
  if (cuts.size() > 6) cuts = {cuts[0], cuts[1], cuts[cuts.size() / 2], cuts[cuts.size() - 2], cuts.back()};
  for (std::uint64_t cut : cuts) {
    pieces.push_back({{0, cut}});
    pieces.push_back({{cut, op.bytes.size()}});
  }
  return pieces;
}

// Calls `check` with every state (bounded) that `base` and the pending ops may leave.
void ForEachState(const std::string& base, const std::vector<const t_Op*>& pending,
                  const std::function<void(const std::string&)>& check) {
  std::vector<std::vector<std::optional<std::pair<std::uint64_t, std::uint64_t>>>> options;
  double product = 1;
  for (const t_Op* op : pending) {
    options.push_back(Pieces(*op));
    product *= static_cast<double>(options.back().size());
  }
  const auto state = [&](const std::vector<std::size_t>& choice) {
    std::string file = base;
    for (std::size_t i = 0; i < pending.size(); ++i) {
      if (const auto& piece = options[i][choice[i]]) Apply(file, *pending[i], piece->first, piece->second);
    }
    check(file);
  };
  std::vector<std::size_t> choice(pending.size(), 0);
  if (product <= kStatesPerPoint) {
    while (true) {
      state(choice);
      std::size_t i = 0;
      while (i < choice.size() && ++choice[i] == options[i].size()) choice[i++] = 0;
      if (i == choice.size()) return;
    }
  }
  // Each op in each of its pieces with all others absent, and with all others whole; then a sample.
  for (std::size_t i = 0; i < pending.size(); ++i) {
    for (std::size_t rest : {0, 1}) {
      for (std::size_t p = 0; p < options[i].size(); ++p) {
        std::fill(choice.begin(), choice.end(), rest);
        choice[i] = p;
        state(choice);
      }
    }
  }
  std::mt19937 random(7);
  for (std::size_t n = 0; n < kStatesPerPoint; ++n) {
    for (std::size_t i = 0; i < pending.size(); ++i) choice[i] = random() % options[i].size();
    state(choice);
  }
}

// Replays `ops` on `original` and checks every state at every crash point with `check`;
// returns the final state (what the video holds once the edit is durable).
std::string ExploreCrashStates(const std::string& original, const std::vector<t_Op>& ops,
                               const std::function<void(const std::string&)>& check) {
  std::intptr_t copy = -1;
  for (const t_Op& op : ops) {
    if (op.kind == t_Op::Rename) copy = op.file;
  }
  std::map<std::intptr_t, std::string> durable;
  std::map<std::intptr_t, std::vector<const t_Op*>> pending;
  bool renamed = false, renameDurable = false;
  const auto durableOf = [&](std::intptr_t file) -> std::string& {
    return durable.try_emplace(file, file == copy ? std::string() : original).first->second;
  };
  const auto explore = [&] {
    // The name leads to the copy once the rename is durable, to either while it is not.
    std::vector<std::intptr_t> targets;
    if (!renameDurable) targets.push_back(-1);
    if (renamed) targets.push_back(copy);
    for (std::intptr_t target : targets) {
      if (target == -1) {
        // The video itself: every file written but the copy is the video, opened anew.
        std::string base = original;
        std::vector<const t_Op*> all;
        for (auto& [file, waiting] : pending) {
          if (file == copy) continue;
          base = durableOf(file);
          all.insert(all.end(), waiting.begin(), waiting.end());
        }
        ForEachState(base, all, check);
      } else {
        ForEachState(durableOf(target), pending[target], check);
      }
    }
  };
  for (const t_Op& op : ops) {
    switch (op.kind) {
      case t_Op::Write:
      case t_Op::Truncate:
        pending[op.file].push_back(&op);
        break;
      case t_Op::Flush:
        explore();
        for (const t_Op* p : pending[op.file]) Apply(durableOf(op.file), *p, 0, p->bytes.size());
        pending[op.file].clear();
        break;
      case t_Op::Rename:
        explore();
        renamed = true;
        break;
      case t_Op::FolderFlush:
        explore();
        renameDurable = renamed;
        break;
    }
  }
  explore();
  // Everything persisted: the edit as it meant to leave the file.
  std::string final = original;
  for (auto& [file, waiting] : pending) {
    if ((file == copy) != renamed) continue;
    final = durableOf(file);
    for (const t_Op* p : waiting) Apply(final, *p, 0, p->bytes.size());
  }
  return final;
}

std::string TagsIn(const t_NativePath& path) {
  const t_Bytes bytes = ReadTags(path).Serialize();
  return std::string(bytes.begin(), bytes.end());
}

std::uint64_t IlstOffset(const t_NativePath& path) {
  const t_File file = t_File::Open(path, t_OpenMode::Read);
  const t_FileLayout layout = t_FileLayout::Scan(file);
  const t_Movie movie = t_Movie::Parse(ReadMoov(file, layout), layout.Moov().offset);
  return movie.Meta()->children[static_cast<std::size_t>(movie.IlstIndex())].fileOffset;
}

std::uint64_t MoovOffset(const t_NativePath& path) {
  return t_FileLayout::Scan(t_File::Open(path, t_OpenMode::Read)).Moov().offset;
}

bool Straddles(std::uint64_t offset) { return offset / kSectorSize != (offset + 7) / kSectorSize; }

// Puts a free box of `size` bytes right before a last moov, so that `box` (the moov or its
// ilst) starts `into` bytes into a sector; the media before it does not move.
void ShiftLastMoov(const t_NativePath& video, std::uint64_t (*box)(const t_NativePath&), std::uint64_t into) {
  std::string bytes = ReadFile(video);
  const std::uint64_t moovAt = MoovOffset(video);
  std::uint64_t size = (into + kSectorSize - box(video) % kSectorSize) % kSectorSize;
  if (size < 8) size += kSectorSize;
  std::string free(size, '\0');
  free[0] = static_cast<char>(size >> 24), free[1] = static_cast<char>(size >> 16);
  free[2] = static_cast<char>(size >> 8), free[3] = static_cast<char>(size);
  free.replace(4, 4, "free");
  bytes.insert(moovAt, free);
  WriteFile(video, bytes);
}

using t_Edit = std::function<void(t_TagList&)>;

t_Edit Title(const std::string& title, std::size_t commentSize = 0) {
  return [=](t_TagList& tags) {
    tags.Set(*FindKey("title"), title);
    if (commentSize > 0) tags.Set(*FindKey("comment"), std::string(commentSize, 'c'));
  };
}

struct t_Case {
  const char* name;
  t_BuildOptions build;
  // Before the edits: a free box before the last moov puts the moov (true) or the ilst at 508
  // bytes into a sector, where an 8-byte switch would straddle two.
  std::optional<bool> straddleMoov;
  std::vector<std::pair<t_Edit, t_WritePath>> edits;
  // The file after the edits (FNV-1a): the Windows and the Linux build write the same bytes.
  // A change of layout changes it on purpose, and on both at once.
  std::uint64_t written;
};

t_BuildOptions Built(bool moovFirst, std::uint32_t paddingBefore, std::uint32_t paddingAfter) {
  t_BuildOptions o;
  o.moovFirst = moovFirst;
  o.metaPaddingBefore = paddingBefore;
  o.metaPadding = paddingAfter;
  // Media enough that appending a moov leaves little free space, as in a real video.
  if (!moovFirst) o.mdatGap = 256 << 10;
  return o;
}

const t_Case kCases[] = {
    {"InPlace", Built(true, 0, 4000), {}, {{Title("New title"), t_WritePath::InPlace}},
     0x4ae45da8f5f65d2full},
    // Neither free box holds the comment: the old ilst moves to the front, the free boxes join.
    {"InPlaceSeveralSteps", Built(true, 3000, 3000), {}, {{Title("New title", 4500), t_WritePath::InPlace}},
     0x1d4ac4fdc7e3da63ull},
    {"AppendedThenInPlace",
     Built(false, 0, 0),
     {},
     {{Title("New title"), t_WritePath::AppendedMovie}, {Title("Third title"), t_WritePath::InPlace}},
     0xc4b58cfc66b82e8eull},
    {"RewriteThenInPlace",
     Built(true, 0, 0),
     {},
     {{Title("New title", 70000), t_WritePath::Rewrite}, {Title("Third title"), t_WritePath::InPlace}},
     0x09e36f6891375a3dull},
    // The old planner switched at the ilst header here; now the edit appends a moov whose
    // ilst header lies within a sector, and the next edit goes in place.
    {"IlstHeaderAcrossSectors",
     Built(false, 0, 4000),
     false,
     {{Title("New title"), t_WritePath::AppendedMovie}, {Title("Third title"), t_WritePath::InPlace}},
     0xc70531bc146dc63full},
    // The old moov's header straddles: the switch goes to the free box before it instead.
    {"MoovHeaderAcrossSectors",
     Built(false, 0, 0),
     true,
     {{Title("New title"), t_WritePath::AppendedMovie}, {Title("Third title"), t_WritePath::InPlace}},
     0x560d3512a51de2e2ull},
};

// Runs `edit` on `video`, recorded; the journal.
std::vector<t_Op> Recorded(const t_NativePath& video, const t_Edit& edit, t_WritePath expected,
                           bool dropFlushes) {
  const std::string original = ReadFile(video);
  t_Journal journal(original, dropFlushes);
  SetIoObserver(&journal);
  t_WritePath path = t_WritePath::NothingToDo;
  try {
    path = WriteTags(video, edit);
  } catch (...) {
    SetIoObserver(nullptr);
    throw;
  }
  SetIoObserver(nullptr);
  EXPECT_EQ(path, expected);
  return journal.ops;
}

// Checks every crash state of `ops` on `original`, which leave `newFile` once all is durable;
// the number of states that do not hold the complete old or new tags over the media of `chunks`.
int BadStates(const t_ScratchFolder& scratch, const std::string& original, const std::string& newFile,
              const std::vector<t_Op>& ops, const std::vector<t_Chunk>& chunks, bool report) {
  const t_NativePath state = scratch / ZTEXT("state.mp4");
  WriteFile(state, original);
  const std::string oldTags = TagsIn(state);
  WriteFile(state, newFile);
  const std::string newTags = TagsIn(state);
  std::set<std::size_t> seen;
  int bad = 0, tried = 0;
  const std::string final = ExploreCrashStates(original, ops, [&](const std::string& bytes) {
    if (!seen.insert(std::hash<std::string>{}(bytes)).second) return;
    ++tried;
    WriteFile(state, bytes);
    std::string why;
    try {
      const std::string tags = TagsIn(state);
      if (tags != oldTags && tags != newTags) why = "neither the old nor the new tags";
    } catch (const std::exception& e) {
      why = e.what();
    }
    if (why.empty()) why = CheckChunks(ToUtf8(state), chunks);
    if (!why.empty() && bad++ < 3 && report) ADD_FAILURE() << "a crash state: " << why;
  });
  EXPECT_TRUE(final == newFile) << "the record does not replay to the edited file";
  EXPECT_GE(tried, 2);
  return bad;
}

TEST(CrashStatesTest, EveryStateAPowerLossLeavesHoldsOldOrNewTags) {
  for (const t_Case& c : kCases) {
    SCOPED_TRACE(c.name);
    t_ScratchFolder scratch;
    const t_NativePath video = scratch / ZTEXT("v.mp4");
    const std::vector<t_Chunk> chunks = BuildMp4(c.build, ToUtf8(video));
    if (c.straddleMoov) {
      ShiftLastMoov(video, *c.straddleMoov ? MoovOffset : IlstOffset, 508);
      ASSERT_TRUE(Straddles(*c.straddleMoov ? MoovOffset(video) : IlstOffset(video)));
    }
    for (const auto& [edit, path] : c.edits) {
      const std::string original = ReadFile(video);
      const std::vector<t_Op> ops = Recorded(video, edit, path, false);
      EXPECT_EQ(BadStates(scratch, original, ReadFile(video), ops, chunks, true), 0);
      // Where the next edit would switch lies within a sector.
      EXPECT_FALSE(Straddles(IlstOffset(video)));
      if (path == t_WritePath::AppendedMovie) {
        EXPECT_FALSE(Straddles(MoovOffset(video)));
      }
    }
    EXPECT_EQ(Digest(ReadFile(video)), c.written) << std::hex << Digest(ReadFile(video));
  }
}

// The check itself: on each write path, an edit that does not flush (its flushes dropped from
// the record) must show states without the complete old or new tags.
TEST(CrashStatesTest, TheCheckFindsAMissingFlush) {
  for (const t_Case& c : {kCases[0], kCases[2], kCases[3]}) {
    SCOPED_TRACE(c.name);
    t_ScratchFolder scratch;
    const t_NativePath video = scratch / ZTEXT("v.mp4");
    const std::vector<t_Chunk> chunks = BuildMp4(c.build, ToUtf8(video));
    const std::string original = ReadFile(video);
    const std::vector<t_Op> ops = Recorded(video, c.edits[0].first, c.edits[0].second, true);
    EXPECT_GT(BadStates(scratch, original, ReadFile(video), ops, chunks, false), 0);
  }
}

}  // namespace
}  // namespace n_zorbel::n_ntag::n_test
