#pragma once
// The exit code of either program when an exception escapes it, at start-up
// or from the dialog. A failed tagging is not one: the dialog reports it.

namespace n_zorbel::n_app {

inline constexpr int kEscapedExceptionExitCode = 713;

}  // namespace n_zorbel::n_app
