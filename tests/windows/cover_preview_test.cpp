// The cover through GDI+ and the preview drawn into a real device context:
// decoding by content, never holding the file, and the pixels that the
// background, the picture, the film strip and the frame leave.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "preview/cover_bounds.hpp"
#include "preview/cover_bytes.hpp"
#include "preview/preview_geometry.hpp"
#include "system/regular_file.hpp"
#include "support/scratch_folder.hpp"
#include "test_program.hpp"
#include "ui/ids.hpp"
#include "ui/windows/cover_decoder.hpp"
#include "ui/windows/preview_painter.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_ui::n_windows::t_GdiplusCoverDecoder;
using n_ui::n_windows::t_GdiplusCoverImage;

// A 24-bit bottom-up BMP file of one colour.
void WriteBmp(const std::filesystem::path& path, int width, int height, std::uint8_t red, std::uint8_t green,
              std::uint8_t blue) {
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  std::vector<char> row(static_cast<std::size_t>(stride), 0);
  for (int x = 0; x < width; ++x) {
    row[x * 3] = static_cast<char>(blue);
    row[x * 3 + 1] = static_cast<char>(green);
    row[x * 3 + 2] = static_cast<char>(red);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  for (int y = 0; y < height; ++y) out.write(row.data(), stride);
}

// Re-encodes a picture as PNG under any name.
bool SaveAsPng(const std::wstring& from, const std::wstring& to) {
  constexpr CLSID kPngEncoder = {
      0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
  Gdiplus::GpImage* image = nullptr;
  if (Gdiplus::DllExports::GdipLoadImageFromFile(from.c_str(), &image) != Gdiplus::Ok) return false;
  const bool saved =
      Gdiplus::DllExports::GdipSaveImageToFile(image, to.c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok;
  Gdiplus::DllExports::GdipDisposeImage(image);
  return saved;
}

class CoverPreviewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_gdiplus = new n_ui::n_windows::t_GdiplusSession(); }
  static void TearDownTestSuite() { delete s_gdiplus; }
  static n_ui::n_windows::t_GdiplusSession* s_gdiplus;

  // The decode the worker's thread runs, here on the test's own.
  static std::unique_ptr<t_GdiplusCoverImage> Decode(const std::wstring& path) {
    auto bytes = n_system::ReadRegularFile(path, n_preview::kLargestCoverFile);
    return bytes ? n_ui::n_windows::DecodeGdiplusCover(std::move(*bytes), [] { return false; }) : nullptr;
  }

  t_ScratchFolder m_folder;
};
n_ui::n_windows::t_GdiplusSession* CoverPreviewTest::s_gdiplus = nullptr;

TEST_F(CoverPreviewTest, DecodesByContentWhateverTheName) {
  const auto bmp = m_folder.Fs() / "red.bmp";
  WriteBmp(bmp, 300, 200, 255, 0, 0);
  const auto pngNamedJpg = m_folder.Fs() / "cover.jpg";
  ASSERT_TRUE(SaveAsPng(bmp.wstring(), pngNamedJpg.wstring()));
  for (const auto& path : {bmp, pngNamedJpg}) {
    const auto image = Decode(path.wstring());
    ASSERT_NE(image, nullptr) << path;
    EXPECT_EQ(image->Width(), 300u);
    EXPECT_EQ(image->Height(), 200u);
  }
}

// Through the decoder's thread and back through the message loop: only
// JPEG and PNG pictures within the bounds arrive.
TEST_F(CoverPreviewTest, TheDecoderDeliversThroughTheMessageLoopWithinTheBounds) {
  const auto bmp = m_folder.Fs() / "red.bmp";
  WriteBmp(bmp, 300, 200, 255, 0, 0);
  const auto png = m_folder.Fs() / "red.png";
  ASSERT_TRUE(SaveAsPng(bmp.wstring(), png.wstring()));
  const auto write = [&](const char* name, const t_Bytes& bytes, std::uintmax_t size = 0) {
    const auto path = m_folder.Fs() / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (size != 0) std::filesystem::resize_file(path, size);
    return path;
  };
  const struct {
    std::filesystem::path path;
    std::uint32_t width;  // 0: null delivered
  } cases[] = {
      {png, 300},
      {bmp, 0},  // the tagger takes JPEG and PNG only
      {write("8000.png", PngHeader(8000, 8000)), 0},
      {write("bomb.jpg", Jpeg(4000, 4000, 5000)), 0},
      {write("large.png", PngHeader(100, 100), n_preview::kLargestCoverFile + 1), 0},
  };
  t_GdiplusCoverDecoder decoder;
  for (const auto& c : cases) {
    std::optional<std::uint32_t> width;
    decoder.Start(c.path.wstring(), [&](std::unique_ptr<n_preview::t_CoverImage> image) {
      width = image ? image->Width() : 0;
    });
    for (int wait = 0; wait < 400 && !width; ++wait) {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    }
    EXPECT_EQ(width, std::optional(c.width)) << c.path;
  }
}

TEST_F(CoverPreviewTest, UnreadableFilesGiveNoPicture) {
  const auto empty = m_folder.Fs() / "empty.png";
  std::ofstream(empty).close();
  const auto text = m_folder.Fs() / "notes.jpg";
  std::ofstream(text) << "not a picture at all";
  for (const std::filesystem::path& path : {m_folder.Fs() / "missing.png", empty, text, m_folder.Fs()})
    EXPECT_EQ(Decode(path.wstring()), nullptr) << path;
}

// The tagger reads the cover during a run, and a user may replace it and
// refresh: a shown picture must not hold its file in any way.
TEST_F(CoverPreviewTest, AShownPictureLeavesItsFileFreeToReplaceAndDelete) {
  const auto path = m_folder.Fs() / "cover.bmp";
  WriteBmp(path, 64, 32, 0, 0, 255);
  const auto shown = Decode(path.wstring());
  ASSERT_NE(shown, nullptr);
  const HANDLE exclusive = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "the file is still open: " << ::GetLastError();
  if (exclusive != INVALID_HANDLE_VALUE) ::CloseHandle(exclusive);
  WriteBmp(path, 20, 10, 0, 255, 0);  // replaced in place
  EXPECT_EQ(shown->Width(), 64u) << "the shown picture is the one decoded";
  const auto refreshed = Decode(path.wstring());
  ASSERT_NE(refreshed, nullptr);
  EXPECT_EQ(refreshed->Width(), 20u);
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(path, error)) << error.message();
}

