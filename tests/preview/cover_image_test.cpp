// The cover loading rule against a fake decoder that delivers when told.
#include "preview/cover_image.hpp"

#include <gtest/gtest.h>

#include <map>

namespace n_zorbel::n_preview {
namespace {

struct t_FakeImage final : t_CoverImage {
  t_FakeImage(std::uint32_t width, std::uint32_t height, int* counter) : w(width), h(height), alive(counter) {
    ++*alive;
  }
  ~t_FakeImage() override { --*alive; }
  t_FakeImage(const t_FakeImage&) = delete;
  t_FakeImage& operator=(const t_FakeImage&) = delete;
  std::uint32_t Width() const noexcept override { return w; }
  std::uint32_t Height() const noexcept override { return h; }
  std::uint32_t w, h;
  int* alive;
};

struct t_FakeDecoder final : t_CoverDecoder {
  void Start(const t_String& path, t_CoverDelivery deliver) override {
    ++decodes;
    pending = std::move(deliver);
    started = path;
  }
  void Abandon() noexcept override { pending = nullptr; }
  void Finish() {
    const auto it = files.find(started);
    std::exchange(pending, nullptr)(it == files.end() ? nullptr
                                                      : std::make_unique<t_FakeImage>(it->second.first, it->second.second, &alive));
  }
  std::map<t_String, std::pair<std::uint32_t, std::uint32_t>> files;
  t_CoverDelivery pending;
  t_String started;
  int decodes = 0;
  int alive = 0;
};

TEST(CoverImage, LoadRule) {
  t_FakeDecoder decoder;
  decoder.files[ZTEXT("a.png")] = {640, 480};
  decoder.files[ZTEXT("zero-wide.jpg")] = {0, 480};
  decoder.files[ZTEXT("zero-high.jpg")] = {640, 0};
  std::unique_ptr<t_CoverImage> held;
  int changes = 0;
  const auto load = [&](const t_String& path) { LoadCoverImage(decoder, path, held, [&] { ++changes; }); };

  load(ZTEXT("a.png"));
  EXPECT_FALSE(held);  // nothing until the decode is done
  decoder.Finish();
  ASSERT_TRUE(held);
  EXPECT_EQ(held->Width(), 640u);
  EXPECT_EQ(changes, 1);

  // Every load decodes again; the old picture stays until the new one arrives.
  decoder.files[ZTEXT("a.png")] = {100, 50};
  load(ZTEXT("a.png"));
  EXPECT_EQ(held->Width(), 640u);
  decoder.Finish();
  EXPECT_EQ(held->Width(), 100u);
  EXPECT_EQ(decoder.decodes, 2);
  EXPECT_EQ(decoder.alive, 1);

  for (const t_String path : {ZTEXT("missing.jpg"), ZTEXT("zero-wide.jpg"), ZTEXT("zero-high.jpg")}) {
    load(path);
    decoder.Finish();
    EXPECT_FALSE(held) << path;
    EXPECT_EQ(decoder.alive, 0);
  }

  // An empty path decodes nothing, abandons the decode under way and leaves nothing at once.
  load(ZTEXT("a.png"));
  decoder.Finish();
  load(ZTEXT("zero-wide.jpg"));
  const int before = decoder.decodes;
  changes = 0;
  load(t_String());
  EXPECT_FALSE(held);
  EXPECT_FALSE(decoder.pending);
  EXPECT_EQ(decoder.decodes, before);
  EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace n_zorbel::n_preview
