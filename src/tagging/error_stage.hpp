#pragma once
// Which stage of a tagging job failed; the message table is indexed by it.
#include <cstdint>

#include "system/text.hpp"

namespace n_zorbel::n_tagging {

enum class t_ErrorStage : std::uint8_t {
  None = 0,
  CreateTempFolder = 1,
  DeleteTempFolder = 2,
  UnpackTools = 3,
  RunTool = 4,
  ToolExit = 5,
  UnknownStage = 6,
};

// The stage's message as the failure report shows it ("unknown" for any
// value outside the table).
t_StringView ErrorStageMessage(t_ErrorStage stage) noexcept;

}  // namespace n_zorbel::n_tagging
