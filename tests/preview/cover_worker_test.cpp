// The decoding thread over real files: what it refuses to read or to hand to
// the decoder, and that only the latest request is ever delivered.
#include "preview/cover_worker.hpp"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>

#include "cover_bytes.hpp"
#include "preview/cover_bounds.hpp"
#include "support/scratch_folder.hpp"

namespace n_zorbel::n_testing {
namespace {

using namespace std::chrono_literals;

// A "picture" as wide as the bytes it was decoded from.
struct t_ByteCount final : n_preview::t_CoverImage {
  explicit t_ByteCount(std::size_t count) : size(static_cast<std::uint32_t>(count)) {}
  std::uint32_t Width() const noexcept override { return size; }
  std::uint32_t Height() const noexcept override { return 1; }
  std::uint32_t size;
};

class CoverWorkerTest : public testing::Test {
 protected:
  void Write(const char* name, const t_Bytes& bytes, std::uintmax_t size = 0) {
    const std::filesystem::path path(scratch / FromUtf8(name));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (size != 0) std::filesystem::resize_file(path, size);  // sparse: no disk taken
  }

  // What the delivery of `path` brought: the width, 0 for null, nothing when
  // no delivery came in a generous while.
  std::optional<std::uint32_t> Load(const t_String& path) {
    std::optional<std::uint32_t> delivered;
    worker.Start(path, [&](std::unique_ptr<n_preview::t_CoverImage> picture) {
      delivered = picture ? picture->Width() : 0;
    });
    for (int wait = 0; wait < 200 && !delivered; ++wait) {
      std::unique_lock lock(mutex);
      if (woken.wait_for(lock, 100ms, [&] { return wakes > 0; })) --wakes;
      lock.unlock();
      worker.DeliverFinished();
    }
    return delivered;
  }

  t_ScratchFolder scratch;
  std::mutex mutex;
  std::condition_variable woken;
  int wakes = 0;
  int decodes = 0;  // on the worker's thread, read after a delivery
  std::function<void(const std::function<bool()>&)> duringDecode = [](const std::function<bool()>&) {};
  n_preview::t_CoverWorker worker{
      [this](std::vector<std::uint8_t> bytes, const std::function<bool()>& abandoned) {
        ++decodes;
        duringDecode(abandoned);
        return std::make_unique<t_ByteCount>(bytes.size());
      },
      [this] {
        const std::lock_guard lock(mutex);
        ++wakes;
        woken.notify_all();
      }};
};

TEST_F(CoverWorkerTest, OnlyRegularFilesWithinTheBoundsReachTheDecoder) {
  const t_Bytes png = PngHeader(100, 100);
  Write("cover.png", png);
  Write("largest.png", png, n_preview::kLargestCoverFile);
  Write("too large.png", png, n_preview::kLargestCoverFile + 1);
  Write("3 GB.jpg", Jpeg(100, 100, 3), 3ull << 30);
  Write("bomb.jpg", Jpeg(4000, 4000, 5000));
  Write("8000.png", PngHeader(8000, 8000));
  scratch.MakeFolder(ZTEXT("folder.jpg"));
#ifndef _WIN32
  // Opening a FIFO that no one writes to would block a reader for ever.
  ASSERT_EQ(::mkfifo((scratch / "fifo.jpg").c_str(), 0600), 0);
#endif
  const struct {
    const char* name;
    std::uint32_t delivered;  // the bytes decoded; 0: nothing decoded, null delivered
  } cases[] = {
      {"cover.png", static_cast<std::uint32_t>(png.size())},
      {"largest.png", static_cast<std::uint32_t>(n_preview::kLargestCoverFile)},
      {"too large.png", 0},
      {"3 GB.jpg", 0},
      {"bomb.jpg", 0},
      {"8000.png", 0},
      {"folder.jpg", 0},
      {"missing.png", 0},
#ifndef _WIN32
      {"fifo.jpg", 0},
#endif
  };
  for (const auto& c : cases) {
    const int before = decodes;
    EXPECT_EQ(Load(scratch / FromUtf8(c.name)), std::optional(c.delivered)) << c.name;
    EXPECT_EQ(decodes - before, c.delivered == 0 ? 0 : 1) << c.name;
  }
}

TEST_F(CoverWorkerTest, AnAbandonedDecodeIsToldSoAndNeverDelivered) {
  Write("first.png", PngHeader(1, 1));
  Write("second.png", PngHeader(2, 2), 1000);
  std::promise<void> entered, release;
  bool sawAbandoned = false;
  std::atomic<bool> holdOne = true;
  duringDecode = [&](const std::function<bool()>& abandoned) {
    if (!holdOne.exchange(false)) return;
    entered.set_value();
    release.get_future().wait();
    sawAbandoned = abandoned();
  };
  bool firstDelivered = false;
  worker.Start(scratch / ZTEXT("first.png"), [&](auto) { firstDelivered = true; });
  ASSERT_EQ(entered.get_future().wait_for(20s), std::future_status::ready);
  worker.Abandon();
  release.set_value();
  // The next request is the only one delivered, whenever the first one ended.
  EXPECT_EQ(Load(scratch / ZTEXT("second.png")), std::optional(1000u));
  EXPECT_TRUE(sawAbandoned);
  EXPECT_FALSE(firstDelivered);
}

}  // namespace
}  // namespace n_zorbel::n_testing
