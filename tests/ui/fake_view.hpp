#pragma once
// A View that records every call in order, as readable lines, and keeps the
// state a window would keep (control texts, enabled flags, the title), so
// tests can check both what was asked and what the user would see.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/ids.hpp"
#include "ui/texts.hpp"
#include "ui/view.hpp"

namespace n_zorbel::n_testing {

class t_FakeView final : public n_ui::t_View {
 public:
  explicit t_FakeView(n_ui::t_Language language = n_ui::t_Language::English) : m_language(language) {
    for (int id = n_ui::kFirstInputControl; id <= n_ui::kAbout; ++id) enabled[id] = true;
    enabled[n_ui::kApply] = false;  // disabled in the template
  }

  // --- The record ---
  std::vector<std::string> calls;
  // Calls recorded since the last Take(), which clears them.
  std::vector<std::string> Take() { return std::exchange(calls, {}); }
  std::size_t Count(const std::string& call) const {
    std::size_t n = 0;
    for (const auto& c : calls) n += c == call;
    return n;
  }

  // --- Window state ---
  std::map<int, t_String> texts;
  std::map<int, bool> enabled;
  std::map<int, bool> checked;
  t_String title;
  bool ticking = false;
  n_ui::t_TaskbarState taskbarState = n_ui::t_TaskbarState::NoProgress;
  bool topmost = false;
  std::map<std::pair<n_ui::t_MenuKind, int>, bool> menuChecks;
  std::map<std::pair<n_ui::t_MenuKind, int>, bool> menuEnabled;
  bool ended = false;
  std::map<int, std::int32_t> limits;  // characters a field takes
  std::pair<std::int32_t, std::int32_t> yearRange{};
  std::map<int, std::pair<t_String, t_String>> accessible;  // name, description
  t_String alwaysOnTopItem;