// --- Drawing ------------------------------------------------------------------------

// A 32-bit top-down memory surface of the preview's size.
class t_Surface {
 public:
  t_Surface(int width, int height) : m_width(width) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    m_dc = ::CreateCompatibleDC(nullptr);
    m_bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
    m_old = ::SelectObject(m_dc, m_bitmap);
  }
  ~t_Surface() {
    ::SelectObject(m_dc, m_old);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
  }
  t_Surface(const t_Surface&) = delete;
  t_Surface& operator=(const t_Surface&) = delete;
  HDC Dc() const { return m_dc; }
  COLORREF At(int x, int y) const {
    ::GdiFlush();
    const std::uint32_t p = m_bits[y * m_width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }

 private:
  int m_width;
  HDC m_dc;
  HBITMAP m_bitmap;
  HGDIOBJ m_old;
  std::uint32_t* m_bits = nullptr;
};

constexpr int kSide = 260;
constexpr COLORREF kRed = RGB(255, 0, 0);

TEST_F(CoverPreviewTest, WithoutAPictureDrawsTheButtonFaceAndTheFrame) {
  t_Surface surface(kSide, kSide);
  const auto layout = n_preview::ComputePreviewLayout(std::nullopt, kSide, kSide, {}, 16);
  n_ui::n_windows::t_PreviewArtwork artwork;
  artwork.placeholder = L"Cover preview";
  n_ui::n_windows::DrawPreview(surface.Dc(), {0, 0, kSide, kSide}, layout, artwork);
  EXPECT_EQ(surface.At(0, 0), ::GetSysColor(COLOR_WINDOWFRAME));
  EXPECT_EQ(surface.At(kSide - 1, kSide - 1), ::GetSysColor(COLOR_WINDOWFRAME));
  EXPECT_EQ(surface.At(20, 20), ::GetSysColor(COLOR_BTNFACE));
  // The text hangs below the middle, never above it.
  EXPECT_EQ(surface.At(kSide / 2, kSide / 2 - 3), ::GetSysColor(COLOR_BTNFACE));
  int textPixels = 0;
  for (int x = 60; x < 200; ++x)
    for (int y = kSide / 2; y < kSide / 2 + 14; ++y)
      textPixels += surface.At(x, y) != ::GetSysColor(COLOR_BTNFACE);
  EXPECT_GT(textPixels, 20) << "no placeholder text drawn";
}

