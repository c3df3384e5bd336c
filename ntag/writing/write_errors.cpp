#include "writing/write_errors.hpp"

#include <new>

#include "ntag_error.hpp"

namespace n_zorbel::n_ntag {
namespace {

std::string Mismatch(const std::string& what) {
  return "the written file did not read back right (" + what + ")";
}

}  // namespace

std::string Describe(const t_IoError& e) {
  switch (e.Kind()) {
    case t_IoFailure::NotFound:
      return "not found";
    case t_IoFailure::AccessDenied:
      return "access denied";
    case t_IoFailure::InUse:
      return "the file is in use by another program";
    case t_IoFailure::DiskFull:
      return "the disk is full";
    case t_IoFailure::NotAFile:
      return "not a file";
    case t_IoFailure::DeviceError:
    case t_IoFailure::Other:
      break;
  }
  return e.what();
}

void ReadFailed(const t_IoError& e) {
  throw t_NtagError(t_ExitCode::VideoUnreadable, "cannot read the video: " + Describe(e));
}

void WriteFailed(const t_IoError& e) {
  throw t_NtagError(WriteFailureCode(e.Kind()), "cannot write the video: " + Describe(e));
}

void RethrowAfterUndo(t_UndoOutcome outcome) {
  const std::string left = UndoText(outcome);
  try {
    throw;
  } catch (const t_IoError& e) {
    throw t_NtagError(WriteFailureCode(e.Kind()), "cannot write the video: " + Describe(e) + left);
  } catch (const t_NtagError& e) {
    throw t_NtagError(e.Code(), e.what() + left);
  } catch (const std::bad_alloc&) {
    throw t_NtagError(t_ExitCode::WriteFailed, "not enough memory" + left);
  }
}

void ReadBackWrong(const std::string& what) { throw t_NtagError(t_ExitCode::VerifyFailed, Mismatch(what)); }

void VerifyFailed(const std::string& what) {
  throw t_NtagError(t_ExitCode::VerifyFailed, Mismatch(what) + UndoText(t_UndoOutcome::Restored));
}

}  // namespace n_zorbel::n_ntag
