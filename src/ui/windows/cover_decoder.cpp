#include "ui/windows/cover_decoder.hpp"

#include <cstring>

#include "ui/windows/com_ptr.hpp"

namespace n_zorbel::n_ui::n_windows {

using n_system::n_detail::t_GlobalMemory;
using n_system::n_detail::t_Window;

namespace {

constexpr UINT kPictureFinished = WM_APP + 1;
constexpr wchar_t kReceiverClass[] = L"MivoraCoverReceiver";

// The bytes in a memory stream of their own, or nothing.
t_ComPtr<IStream> StreamOf(const std::vector<std::uint8_t>& bytes) {
  t_ComPtr<IStream> stream;
  t_GlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
  if (bytes.empty() || block.IsEmpty()) return stream;
  void* memory = ::GlobalLock(block.Get());
  if (memory == nullptr) return stream;
  std::memcpy(memory, bytes.data(), bytes.size());
  ::GlobalUnlock(block.Get());
  // The stream frees the block when it goes.
  if (SUCCEEDED(::CreateStreamOnHGlobal(block.Get(), TRUE, stream.Out()))) block.Detach();
  return stream;
}

}  // namespace

std::uint32_t t_GdiplusCoverImage::Width() const noexcept {
  UINT width = 0;
  if (Gdiplus::DllExports::GdipGetImageWidth(m_image.Get(), &width) != Gdiplus::Ok) return 0;
  return width;
}

std::uint32_t t_GdiplusCoverImage::Height() const noexcept {
  UINT height = 0;
  if (Gdiplus::DllExports::GdipGetImageHeight(m_image.Get(), &height) != Gdiplus::Ok) return 0;
  return height;
}

std::unique_ptr<t_GdiplusCoverImage> DecodeGdiplusCover(std::vector<std::uint8_t> bytes,
                                                        const std::function<bool()>& abandoned) {
  const t_ComPtr<IStream> stream = StreamOf(bytes);
  bytes = {};  // the stream holds its own copy
  if (!stream) return nullptr;
  Gdiplus::GpImage* loaded = nullptr;
  if (Gdiplus::DllExports::GdipLoadImageFromStream(stream.Get(), &loaded) != Gdiplus::Ok || loaded == nullptr)
    return nullptr;
  const t_GdiplusCoverImage source(loaded);
  const UINT width = source.Width(), height = source.Height();
  if (width == 0 || height == 0 || abandoned()) return nullptr;
  // GDI+ may decode only when the picture is first drawn: drawing it once
  // here does the work on this thread, and lets the stream and the
  // decoder's own copy go.
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0,
                                                     PixelFormat32bppPARGB, nullptr,
                                                     &bitmap) != Gdiplus::Ok ||
      bitmap == nullptr)
    return nullptr;
  auto picture = std::make_unique<t_GdiplusCoverImage>(bitmap);
  t_GdiplusGraphics graphics;
  if (Gdiplus::DllExports::GdipGetImageGraphicsContext(bitmap, graphics.Out()) != Gdiplus::Ok) {
    graphics.Detach();  // nothing was made
    return nullptr;
  }
  if (graphics.IsEmpty() ||
      Gdiplus::DllExports::GdipSetCompositingMode(graphics.Get(), Gdiplus::CompositingModeSourceCopy) !=
          Gdiplus::Ok ||
      Gdiplus::DllExports::GdipDrawImageRectI(graphics.Get(), loaded, 0, 0, static_cast<INT>(width),
                                              static_cast<INT>(height)) != Gdiplus::Ok)
    return nullptr;
  return picture;
}

namespace {

LRESULT CALLBACK ReceiverProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kPictureFinished) return ::DefWindowProcW(window, message, wParam, lParam);
  if (auto* worker = reinterpret_cast<n_preview::t_CoverWorker*>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
    worker->DeliverFinished();
  return 0;
}

t_Window MakeReceiver() noexcept {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &ReceiverProcedure;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kReceiverClass;
  ::RegisterClassExW(&windowClass);  // an earlier decoder may have registered it
  return t_Window(::CreateWindowExW(0, kReceiverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr));
}

}  // namespace

t_GdiplusCoverDecoder::t_GdiplusCoverDecoder()
    : m_receiver(MakeReceiver()),
      m_worker(
          [](std::vector<std::uint8_t> bytes,
             const std::function<bool()>& abandoned) -> std::unique_ptr<n_preview::t_CoverImage> {
            return DecodeGdiplusCover(std::move(bytes), abandoned);
          },
          [this] { ::PostMessageW(m_receiver.Get(), kPictureFinished, 0, 0); }) {
  if (m_receiver.Get() != nullptr)
    ::SetWindowLongPtrW(m_receiver.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_worker));
}

t_GdiplusSession::t_GdiplusSession() noexcept {
  Gdiplus::GdiplusStartupInput input;  // version 1, no callback, nothing suppressed
  if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok) m_token = 0;
}

t_GdiplusSession::~t_GdiplusSession() {
  if (m_token != 0) Gdiplus::GdiplusShutdown(m_token);
}

}  // namespace n_zorbel::n_ui::n_windows
