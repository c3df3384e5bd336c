#include "ui/windows/drop_target.hpp"

#include <algorithm>

#include "ui/windows/guids.hpp"

namespace n_zorbel::n_ui::n_windows {

using n_system::n_detail::t_GlobalMemory;

namespace {

constexpr UINT kAllPaths = 0xFFFFFFFF;

// The target only ever takes copies of what is dragged: a drag source that
// acts on the reported effect (deleting the originals after a "move") must
// never be told anything else.
void ReportCopy(DWORD* effect) noexcept {
  *effect = (*effect & DROPEFFECT_COPY) != 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

POINT ToPoint(POINTL point) noexcept { return {point.x, point.y}; }

}  // namespace

// --- The dropped-file list -----------------------------------------------------

std::vector<t_DroppedPath> DroppedFilePaths(HDROP drop) {
  std::vector<t_DroppedPath> paths(::DragQueryFileW(drop, kAllPaths, nullptr, 0));
  for (UINT index = 0; index < paths.size(); ++index) {
    // The length first, then the characters; a count that differs means the
    // path did not come whole.
    const UINT length = ::DragQueryFileW(drop, index, nullptr, 0);
    t_String path(length + 1, L'\0');
    if (::DragQueryFileW(drop, index, path.data(), length + 1) != length) continue;
    path.resize(length);
    paths[index] = std::move(path);
  }
  return paths;
}

// --- The description block -----------------------------------------------------

t_GlobalMemory MakeDropDescription(const t_String& text) noexcept {
  t_GlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPDESCRIPTION)));
  if (block.IsEmpty()) return block;
  auto* description = static_cast<DROPDESCRIPTION*>(::GlobalLock(block.Get()));
  if (description == nullptr) return {};
  description->type = DROPIMAGE_COPY;
  const std::size_t length = std::min<std::size_t>(text.size(), std::size(description->szMessage) - 1);
  std::copy_n(text.data(), length, description->szMessage);
  description->szMessage[length] = L'\0';
  ::SetLastError(NO_ERROR);
  if (::GlobalUnlock(block.Get()) != 0 || ::GetLastError() != NO_ERROR) return {};
  return block;
}

// --- t_DropTarget ----------------------------------------------------------------

t_DropTarget::t_DropTarget(t_DropSink& sink) noexcept : m_sink(sink) {
  // Without the helper the drop still works, only the drag image is missing.
  ::CoCreateInstance(kClsidDragDropHelper, nullptr, CLSCTX_INPROC_SERVER, kIidDropTargetHelper,
                     m_helper.OutVoid());
}

t_DropTarget::~t_DropTarget() = default;

HRESULT t_DropTarget::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (::IsEqualGUID(iid, kIidUnknown) || ::IsEqualGUID(iid, kIidDropTarget)) {
    AddRef();
    *out = static_cast<IDropTarget*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG t_DropTarget::AddRef() { return ++m_references; }

ULONG t_DropTarget::Release() { return --m_references; }

HRESULT t_DropTarget::DragEnter(IDataObject* data, DWORD /*keys*/, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  if (data == nullptr) return S_OK;
  ReportCopy(effect);
  POINT at = ToPoint(point);
  if (m_helper) m_helper->DragEnter(m_sink.DropWindow(), data, &at, *effect);
  SetDescription(data);
  return S_OK;
}

HRESULT t_DropTarget::DragOver(DWORD /*keys*/, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  ReportCopy(effect);
  POINT at = ToPoint(point);
  if (m_helper) m_helper->DragOver(&at, *effect);
  return S_OK;
}

HRESULT t_DropTarget::DragLeave() {
  if (m_helper) m_helper->DragLeave();
  return S_OK;
}

HRESULT t_DropTarget::Drop(IDataObject* data, DWORD /*keys*/, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  if (data == nullptr) return S_OK;
  ReportCopy(effect);
  POINT at = ToPoint(point);
  if (m_helper) m_helper->Drop(data, &at, *effect);
  AcceptDrop(data);
  return S_OK;
}

bool t_DropTarget::Register(HWND window) noexcept {
  if (FAILED(::CoLockObjectExternal(this, TRUE, FALSE))) return false;
  if (FAILED(::RegisterDragDrop(window, this))) {
    ::CoLockObjectExternal(this, FALSE, FALSE);
    return false;
  }
  m_registered = true;
  return true;
}

void t_DropTarget::Revoke(HWND window) noexcept {
  if (!m_registered) return;
  m_registered = false;
  ::RevokeDragDrop(window);
  ::CoLockObjectExternal(this, FALSE, FALSE);
}

void t_DropTarget::SetDescription(IDataObject* data) noexcept {
  t_GlobalMemory block = MakeDropDescription(m_sink.DropDescriptionText());
  if (block.IsEmpty()) return;
  const UINT format = ::RegisterClipboardFormatW(CFSTR_DROPDESCRIPTION);
  if (format == 0) return;
  FORMATETC description{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = block.Get();
  // On success the data object owns the block; on failure it is still ours.
  if (SUCCEEDED(data->SetData(&description, &medium, TRUE))) block.Detach();
}

void t_DropTarget::AcceptDrop(IDataObject* data) noexcept {
  if (!m_sink.AcceptsDrops()) return;
  FORMATETC fileList{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  if (data->QueryGetData(&fileList) != S_OK) return;
  STGMEDIUM filled{};
  if (FAILED(data->GetData(&fileList, &filled))) return;
  const n_system::n_detail::t_StorageMedium medium(n_system::n_detail::t_Medium{filled});
  const HGLOBAL block = filled.tymed == TYMED_HGLOBAL ? filled.hGlobal : nullptr;
  if (block == nullptr || ::GlobalLock(block) == nullptr) return;
  std::vector<t_DroppedPath> paths;
  try {
    paths = DroppedFilePaths(static_cast<HDROP>(block));
  } catch (...) {
    // Out of memory inside OLE's drag loop: the drop is refused whole.
  }
  ::GlobalUnlock(block);
  if (!paths.empty()) m_sink.TakeDrop(paths);
}

}  // namespace n_zorbel::n_ui::n_windows
