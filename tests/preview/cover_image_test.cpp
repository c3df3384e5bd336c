// The cover loading rule against a fake decoder.
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
  std::unique_ptr<t_CoverImage> Decode(const t_String& path) override {
    ++decodes;
    const auto it = files.find(path);
    if (it == files.end()) return nullptr;
    return std::make_unique<t_FakeImage>(it->second.first, it->second.second, &alive);
  }
  std::map<t_String, std::pair<std::uint32_t, std::uint32_t>> files;
  int decodes = 0;
  int alive = 0;
};

TEST(CoverImage, LoadRule) {
  t_FakeDecoder decoder;
  decoder.files[ZTEXT("a.png")] = {640, 480};
  decoder.files[ZTEXT("zero-wide.jpg")] = {0, 480};
  decoder.files[ZTEXT("zero-high.jpg")] = {640, 0};
  std::unique_ptr<t_CoverImage> held;

  LoadCoverImage(decoder, ZTEXT("a.png"), held);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->Width(), 640u);

  // Every load decodes again; the old picture is gone afterwards.
  decoder.files[ZTEXT("a.png")] = {100, 50};
  LoadCoverImage(decoder, ZTEXT("a.png"), held);
  EXPECT_EQ(held->Width(), 100u);
  EXPECT_EQ(decoder.decodes, 2);
  EXPECT_EQ(decoder.alive, 1);

  for (const t_String path : {ZTEXT("missing.jpg"), ZTEXT("zero-wide.jpg"), ZTEXT("zero-high.jpg")}) {
    LoadCoverImage(decoder, ZTEXT("a.png"), held);
    LoadCoverImage(decoder, path, held);
    EXPECT_FALSE(held);
    EXPECT_EQ(decoder.alive, 0);
  }

  // An empty path decodes nothing.
  LoadCoverImage(decoder, ZTEXT("a.png"), held);
  const int before = decoder.decodes;
  LoadCoverImage(decoder, t_String(), held);
  EXPECT_FALSE(held);
  EXPECT_EQ(decoder.decodes, before);
}

}  // namespace
}  // namespace n_zorbel::n_preview
