#pragma once
// A t_MainDialog opened on the fake View and the fake system parts, with its
// workspace in a scratch folder of its own.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_system.hpp"
#include "fake_view.hpp"
#include "support/scratch_folder.hpp"
#include "ui/main_dialog.hpp"

namespace n_zorbel::n_testing {

class DialogTest : public testing::Test {
 protected:
  t_ScratchFolder scratch;
  t_FakePathQueries paths;
  t_FakeCoverDecoder decoder;
  t_FakeJobSystem jobs;
  t_FakeView view;
  std::unique_ptr<n_ui::t_MainDialog> dialog;

  t_String Workspace() const { return scratch.Path() + ZTEXT("Mivora") + kPathSeparator; }

  void Open(std::vector<t_String> arguments = {}) {
    n_ui::t_MainDialogSetup setup;
    setup.arguments = std::move(arguments);
    setup.workspaceFolder = Workspace();
    dialog = std::make_unique<n_ui::t_MainDialog>(setup, n_ui::t_MainDialogPorts{jobs, paths, decoder});
    EXPECT_TRUE(dialog->OnInitDialog(view));
  }

  // `count` video names: clip1.mp4, clip2.mp4, ...
  static std::vector<t_String> Clips(int count) {
    std::vector<t_String> clips;
    for (int i = 1; i <= count; ++i) clips.push_back(FromUtf8("clip" + std::to_string(i) + ".mp4"));
    return clips;
  }

  void Type(int control, const char* text) { view.texts[control] = FromUtf8(text); }
  void Command(int id) { dialog->OnCommand(id); }

  // Ticks until the run ends (bounded, so a fault cannot hang the test).
  void TickUntilIdle(int limit = 10000) {
    for (int i = 0; i < limit && dialog->Running(); ++i) dialog->OnTimerTick();
    ASSERT_FALSE(dialog->Running());
  }

  // The titles set in the calls recorded so far.
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (const auto& call : view.calls)
      if (call.starts_with("SetTitle(")) titles.push_back(call.substr(9, call.size() - 10));
    return titles;
  }
};

}  // namespace n_zorbel::n_testing