TEST_F(CoverPreviewTest, LandscapePictureSitsInTheFilmStripOverChecks) {
  const HMODULE program = ::LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr);
  const HBITMAP wide = static_cast<HBITMAP>(
      ::LoadImageW(program, MAKEINTRESOURCEW(n_ui::kReelWideBitmapId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  ASSERT_NE(wide, nullptr);
  const auto path = m_folder.Fs() / "wide.bmp";
  WriteBmp(path, 400, 200, 255, 0, 0);  // aspect 2000: the wide strip
  const auto image = Decode(path.wstring());
  ASSERT_NE(image, nullptr);

  struct t_Case {
    bool checks;
  };
  for (const bool checks : {true, false}) {
    SCOPED_TRACE(checks ? "checks" : "no checks");
    t_Surface surface(kSide, kSide);
    n_preview::t_PreviewOptions options;
    options.drawChecks = checks;
    const auto layout =
        n_preview::ComputePreviewLayout(n_preview::t_PictureSize{400, 200}, kSide, kSide, options, 16);
    ASSERT_TRUE(layout.overlay);
    n_ui::n_windows::t_PreviewArtwork artwork;
    artwork.picture = static_cast<t_GdiplusCoverImage*>(image.get())->Image();
    artwork.reelWide = wide;
    n_ui::n_windows::DrawPreview(surface.Dc(), {0, 0, kSide, kSide}, layout, artwork);

    EXPECT_EQ(surface.At(0, 0), ::GetSysColor(COLOR_WINDOWFRAME));
    // The picture shows through the strip's window, scaled bicubically.
    EXPECT_EQ(surface.At(130, 130), kRed);
    EXPECT_EQ(surface.At(40, 70), kRed);
    // The strip's opaque bar above the window covers the picture's top rows.
    const COLORREF bar = surface.At(130, 55 + 6);
    EXPECT_NE(bar, kRed);
    EXPECT_LT(GetRValue(bar), 128);
    // Outside the strip: the background.
    if (checks) {
      EXPECT_EQ(surface.At(1, 1), ::GetSysColor(COLOR_BTNSHADOW)) << "the top-left cell is dark";
      EXPECT_EQ(surface.At(12, 1), ::GetSysColor(COLOR_3DLIGHT));
      EXPECT_EQ(surface.At(1, 12), ::GetSysColor(COLOR_3DLIGHT));
      EXPECT_EQ(surface.At(12, 12), ::GetSysColor(COLOR_BTNSHADOW));
    } else {
      EXPECT_EQ(surface.At(1, 1), ::GetSysColor(COLOR_WINDOW));
      EXPECT_EQ(surface.At(12, 12), ::GetSysColor(COLOR_WINDOW));
    }
  }
  ::DeleteObject(wide);
  ::FreeLibrary(program);
}

}  // namespace
}  // namespace n_zorbel::n_testing
