#pragma once
// Where the built mivora.exe is, as this test program sees it (under Wine the
// Linux root is drive Z:).
#include <string>

#include "system/text.hpp"

namespace n_zorbel::n_testing {

inline std::wstring ProgramPath() { return FromUtf8(MIVORA_EXE); }

}  // namespace n_zorbel::n_testing
