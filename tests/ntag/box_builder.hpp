#pragma once
// Builds MP4 files box by box for layouts ffmpeg does not make, and reads chunk
// offsets back with a walker of its own (independent of ntag's parser).
#include <cstdint>
#include <string>
#include <vector>

namespace n_zorbel::n_ntag::n_test {

// Forms of the tag boxes that occur although they do not conform.
enum class t_TagBoxes {
  Conforming,       // udta/meta: hdlr, then ilst
  IlstBeforeHdlr,   // meta: ilst, then hdlr
  UdtaSizeZero,     // udta, the last box of moov, with size 0
  MetaSizeZero,     // meta, the last box of udta, with size 0
  IlstSizeZero,     // ilst, the last box of meta, with size 0
  OtherSizeZero,    // another box after ilst, the last of meta, with size 0
  TwoUdta,          // a second copy of udta
  TwoUdtaDiffering  // a second udta whose tags differ
};

struct t_BuildOptions {
  bool moovFirst = true;
  bool largeSizes = false;      // 64-bit size fields on moov, mdat and ilst
  bool co64 = false;            // chunk offsets in co64 tables
  bool quickTimeMeta = false;   // meta without version and flags
  bool udtaTerminator = false;  // QuickTime's 32-bit zero at the end of udta
  bool withTags = true;         // udta/meta/hdlr/ilst with a title
  bool withUdta = true;
  bool lastBoxSizeZero = false;         // the last box (mdat or moov) has size 0
  std::uint32_t metaPadding = 0;        // a free box of this size after ilst
  std::uint32_t metaPaddingBefore = 0;  // and one before it
  t_TagBoxes tagBoxes = t_TagBoxes::Conforming;
  std::uint32_t topFreeAfterMoov = 0;
  std::uint64_t mdatGap = 0;  // hole (sparse) at the start of mdat, before the chunks
  int tracks = 2;
  int chunksPerTrack = 3;
  std::uint32_t lastChunkSize = 0;  // when set, the last chunk of the file holds this many bytes
  // The last track as in an audiobook cut down to its movie box: its stsz is a header alone
  // and its chunks lie past the end of the file (none of them is among the chunks returned).
  bool cutDownTrack = false;
};

struct t_Chunk {
  int track, index;
  std::string bytes;
};

// A box of `type` around `body`, with a 64-bit size field when `large`; and n zero bytes.
std::string Box(const std::string& type, const std::string& body, bool large = false);
std::string Zeros(std::size_t n);

// Writes the file and returns the chunks it holds (their bytes; offsets are read back).
std::vector<t_Chunk> BuildMp4(const t_BuildOptions& options, const std::string& path);

// Chunk offsets per track, read from the file with the test's own box walker.
std::vector<std::vector<std::uint64_t>> ReadChunkOffsets(const std::string& path);
// True when the chunk offset tables use co64 (per track).
std::vector<bool> UsesCo64(const std::string& path);
// Empty when every chunk's bytes sit where the file's tables say; else what differs.
std::string CheckChunks(const std::string& path, const std::vector<t_Chunk>& chunks);
// Sets the size field of every `type` box inside moov/trak/mdia/minf/stbl that is the last
// box of its parent to 0 ("to the end of the parent"); returns how many.
int ZeroSizeOfLastBoxes(const std::string& path, const std::string& type);
// Top-level box types in order, e.g. "ftyp moov mdat".
std::string TopLevelTypes(const std::string& path);

}  // namespace n_zorbel::n_ntag::n_test