  // --- What the user does ---
  bool ctrlDown = false;
  // Answers of the pickers, in the order the picker is opened; none: cancelled.
  std::deque<std::vector<t_String>> pickAnswers;
  std::vector<n_ui::t_PickRequest> pickRequests;
  std::vector<n_ui::t_AboutBox> aboutBoxes;
  std::vector<std::pair<t_String, t_String>> messages;  // text, caption
  // Runs inside ShowMessage, as a nested loop would (state checks, re-entry).
  std::function<void()> whileMessageOpen;
  n_ui::t_ScreenRect clientRect{100, 200, 772, 576};
  n_ui::t_ScreenRect previewRect{500, 270, 760, 530};
  // Genre items whose text cannot be read.
  std::vector<int> unreadableGenres;
  // --- View ---
  void SetControlText(int control, const t_String& text) override {
    texts[control] = text;
    Record("SetControlText(" + std::to_string(control) + ", " + ToUtf8(text) + ")");
  }
  t_String ControlText(int control) override { return texts[control]; }
  void EnableControl(int control, bool enable) override {
    enabled[control] = enable;
    Record("EnableControl(" + std::to_string(control) + ", " + (enable ? "true" : "false") + ")");
  }
  bool IsChecked(int control) override { return checked[control]; }
  void LimitField(int control, std::int32_t characters) override {
    limits[control] = characters;
    Record("LimitField(" + std::to_string(control) + ", " + std::to_string(characters) + ")");
  }
  void Beep() override { Record("Beep"); }
  void SetYearSpin(std::int32_t minimum, std::int32_t maximum, std::int32_t position) override {
    yearRange = {minimum, maximum};
    texts[n_ui::kYear] = FromUtf8(std::to_string(position));
    Record("SetYearSpin(" + std::to_string(minimum) + ", " + std::to_string(maximum) + ", " +
           std::to_string(position) + ")");
  }
  void SetTitle(const t_String& text) override {
    title = text;
    Record("SetTitle(" + ToUtf8(text) + ")");
  }
  void SetAccessibleText(int control, const t_String& name, const t_String& description) override {
    accessible[control] = {name, description};
    Record("SetAccessibleText(" + std::to_string(control) + ", " + ToUtf8(name) + ", " + ToUtf8(description) +
           ")");
  }
  void Announce(const t_String& text) override { Record("Announce(" + ToUtf8(text) + ")"); }
  void StartTick(std::uint32_t periodMs) override {
    ticking = true;
    Record("StartTick(" + std::to_string(periodMs) + ")");
  }
  void StopTick() override {
    ticking = false;
    Record("StopTick");
  }
  void ShowMessage(const t_String& text, const t_String& caption) override {
    messages.emplace_back(text, caption);
    Record("ShowMessage(" + ToUtf8(text) + ", " + ToUtf8(caption) + ")");
    if (whileMessageOpen) whileMessageOpen();
  }
  void FlashWindow() override { Record("FlashWindow"); }
  void SetTaskbarState(n_ui::t_TaskbarState state) override {
    taskbarState = state;
    Record("SetTaskbarState(" + std::to_string(static_cast<int>(state)) + ")");
  }
  void SetTaskbarValue(std::uint64_t completed, std::uint64_t total) override {
    Record("SetTaskbarValue(" + std::to_string(completed) + ", " + std::to_string(total) + ")");
  }
  void RepaintPreview() override { Record("RepaintPreview"); }
  std::vector<t_String> PickFiles(const n_ui::t_PickRequest& request) override {
    pickRequests.push_back(request);
    Record("PickFiles");
    if (pickAnswers.empty()) return {};
    auto answer = std::move(pickAnswers.front());
    pickAnswers.pop_front();
    return answer;
  }
  void PopUpGenreMenu() override { Record("PopUpGenreMenu"); }
  std::optional<t_String> GenreItemText(int command) override {
    for (int unreadable : unreadableGenres)
      if (unreadable == command) return std::nullopt;
    for (const auto& item : n_ui::GenreMenuItems())
      if (item.command == command) return FromUtf8(item.text);
    return std::nullopt;
  }
  void PopUpPreviewMenu(n_ui::t_ScreenPoint at) override {
    Record("PopUpPreviewMenu(" + std::to_string(at.x) + ", " + std::to_string(at.y) + ")");
  }
  void SetMenuCheck(n_ui::t_MenuKind menu, int command, bool check) override {
    menuChecks[{menu, command}] = check;
    Record("SetMenuCheck(" + std::to_string(static_cast<int>(menu)) + ", " + std::to_string(command) + ", " +
           (check ? "true" : "false") + ")");
  }
  void EnableMenuItem(n_ui::t_MenuKind menu, int command, bool on) override {
    menuEnabled[{menu, command}] = on;
  }
  void AddAlwaysOnTopItem(const t_String& text) override {
    alwaysOnTopItem = text;
    Record("AddAlwaysOnTopItem(" + ToUtf8(text) + ")");
  }
  n_ui::t_ScreenRect ClientRectOnScreen() override { return clientRect; }
  n_ui::t_ScreenRect PreviewRectOnScreen() override { return previewRect; }
  void OpenWebPage(const t_String& address) override { Record("OpenWebPage(" + ToUtf8(address) + ")"); }
  void ShowAbout(const n_ui::t_AboutBox& about) override {
    aboutBoxes.push_back(about);
    Record("ShowAbout");
  }
  void SetTopmost(bool on) override {
    topmost = on;
    Record(std::string("SetTopmost(") + (on ? "true" : "false") + ")");
  }
  bool IsCtrlDown() override { return ctrlDown; }
  t_String LoadText(int id) override { return n_ui::LoadText(m_language, id); }
  void EndDialog() override {
    ended = true;
    Record("EndDialog");
  }

 private:
  void Record(std::string call) { calls.push_back(std::move(call)); }
  n_ui::t_Language m_language;
};

}  // namespace n_zorbel::n_testing
