#include "writing/undo.hpp"

#include "writing/snapshot.hpp"

namespace n_zorbel::n_ntag {
namespace {

void FlushQuietly(t_File& file) {
  try {
    file.FlushData();
  } catch (const t_IoError&) {
  }
}

// Writes back bytes that a step covered. A write that fails may have changed nothing: when
// they read back as they should be, the undo goes on; otherwise it stops there (t_IoError).
void PutBack(t_File& file, const t_Write& w) {
  try {
    file.WriteAt(w.offset, w.bytes.data(), w.bytes.size());
  } catch (const t_IoError&) {
    if (!SameBytes(file, w.offset, w.bytes)) throw;
  }
}

}  // namespace

bool UndoSteps(t_File& file, const std::vector<t_Step>& steps, std::size_t begun) {
  try {
    while (begun > 0) {
      const t_Step& step = steps[--begun];
      for (auto w = step.before.rbegin(); w != step.before.rend(); ++w) PutBack(file, *w);
      FlushQuietly(file);
    }
    return true;
  } catch (const t_IoError&) {
    return false;
  }
}

bool UndoAppended(t_File& file, const t_Write* header, std::uint64_t oldEnd) {
  try {
    if (header) {
      PutBack(file, *header);
      FlushQuietly(file);
    }
    file.Truncate(oldEnd);
    FlushQuietly(file);
    return true;
  } catch (const t_IoError&) {
    return false;
  }
}

}  // namespace n_zorbel::n_ntag
