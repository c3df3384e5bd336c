#include "system/owned_handle.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace n_zorbel {
namespace {

// Records every release, so a leak or a double release shows.
std::vector<int> g_released;

struct t_CountedTraits {
  using t_Value = int;
  static int Empty() noexcept { return 0; }
  static bool Release(int value) noexcept {
    g_released.push_back(value);
    return true;
  }
};
using t_Counted = n_system::n_detail::t_OwnedHandle<t_CountedTraits>;

// Each way a held value is replaced or handed on releases it exactly once,
// and never the value that replaced it.
TEST(OwnedHandle, EveryHandOverReleasesWhatWasHeldOnce) {
  struct t_Case {
    const char* name;
    void (*step)(t_Counted& owner);
    std::vector<int> releasedBeforeTheEnd;
    std::vector<int> releasedAtTheEnd;
  };
  const t_Case cases[] = {
      {"Out fills a fresh value", [](t_Counted& owner) { *owner.Out() = 2; }, {1}, {2}},
      {"move assignment", [](t_Counted& owner) { owner = t_Counted(2); }, {1}, {2}},
      {"Detach hands over", [](t_Counted& owner) { EXPECT_EQ(owner.Detach(), 1); }, {}, {}},
      {"Close", [](t_Counted& owner) { owner.Close(); }, {1}, {}},
  };
  for (const t_Case& c : cases) {
    g_released.clear();
    {
      t_Counted owner(1);
      c.step(owner);
      EXPECT_EQ(g_released, c.releasedBeforeTheEnd) << c.name;
      g_released.clear();
    }
    EXPECT_EQ(g_released, c.releasedAtTheEnd) << c.name;
  }
}

}  // namespace
}  // namespace n_zorbel
