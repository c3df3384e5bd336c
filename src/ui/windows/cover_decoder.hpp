#pragma once
// The cover picture decoded by GDI+ (flat interface) on the cover worker's
// thread. The file is read into memory first and decoded from there, so the
// picture never holds the file: the tagger reads it during a run, and the
// user may replace it and press "Refresh" while it is shown.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "preview/cover_worker.hpp"
#include "system/text.hpp"
#include "system/windows/handle.hpp"
#include "ui/windows/gdiplus_objects.hpp"
#include "ui/windows/win32.hpp"

namespace n_zorbel::n_ui::n_windows {

class t_GdiplusCoverImage final : public n_preview::t_CoverImage {
 public:
  // Takes ownership of a decoded image.
  explicit t_GdiplusCoverImage(Gdiplus::GpImage* image) noexcept : m_image(image) {}

  std::uint32_t Width() const noexcept override;
  std::uint32_t Height() const noexcept override;
  Gdiplus::GpImage* Image() const noexcept { return m_image.Get(); }

 private:
  t_GdiplusImage m_image;
};

// Decodes bytes already read whole into a bitmap of its own, so the decoding
// is done here and not at the first paint; null when they do not decode or
// the decode was abandoned meanwhile.
std::unique_ptr<t_GdiplusCoverImage> DecodeGdiplusCover(std::vector<std::uint8_t> bytes,
                                                        const std::function<bool()>& abandoned);

// Made on the dialog's thread, which receives the pictures through a
// message-only window of its own (the modal loop dispatches its messages).
class t_GdiplusCoverDecoder final : public n_preview::t_CoverDecoder {
 public:
  t_GdiplusCoverDecoder();

  void Start(const t_String& path, n_preview::t_CoverDelivery deliver) override {
    m_worker.Start(path, std::move(deliver));
  }
  void Abandon() noexcept override { m_worker.Abandon(); }

 private:
  // The message-only window; empty when it could not be made (no picture
  // then arrives). It goes after the worker's thread has ended.
  n_system::n_detail::t_Window m_receiver;
  n_preview::t_CoverWorker m_worker;
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

}  // namespace n_zorbel::n_ui::n_windows
