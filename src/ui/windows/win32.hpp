#pragma once
// The Windows headers the adapter needs, in the order they must come: the
// shell and OLE interfaces and the GDI+ flat interface need the COM base
// declarations that the lean windows.h leaves out.
// clang-format off
#include <windows.h>
#include <objidl.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <commctrl.h>
#include <oleacc.h>
#include <gdiplus.h>
// clang-format on
