#pragma once
// A data object as a drag source offers it: optionally the shell's
// dropped-file list (CF_HDROP), and whatever a target sets on it is kept so a
// test can read the drop description back.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/windows/win32.hpp"

namespace n_zorbel::n_testing {

class t_FakeDataObject final : public IDataObject {
 public:
  // `paths` empty and `offersFileList` false: a drag of plain text, say.
  explicit t_FakeDataObject(std::vector<std::wstring> paths, bool offersFileList = true)
      : m_paths(std::move(paths)), m_offersFileList(offersFileList) {}
  ~t_FakeDataObject() {
    for (const t_Set& set : m_sets)
      if (set.owned) ::GlobalFree(set.block);
  }
  t_FakeDataObject(const t_FakeDataObject&) = delete;
  t_FakeDataObject& operator=(const t_FakeDataObject&) = delete;

  struct t_Set {
    CLIPFORMAT format;
    DWORD tymed;
    HGLOBAL block;
    bool owned;
  };
  const std::vector<t_Set>& Sets() const { return m_sets; }
  HRESULT setDataResult = S_OK;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDataObject)) {
      *out = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override { return --m_references; }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = MakeFileList();
    medium->pUnkForRelease = nullptr;
    return medium->hGlobal != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return m_offersFileList && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) != 0 ? S_OK
                                                                                                    : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
    if (FAILED(setDataResult)) return setDataResult;
    m_sets.push_back({format->cfFormat, medium->tymed, medium->hGlobal, release != FALSE});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  // DROPFILES followed by the wide paths, each NUL-terminated, and one more NUL.
  HGLOBAL MakeFileList() const {
    std::size_t characters = 1;
    for (const std::wstring& path : m_paths) characters += path.size() + 1;
    const std::size_t size = sizeof(DROPFILES) + characters * sizeof(wchar_t);
    const HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block == nullptr) return nullptr;
    auto* header = static_cast<DROPFILES*>(::GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<std::uint8_t*>(header) + sizeof(DROPFILES));
    for (const std::wstring& path : m_paths) {
      path.copy(text, path.size());
      text += path.size() + 1;
    }
    ::GlobalUnlock(block);
    return block;
  }

  std::vector<std::wstring> m_paths;
  bool m_offersFileList;
  ULONG m_references = 1;
  std::vector<t_Set> m_sets;
};

}  // namespace n_zorbel::n_testing
