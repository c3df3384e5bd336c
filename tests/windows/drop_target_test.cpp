// The drop target under OLE: the COM contract (reference counts, interfaces,
// argument checks), the description block it attaches to every drag, the
// effect it reports, and the paths it hands on at a drop.
#include "ui/windows/drop_target.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_data_object.hpp"
#include "ui/windows/guids.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_ui::n_windows::MakeDropDescription;
using n_ui::n_windows::t_DropSink;
using n_ui::n_windows::t_DropTarget;

class t_RecordingSink final : public t_DropSink {
 public:
  HWND DropWindow() const noexcept override { return nullptr; }
  t_String DropDescriptionText() noexcept override { return description; }
  bool AcceptsDrops() const noexcept override { return accepting; }
  void TakeDrop(std::span<const n_ui::t_DroppedPath> paths) noexcept override {
    ++drops;
    for (const n_ui::t_DroppedPath& path : paths) taken.push_back(path.value_or(L"(not whole)"));
  }

  t_String description = L"Add files";
  bool accepting = true;
  int drops = 0;
  std::vector<std::wstring> taken;
};

class DropTargetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
  void TearDown() override { ::OleUninitialize(); }
};

TEST_F(DropTargetTest, CountsReferencesAtomicallyAndNeverFreesItself) {
  t_RecordingSink sink;
  t_DropTarget target(sink);
  EXPECT_EQ(target.ReferenceCount(), 1u);
  EXPECT_EQ(target.AddRef(), 2u);
  EXPECT_EQ(target.AddRef(), 3u);
  EXPECT_EQ(target.Release(), 2u);
  EXPECT_EQ(target.Release(), 1u);
  // Down to zero and below the object stays usable: the dialog owns it.
  EXPECT_EQ(target.Release(), 0u);
  EXPECT_EQ(target.AddRef(), 1u);
}

