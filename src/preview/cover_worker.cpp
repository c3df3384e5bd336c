#include "preview/cover_worker.hpp"

#include <chrono>
#include <utility>

#include "preview/cover_bounds.hpp"
#include "system/regular_file.hpp"

namespace n_zorbel::n_preview {

t_CoverWorker::t_CoverWorker(t_DecodeBytes decode, t_WakeDialog wake)
    : m_decode(std::move(decode)), m_wake(std::move(wake)), m_thread([this] { Run(); }) {}

t_CoverWorker::~t_CoverWorker() {
  {
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
    ++m_generation;
  }
  m_wakeWorker.notify_one();
  m_thread.join();
}

void t_CoverWorker::Start(const t_String& path, t_CoverDelivery deliver) {
  std::unique_ptr<t_CoverImage> stale;
  {
    const std::lock_guard lock(m_mutex);
    ++m_generation;
    m_request = path;
    stale = std::move(m_finished);
  }
  m_deliver = std::move(deliver);
  m_wakeWorker.notify_one();
}

void t_CoverWorker::Abandon() noexcept {
  std::unique_ptr<t_CoverImage> stale;
  {
    const std::lock_guard lock(m_mutex);
    ++m_generation;
    m_request.reset();
    stale = std::move(m_finished);
  }
  m_deliver = nullptr;
}

void t_CoverWorker::DeliverFinished() {
  std::unique_ptr<t_CoverImage> picture;
  {
    const std::lock_guard lock(m_mutex);
    if (m_finishedGeneration != m_generation) return;
    picture = std::move(m_finished);
    m_finishedGeneration = 0;
  }
  if (!m_deliver) return;
  const t_CoverDelivery deliver = std::exchange(m_deliver, nullptr);
  deliver(std::move(picture));
}

void t_CoverWorker::Run() {
  for (;;) {
    t_String path;
    std::uint64_t generation = 0;
    {
      std::unique_lock lock(m_mutex);
      m_wakeWorker.wait(lock, [this] { return m_stopping || m_request; });
      if (m_stopping) return;
      path = std::move(*m_request);
      m_request.reset();
      generation = m_generation;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongestCoverDecodeMs);
    const auto late = [deadline] { return std::chrono::steady_clock::now() > deadline; };
    const std::function<bool()> abandoned = [this, generation, late] {
      return m_generation != generation || late();
    };
    std::unique_ptr<t_CoverImage> picture;
    try {
      if (auto bytes = n_system::ReadRegularFile(path, kLargestCoverFile); bytes && CoverFitsBounds(*bytes))
        picture = m_decode(std::move(*bytes), abandoned);
    } catch (...) {
      picture.reset();  // out of memory, or a decoder's failure: not a picture
    }
    // Too late counts as undecodable; superseded is not delivered at all.
    if (late()) picture.reset();
    {
      const std::lock_guard lock(m_mutex);
      if (m_generation != generation) continue;  // the picture goes outside the lock
      m_finished = std::move(picture);
      m_finishedGeneration = generation;
    }
    m_wake();
  }
}

}  // namespace n_zorbel::n_preview
