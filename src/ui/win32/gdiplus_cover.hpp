#pragma once
// The cover picture decoded by GDI+ (flat interface). The file is read into
// memory first and decoded from there, so the picture never holds the file:
// the tagger reads it during a run, and the user may replace it and press
// "Refresh" while it is shown.
#include <memory>

#include "preview/cover_image.hpp"
#include "system/text.hpp"
#include "ui/win32/win32.hpp"

namespace n_zorbel::n_ui::n_win32 {

class t_GdiplusCoverImage final : public n_preview::t_CoverImage {
 public:
  // Takes ownership of a decoded image.
  explicit t_GdiplusCoverImage(Gdiplus::GpImage* image) noexcept : m_image(image) {}
  ~t_GdiplusCoverImage() override;
  t_GdiplusCoverImage(const t_GdiplusCoverImage&) = delete;
  t_GdiplusCoverImage& operator=(const t_GdiplusCoverImage&) = delete;

  std::uint32_t Width() const noexcept override;
  std::uint32_t Height() const noexcept override;
  Gdiplus::GpImage* Image() const noexcept { return m_image; }

 private:
  Gdiplus::GpImage* m_image;
};

class t_GdiplusCoverDecoder final : public n_preview::t_CoverDecoder {
 public:
  // Files larger than this are not decoded (a cover is a picture, not a video).
  static constexpr std::uint64_t kLargestFile = 256ull << 20;
  std::unique_ptr<n_preview::t_CoverImage> Decode(const t_String& path) override;
};

// Starts GDI+ for the life of the object (version 1, no debug callback, its
// own background thread); a failed start leaves GDI+ absent and is not reported.
class t_GdiplusSession {
 public:
  t_GdiplusSession() noexcept;
  ~t_GdiplusSession();
  t_GdiplusSession(const t_GdiplusSession&) = delete;
  t_GdiplusSession& operator=(const t_GdiplusSession&) = delete;

 private:
  ULONG_PTR m_token = 0;
};

}  // namespace n_zorbel::n_ui::n_win32
