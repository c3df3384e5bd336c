#pragma once
// The dialog's OLE drop target: files and folders dragged from the shell are
// handed to the dialog as one ordered list of paths, and the shell's drag
// image carries the fixed description "Add files" with a copy sign.
#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "system/text.hpp"
#include "system/windows/handle.hpp"
#include "ui/main_dialog.hpp"
#include "ui/windows/com_ptr.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

// What the drop target needs of the dialog. None of these may throw: they are
// called from inside OLE's drag loop.
class t_DropSink {
 public:
  virtual HWND DropWindow() const noexcept = 0;
  // The description's text (string 121 in the interface language).
  virtual t_String DropDescriptionText() noexcept = 0;
  // False during a run: a drop is then ignored whole.
  virtual bool AcceptsDrops() const noexcept = 0;
  virtual void TakeDrop(std::span<const t_DroppedPath> paths) noexcept = 0;

 protected:
  ~t_DropSink() = default;
};

// The shell's dropped-file list in its order; an entry that cannot be
// fetched whole is left empty-handed.
std::vector<t_DroppedPath> DroppedFilePaths(HDROP drop);

// A movable, zero-filled block holding one DROPDESCRIPTION: the copy sign
// and `text` (cut to fit the field); empty when it cannot be made.
n_system::n_detail::t_GlobalMemory MakeDropDescription(const t_String& text) noexcept;

class t_DropTarget final : public IDropTarget {
 public:
  // Creates the system's drop-target helper; without it there is no drag image.
  explicit t_DropTarget(t_DropSink& sink) noexcept;
  ~t_DropTarget();
  t_DropTarget(const t_DropTarget&) = delete;
  t_DropTarget& operator=(const t_DropTarget&) = delete;

  // IUnknown. Release never frees: the object lives as long as the dialog.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDropTarget.
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

  // Locks the object for OLE and registers it for the window; false (and
  // nothing held) when either step fails. Revoke undoes what Register did.
  bool Register(HWND window) noexcept;
  void Revoke(HWND window) noexcept;

  ULONG ReferenceCount() const noexcept { return m_references.load(); }
  bool HasHelper() const noexcept { return static_cast<bool>(m_helper); }

 private:
  void SetDescription(IDataObject* data) noexcept;
  void AcceptDrop(IDataObject* data) noexcept;

  t_DropSink& m_sink;
  std::atomic<ULONG> m_references{1};
  t_ComPtr<IDropTargetHelper> m_helper;
  bool m_registered = false;
};

}  // namespace n_zorbel::n_ui::n_windows
