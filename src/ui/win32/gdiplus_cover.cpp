#include "ui/win32/gdiplus_cover.hpp"

#include "system/windows/handle.hpp"
#include "ui/win32/com_ptr.hpp"

namespace n_zorbel::n_ui::n_win32 {

namespace {

// Opened for reading without keeping anyone else from reading, writing,
// renaming or deleting the file.
n_system::n_detail::t_FileHandle OpenSharedForReading(const t_String& path) noexcept {
  return n_system::n_detail::t_FileHandle(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

class t_GlobalBlock {
 public:
  explicit t_GlobalBlock(SIZE_T size) noexcept : m_block(::GlobalAlloc(GMEM_MOVEABLE, size)) {}
  ~t_GlobalBlock() {
    if (m_block != nullptr) ::GlobalFree(m_block);
  }
  t_GlobalBlock(const t_GlobalBlock&) = delete;
  t_GlobalBlock& operator=(const t_GlobalBlock&) = delete;
  HGLOBAL Get() const noexcept { return m_block; }
  HGLOBAL Release() noexcept { return std::exchange(m_block, nullptr); }

 private:
  HGLOBAL m_block;
};

// The whole file in a memory stream, or nothing.
t_ComPtr<IStream> ReadIntoStream(const t_String& path, std::uint64_t largest) {
  t_ComPtr<IStream> stream;
  const n_system::n_detail::t_FileHandle file = OpenSharedForReading(path);
  if (file.IsEmpty()) return stream;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > largest)
    return stream;
  const auto length = static_cast<DWORD>(size.QuadPart);
  t_GlobalBlock block(length);
  if (block.Get() == nullptr) return stream;
  void* bytes = ::GlobalLock(block.Get());
  if (bytes == nullptr) return stream;
  DWORD read = 0;
  const BOOL ok = ::ReadFile(file.Get(), bytes, length, &read, nullptr);
  ::GlobalUnlock(block.Get());
  if (!ok || read != length) return stream;
  // The stream frees the block when it goes.
  if (SUCCEEDED(::CreateStreamOnHGlobal(block.Get(), TRUE, stream.Out()))) block.Release();
  return stream;
}

}  // namespace

t_GdiplusCoverImage::~t_GdiplusCoverImage() { Gdiplus::DllExports::GdipDisposeImage(m_image); }

std::uint32_t t_GdiplusCoverImage::Width() const noexcept {
  UINT width = 0;
  if (Gdiplus::DllExports::GdipGetImageWidth(m_image, &width) != Gdiplus::Ok) return 0;
  return width;
}

std::uint32_t t_GdiplusCoverImage::Height() const noexcept {
  UINT height = 0;
  if (Gdiplus::DllExports::GdipGetImageHeight(m_image, &height) != Gdiplus::Ok) return 0;
  return height;
}

std::unique_ptr<n_preview::t_CoverImage> t_GdiplusCoverDecoder::Decode(const t_String& path) {
  const t_ComPtr<IStream> stream = ReadIntoStream(path, kLargestFile);
  if (!stream) return nullptr;
  // GDI+ keeps its own reference to the stream for the image's life.
  Gdiplus::GpImage* image = nullptr;
  if (Gdiplus::DllExports::GdipLoadImageFromStream(stream.Get(), &image) != Gdiplus::Ok || image == nullptr)
    return nullptr;
  return std::make_unique<t_GdiplusCoverImage>(image);
}

t_GdiplusSession::t_GdiplusSession() noexcept {
  Gdiplus::GdiplusStartupInput input;  // version 1, no callback, nothing suppressed
  if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok) m_token = 0;
}

t_GdiplusSession::~t_GdiplusSession() {
  if (m_token != 0) Gdiplus::GdiplusShutdown(m_token);
}

}  // namespace n_zorbel::n_ui::n_win32
