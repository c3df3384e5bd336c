#pragma once
// A start while another instance of this user runs: its paths go to the
// running window over the session bus. Where no window answers (no bus, or
// the running one has none), the user is told that Mivora already runs and,
// when there were paths, that they were not added: on stderr always, and in
// a message box when there is a display to show it on.

namespace n_zorbel::n_app {

// 0 when the running window took the paths (or there were none); 1 when
// paths were given and could not be handed over.
int RunSecondStart(int argc, char** argv);

}  // namespace n_zorbel::n_app
