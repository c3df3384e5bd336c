#pragma once
// A start while another instance runs (the "Mivora" mutex exists): its paths
// go to the running window with WM_COPYDATA, as full paths from this start's
// working folder, and that window may come to the front. Explorer's "Open
// with" on many videos starts one program per video, so each must arrive.
// Where no window takes them in time, a message box says so.
#include <windows.h>

namespace n_zorbel::n_app {

// 0 when the running window took the paths (or there were none to take and
// it was reached); 1 when they could not be handed over.
int RunSecondStart(HINSTANCE module, const wchar_t* commandLineTail);

}  // namespace n_zorbel::n_app
