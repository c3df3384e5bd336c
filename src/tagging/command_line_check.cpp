#include "tagging/command_line_check.hpp"

#include <algorithm>

#include "system/command_line_splitter.hpp"
#include "tagging/command_line.hpp"

namespace n_zorbel::n_tagging {

namespace {

struct t_Option {
  t_StringView prefix;
  t_LineField field;
};

// How each argument the builder writes begins, once split; the video path
// has no prefix and comes last.
constexpr t_Option kOptions[] = {
    {ZTEXT("-meta:title="), t_LineField::Title},     {ZTEXT("-meta:artist="), t_LineField::Artist},
    {ZTEXT("-meta:year="), t_LineField::Year},       {ZTEXT("-meta:genre="), t_LineField::Genre},
    {ZTEXT("-meta:comment="), t_LineField::Comment}, {ZTEXT("-add-cover:front:"), t_LineField::Cover},
};

t_Option OptionOf(t_StringView argument) {
  for (const t_Option& option : kOptions)
    if (argument.starts_with(option.prefix)) return option;
  return {ZTEXT(""), t_LineField::Video};
}

}  // namespace

std::optional<t_LineBreach> CheckCommandLine(const t_TagSet& tags, bool removeBlank,
                                             const std::vector<t_String>& videoPaths,
                                             const n_system::t_CommandLimits& limits) {
  if (videoPaths.empty()) return std::nullopt;
  const auto longest =
      std::max_element(videoPaths.begin(), videoPaths.end(),
                       [](const t_String& a, const t_String& b) { return a.size() < b.size(); });
  t_String line;
  BuildCommandLine(tags, removeBlank, *longest, line);
  if (limits.argument != 0) {
    const std::vector<t_String> arguments = n_system::SplitCommandLine(line);
    // The first is the program-name slot, which the runner fills.
    for (std::size_t i = 1; i < arguments.size(); ++i) {
      if (arguments[i].size() + 1 <= limits.argument) continue;
      const t_Option option = OptionOf(arguments[i]);
      return t_LineBreach{option.field, limits.argument - 1 - option.prefix.size()};
    }
  }
  if (n_system::CommandCost(limits, line) > limits.total) return t_LineBreach{std::nullopt, limits.total};
  return std::nullopt;
}

}  // namespace n_zorbel::n_tagging