TEST_F(DropTargetTest, AnswersForIUnknownAndIDropTargetOnly) {
  t_RecordingSink sink;
  t_DropTarget target(sink);
  for (const GUID& iid : {n_ui::n_windows::kIidUnknown, n_ui::n_windows::kIidDropTarget}) {
    void* out = nullptr;
    const ULONG before = target.ReferenceCount();
    EXPECT_EQ(target.QueryInterface(iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDropTarget*>(&target));
    EXPECT_EQ(target.ReferenceCount(), before + 1);
    target.Release();
  }
  for (const GUID& iid : {IID_IDataObject, IID_IDropSource, n_ui::n_windows::kIidDropTargetHelper}) {
    void* out = reinterpret_cast<void*>(0x1234);
    const ULONG before = target.ReferenceCount();
    EXPECT_EQ(target.QueryInterface(iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(target.ReferenceCount(), before);
  }
  EXPECT_EQ(target.QueryInterface(n_ui::n_windows::kIidDropTarget, nullptr), E_POINTER);
}

TEST_F(DropTargetTest, RefusesMissingEffectAndIgnoresMissingData) {
  t_RecordingSink sink;
  t_DropTarget target(sink);
  t_FakeDataObject data({L"C:\\v\\a.mp4"});
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target.DragEnter(&data, 0, {0, 0}, nullptr), E_INVALIDARG);
  EXPECT_EQ(target.DragOver(0, {0, 0}, nullptr), E_INVALIDARG);
  EXPECT_EQ(target.Drop(&data, 0, {0, 0}, nullptr), E_INVALIDARG);
  EXPECT_EQ(target.DragEnter(nullptr, 0, {0, 0}, &effect), S_OK);
  EXPECT_EQ(target.Drop(nullptr, 0, {0, 0}, &effect), S_OK);
  EXPECT_EQ(target.DragLeave(), S_OK);
  EXPECT_EQ(sink.drops, 0);
  EXPECT_TRUE(data.Sets().empty());
}

// Whatever the source allows, the target reports a copy or nothing: a source
// told "move" could delete the originals.
TEST_F(DropTargetTest, ReportsACopyWhateverTheSourceAllows) {
  struct t_Case {
    DWORD allowed;
    DWORD reported;
  };
  const t_Case cases[] = {
      {DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_COPY},
      {DROPEFFECT_COPY, DROPEFFECT_COPY},
      {DROPEFFECT_MOVE, DROPEFFECT_NONE},
      {DROPEFFECT_LINK | DROPEFFECT_MOVE, DROPEFFECT_NONE},
  };
  t_RecordingSink sink;
  t_DropTarget target(sink);
  for (const t_Case& c : cases) {
    t_FakeDataObject data({L"C:\\v\\a.mp4"});
    DWORD effect = c.allowed;
    EXPECT_EQ(target.DragEnter(&data, 0, {0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, c.reported) << c.allowed;
    effect = c.allowed;
    EXPECT_EQ(target.DragOver(0, {0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, c.reported) << c.allowed;
    effect = c.allowed;
    EXPECT_EQ(target.Drop(&data, 0, {0, 0}, &effect), S_OK);
    EXPECT_EQ(effect, c.reported) << c.allowed;
  }
}

TEST_F(DropTargetTest, DescriptionBlockHoldsTheCopySignAndTheText) {
  struct t_Case {
    std::wstring text;
    std::wstring stored;
  };
  const std::wstring longText(400, L'x');
  const t_Case cases[] = {
      {L"Add files", L"Add files"},
      {L"\x0414\x043E\x0431\x0430\x0432\x0438\x0442\x044C \x0444\x0430\x0439\x043B\x044B",
       L"\x0414\x043E\x0431\x0430\x0432\x0438\x0442\x044C \x0444\x0430\x0439\x043B\x044B"},
      {L"", L""},
      {longText, longText.substr(0, MAX_PATH - 1)},  // cut to fit, still terminated
  };
  for (const t_Case& c : cases) {
    const auto owned = MakeDropDescription(c.text);
    const HGLOBAL block = owned.Get();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(::GlobalSize(block), sizeof(DROPDESCRIPTION));
    EXPECT_EQ(::GlobalFlags(block) & GMEM_LOCKCOUNT, 0u) << "left locked";
    const auto* description = static_cast<const DROPDESCRIPTION*>(::GlobalLock(block));
    EXPECT_EQ(description->type, DROPIMAGE_COPY);
    EXPECT_EQ(std::wstring(description->szMessage), c.stored);
    EXPECT_EQ(description->szInsert[0], L'\0');
    ::GlobalUnlock(block);
  }
}

TEST_F(DropTargetTest, EveryDragEnterHandsTheDescriptionToTheDataObject) {
  t_RecordingSink sink;
  sink.description = L"Bestanden toevoegen";
  t_DropTarget target(sink);
  t_FakeDataObject data({L"C:\\v\\notes.txt"});
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target.DragEnter(&data, 0, {10, 10}, &effect), S_OK);
  ASSERT_EQ(target.DragEnter(&data, 0, {10, 10}, &effect), S_OK);
  ASSERT_EQ(data.Sets().size(), 2u);
  const auto& set = data.Sets().front();
  EXPECT_EQ(set.format, ::RegisterClipboardFormatW(L"DropDescription"));
  EXPECT_EQ(set.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
  EXPECT_TRUE(set.owned) << "the data object must own the block";
  const auto* description = static_cast<const DROPDESCRIPTION*>(::GlobalLock(set.block));
  EXPECT_EQ(description->type, DROPIMAGE_COPY);
  EXPECT_EQ(std::wstring(description->szMessage), L"Bestanden toevoegen");
  ::GlobalUnlock(set.block);
  EXPECT_EQ(sink.drops, 0) << "entering takes nothing";

  // A data object that refuses the description leaves the block to us; the
  // drag goes on all the same.
  t_FakeDataObject refusing({L"C:\\v\\a.mp4"});
  refusing.setDataResult = E_NOTIMPL;
  EXPECT_EQ(target.DragEnter(&refusing, 0, {10, 10}, &effect), S_OK);
}

TEST_F(DropTargetTest, DropHandsOnTheListedPathsInOrder) {
  t_RecordingSink sink;
  t_DropTarget target(sink);
  const std::vector<std::wstring> paths = {L"C:\\v\\b.mp4", L"C:\\v\\folder", L"C:\\v\\cover.png",
                                           L"C:\\v\\\x0444\x0438\x043B\x044C\x043C.mp4"};
  t_FakeDataObject data(paths);
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target.Drop(&data, 0, {0, 0}, &effect), S_OK);
  EXPECT_EQ(sink.drops, 1);
  EXPECT_EQ(sink.taken, paths);
}

TEST_F(DropTargetTest, DropTakesNothingDuringARunOrWithoutAFileList) {
  struct t_Case {
    const char* what;
    bool accepting;
    bool offersFileList;
  };
  for (const t_Case& c : {t_Case{"during a run", false, true}, t_Case{"plain text dragged", true, false}}) {
    t_RecordingSink sink;
    sink.accepting = c.accepting;
    t_DropTarget target(sink);
    t_FakeDataObject data({L"C:\\v\\a.mp4"}, c.offersFileList);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target.Drop(&data, 0, {0, 0}, &effect), S_OK) << c.what;
    EXPECT_EQ(sink.drops, 0) << c.what;
  }
}

TEST_F(DropTargetTest, RegistersForAWindowAndRevokesCleanly) {
  t_RecordingSink sink;
  t_DropTarget target(sink);
  const HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(target.Register(window));
  EXPECT_GT(target.ReferenceCount(), 1u) << "OLE holds the target while it is registered";
  // A second registration for the same window is refused and undone at once.
  t_DropTarget second(sink);
  EXPECT_FALSE(second.Register(window));
  EXPECT_EQ(second.ReferenceCount(), 1u);
  target.Revoke(window);
  EXPECT_EQ(target.ReferenceCount(), 1u);
  target.Revoke(window);  // revoking twice changes nothing
  EXPECT_EQ(target.ReferenceCount(), 1u);
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace n_zorbel::n_testing
