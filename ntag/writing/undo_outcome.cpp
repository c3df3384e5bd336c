#include "writing/undo_outcome.hpp"

#include "model/file_layout.hpp"
#include "model/movie.hpp"
#include "ntag_error.hpp"

namespace n_zorbel::n_ntag {

std::string UndoText(t_UndoOutcome outcome) {
  switch (outcome) {
    case t_UndoOutcome::Restored:
      return "; the video was left as it was";
    case t_UndoOutcome::OldTags:
      return "; it could not be put back completely but holds the complete old tags";
    case t_UndoOutcome::NewTags:
      return "; it could not be put back and holds the new tags";
    case t_UndoOutcome::Unknown:
      break;
  }
  return "; it could not be put back, and what it holds now could not be read back";
}

t_UndoOutcome ReadBackOutcome(const t_File& file, std::uint64_t moovAt, const t_Bytes& oldMoov,
                              std::uint64_t oldSize, std::uint64_t headerAt, const t_Bytes& header,
                              const t_Bytes& newIlst) {
  try {
    const t_FileLayout layout = t_FileLayout::Scan(file);
    const t_Bytes moov = ReadMoov(file, layout);
    const std::uint64_t at = layout.Moov().offset;
    bool sameHeader = true;
    if (!header.empty()) {
      t_Bytes now(header.size());
      file.ReadAt(headerAt, now.data(), now.size());
      sameHeader = now == header;
    }
    if (at == moovAt && moov == oldMoov && sameHeader && layout.fileSize == oldSize) {
      return t_UndoOutcome::Restored;
    }
    const t_Movie movie = t_Movie::Parse(moov, at);
    const t_Movie old = t_Movie::Parse(oldMoov, moovAt);
    if ((movie.IlstIndex() >= 0) == (old.IlstIndex() >= 0) && movie.IlstPayload() == old.IlstPayload()) {
      return t_UndoOutcome::OldTags;
    }
    if (movie.CarriesIlst(newIlst)) return t_UndoOutcome::NewTags;
  } catch (const std::exception&) {
    // a failed read, a damaged box, no memory: nothing can be said
  }
  return t_UndoOutcome::Unknown;
}

}  // namespace n_zorbel::n_ntag
