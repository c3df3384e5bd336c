#pragma once
// The movie box (moov) opened as far as tagging needs: moov/udta/meta/ilst for the
// tags, and every track's chunk offset table for the media it points at.
#include <cstdint>
#include <vector>

#include "model/box.hpp"
#include "model/sample_tables.hpp"

namespace n_zorbel::n_ntag {

class t_Movie {
 public:
  // Parses moov bytes read from `fileOffset`; throws t_NtagError (NotMp4) when damaged.
  static t_Movie Parse(const t_Bytes& moovBytes, std::uint64_t fileOffset);

  t_Box& Root() { return m_root; }
  const t_Box& Root() const { return m_root; }

  // The first meta in the movie's user data (of any udta box).
  const t_Box* Meta() const;
  t_Box* Meta();
  // Refuses (LayoutRefused) tags that no edit can make unambiguous: user data holding
  // differing meta boxes, or a meta with two ilst or two hdlr boxes. Readers show either.
  void CheckTagBoxesUnique() const;
  // True when the tag boxes have the form every reader reads: one udta, meta a full box with
  // the hdlr first, udta, meta and ilst with explicit sizes. Only then may an edit keep them in place.
  bool TagBoxesConform() const;
  // The handler type of moov/udta/meta ('mdir' for iTunes tags), 0 when there is none.
  std::uint32_t MetaHandler() const;
  // Index of ilst among meta's children, or -1.
  int IlstIndex() const;
  // The ilst payload, empty when there is no ilst; valid while the movie is.
  const t_Bytes& IlstPayload() const;
  // True when the movie has an ilst holding exactly the payload of `ilstBox`, a whole box.
  bool CarriesIlst(const t_Bytes& ilstBox) const;

  // Replaces (or creates, with udta, meta and hdlr as needed) the ilst and puts a free
  // box of `padding` bytes right after it (none when 0), removing free boxes next to it.
  // The tag boxes take the conforming form: udta boxes joined into one (a meta that merely
  // repeats the first dropped), meta a full box, the hdlr first in it.
  void SetIlst(const t_Bytes& ilstBox, std::uint64_t padding);

  // Every chunk offset table of every track (stco and co64, in file order), where it lies in
  // the movie's boxes: valid until the movie changes.
  std::vector<t_OffsetTable> ChunkOffsets() const;
  // Adds `delta` to every absolute offset at or past `from` (chunk offsets, saio in the
  // sample tables). Switches a table from stco to co64 when an offset no longer fits 32 bits.
  // Throws t_NtagError (LayoutRefused) for offsets inside [inside, from).
  void ShiftOffsets(std::uint64_t inside, std::uint64_t from, std::int64_t delta);
  // The bytes the movie would grow by in ShiftOffsets(.., from, delta): the stco tables that
  // would switch to co64. Changes nothing, so sizes can be tried without copying the movie.
  std::uint64_t ShiftGrowth(std::uint64_t from, std::int64_t delta) const;

 private:
  // Moves the children of every udta into the first, in order.
  void JoinUserData();

  t_Box m_root;
};

}  // namespace n_zorbel::n_ntag
