#pragma once
// How the writer reports a failure: a system error in the user's words, and after an undo
// what the video holds, as read back from it.
#include <string>

#include "platform/platform_file.hpp"
#include "writing/undo_outcome.hpp"

namespace n_zorbel::n_ntag {

// A system error as the user reads it.
std::string Describe(const t_IoError& e);

// The video could not be read (2).
[[noreturn]] void ReadFailed(const t_IoError& e);
// The video could not be written (6); nothing was changed yet.
[[noreturn]] void WriteFailed(const t_IoError& e);

// Rethrows the failure being handled as the error ntag reports, saying what the undo that
// followed it left (`outcome`, as read back); a system error becomes a write failure.
[[noreturn]] void RethrowAfterUndo(t_UndoOutcome outcome);

// What was written into the video did not read back right; the undo that follows says what it left.
[[noreturn]] void ReadBackWrong(const std::string& what);
// The same for a copy, which is dropped: the video was never touched.
[[noreturn]] void VerifyFailed(const std::string& what);

}  // namespace n_zorbel::n_ntag
