#pragma once
// The decoding thread behind each platform's cover decoder: it reads the
// file (a regular file of at most kLargestCoverFile bytes), judges it against
// the bounds, has the platform decode it, and hands the picture back to the
// dialog's thread, which stays free to paint, stop a run and close. Only the
// latest request is decoded; one the dialog has moved past is dropped.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "preview/cover_image.hpp"

namespace n_zorbel::n_preview {

class t_CoverWorker final : public t_CoverDecoder {
 public:
  // Decodes bytes that fit the bounds, on the worker thread; null when they
  // do not decode. `abandoned` turns true once the result is no longer wanted
  // or kLongestCoverDecodeMs have passed; a decoder that asks may stop early.
  using t_DecodeBytes = std::function<std::unique_ptr<t_CoverImage>(std::vector<std::uint8_t> bytes,
                                                                      const std::function<bool()>& abandoned)>;
  // Has the dialog's thread call DeliverFinished soon; called on the worker thread.
  using t_WakeDialog = std::function<void()>;

  t_CoverWorker(t_DecodeBytes decode, t_WakeDialog wake);
  // Abandons the decode in progress and waits for the thread to end.
  ~t_CoverWorker() override;
  t_CoverWorker(const t_CoverWorker&) = delete;
  t_CoverWorker& operator=(const t_CoverWorker&) = delete;

  void Start(const t_String& path, t_CoverDelivery deliver) override;
  void Abandon() noexcept override;
  // On the dialog's thread, after a wake: delivers the finished picture of
  // the latest Start, unless it was abandoned since.
  void DeliverFinished();

 private:
  void Run();

  t_DecodeBytes m_decode;
  t_WakeDialog m_wake;
  std::mutex m_mutex;
  std::condition_variable m_wakeWorker;
  // Counts starts and abandons; a decode whose number is no longer current is dropped.
  std::atomic<std::uint64_t> m_generation = 0;
  std::optional<t_String> m_request;  // the latest start, until the thread takes it
  std::unique_ptr<t_CoverImage> m_finished;
  std::uint64_t m_finishedGeneration = 0;  // 0: nothing finished
  bool m_stopping = false;
  t_CoverDelivery m_deliver;  // the dialog's thread only
  std::thread m_thread;       // last, so it starts after everything it uses
};

}  // namespace n_zorbel::n_preview
