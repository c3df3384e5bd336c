// The package format: what the packer makes, the reader takes back byte for
// byte, and every kind of damage is refused with code 13 before anything is
// written.
#include "tools/tool_package.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/raised_code.hpp"
#include "support/scratch_folder.hpp"
#include "system/error.hpp"
#include "system/memory_mapped_file.hpp"
#include "tool_test_support.hpp"
#include "tools/unpacked_tools.hpp"

namespace n_zorbel::n_testing {
namespace {

using n_tools::t_ToolPayload;

std::uint32_t ReadLittleEndian32(const t_Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint32_t>(bytes[offset + i]);
  return value;
}

TEST(ToolPackageTest, RoundTripKeepsEveryByteAndTheShippedSettings) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{255}, std::size_t{4096},
                                 std::size_t{65537}, std::size_t{259584}}) {
    SCOPED_TRACE("tool of " + std::to_string(size) + " bytes");
    const t_Bytes tool = ToolLikeBytes(size, static_cast<unsigned>(size));
    const t_Bytes package = PackOne(tool);

    ASSERT_GE(package.size(), 17u);
    EXPECT_EQ(ReadLittleEndian32(package, 0), size + 4);  // U = table + the one file
    EXPECT_EQ(ReadLittleEndian32(package, 4), 5u);
    EXPECT_EQ(package[8], std::byte{0x08});  // lc 8, lp 0, pb 0
    EXPECT_EQ(package[13], std::byte{0});

    const t_ToolPayload payload(package);
    EXPECT_EQ(payload.Size(), size + 4);
    const auto file = payload.File(0);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), tool.begin(), tool.end()));
  }
}

TEST(ToolPackageTest, ReaderTakesEveryLiteralAndPositionSetting) {
  const t_Bytes tool = ToolLikeBytes(20000, 7);
  for (const auto& [lc, lp, pb] : {std::tuple{8, 0, 0}, std::tuple{3, 0, 2}, std::tuple{0, 4, 4},
                                   std::tuple{8, 4, 4}, std::tuple{4, 2, 1}}) {
    SCOPED_TRACE("lc " + std::to_string(lc) + " lp " + std::to_string(lp) + " pb " + std::to_string(pb));
    n_tools::n_packer::t_PackOptions options;
    options.lc = lc;
    options.lp = lp;
    options.pb = pb;
    const t_ToolPayload payload(PackOne(tool, options));
    const auto file = payload.File(0);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), tool.begin(), tool.end()));
  }
}

TEST(ToolPackageTest, UnpackedSizeLimitsAreInclusiveOfSixtyFourMebibytes) {
  t_Bytes header(16, std::byte{0});
  PutLittleEndian32(header, 4, 5);
  header[8] = std::byte{0x08};
  for (const std::uint32_t accepted : {5u, 0x4000000u}) {
    PutLittleEndian32(header, 0, accepted);
    EXPECT_EQ(n_tools::ReadToolPackageHeader(header).unpackedSize, accepted);
  }
  for (const std::uint32_t refused : {0u, 4u, 0x4000001u, 0xFFFFFFFFu}) {
    PutLittleEndian32(header, 0, refused);
    EXPECT_EQ(CodeOf([&] { n_tools::ReadToolPackageHeader(header); }), 13) << refused;
  }
}

TEST(ToolPackageTest, LargestPackageDecodes) {
  // 64 MiB of one repeated byte packs small and decodes quickly.
  const t_Bytes tool(0x4000000 - 4, std::byte{0x90});
  n_tools::n_packer::t_PackOptions options;
  options.level = 0;
  options.dictionarySize = 1u << 20;
  const t_ToolPayload payload(PackOne(tool, options));
  EXPECT_EQ(payload.Size(), 0x4000000u);
  EXPECT_EQ(payload.File(0).size(), tool.size());
  EXPECT_EQ(payload.File(0).back(), std::byte{0x90});
}

// A package with its payload replaced by one whose size table is `table`.
t_Bytes PackWithTable(std::initializer_list<std::uint32_t> table, std::size_t fileBytes) {
  t_Bytes payload;
  for (const std::uint32_t size : table) {
    payload.resize(payload.size() + 4);
    PutLittleEndian32(payload, payload.size() - 4, size);
  }
  const t_Bytes body = ToolLikeBytes(fileBytes, 3);
  payload.insert(payload.end(), body.begin(), body.end());
  return n_tools::n_packer::PackPayload(payload);
}

struct t_Damage {
  const char* name;
  std::function<t_Bytes(t_Bytes package)> apply;
};

TEST(ToolPackageTest, EveryDamageIsRefusedWithCode13AndNothingIsWrittenOrLeftOpen) {
  const t_Bytes tool = ToolLikeBytes(3000, 11);
  const t_Bytes good = PackOne(tool);
  const std::uint32_t unpacked = static_cast<std::uint32_t>(tool.size() + 4);

  const t_Damage damages[] = {
      {"empty", [](t_Bytes) { return t_Bytes{}; }},
      {"15 bytes", [](t_Bytes p) { return t_Bytes(p.begin(), p.begin() + 15); }},
      {"header only", [](t_Bytes p) { return t_Bytes(p.begin(), p.begin() + 16); }},
      {"U = 4", [](t_Bytes p) { return PutLittleEndian32(p, 0, 4), p; }},
      {"U = 0x4000001", [](t_Bytes p) { return PutLittleEndian32(p, 0, 0x4000001), p; }},
      {"U one more than the stream makes",
       [&](t_Bytes p) { return PutLittleEndian32(p, 0, unpacked + 1), p; }},
      {"U one less than the stream makes",
       [&](t_Bytes p) { return PutLittleEndian32(p, 0, unpacked - 1), p; }},
      {"property size 4", [](t_Bytes p) { return PutLittleEndian32(p, 4, 4), p; }},
      {"property size 6", [](t_Bytes p) { return PutLittleEndian32(p, 4, 6), p; }},
      {"property byte beyond pb 4", [](t_Bytes p) { return p[8] = std::byte{225}, p; }},
      {"stream one byte short", [](t_Bytes p) { return p.pop_back(), p; }},
      {"stream cut in half", [](t_Bytes p) { return p.resize(16 + (p.size() - 16) / 2), p; }},
      {"one byte left over", [](t_Bytes p) { return p.push_back(std::byte{0}), p; }},
      {"stream not starting with 0", [](t_Bytes p) { return p[16] = std::byte{1}, p; }},
      {"size table 0", [](t_Bytes) { return PackWithTable({0}, 100); }},
      {"size table one short", [](t_Bytes) { return PackWithTable({99}, 100); }},
      {"size table one over", [](t_Bytes) { return PackWithTable({101}, 100); }},
      {"size table wrapping around", [](t_Bytes) { return PackWithTable({0xFFFFFFFFu}, 100); }},
  };

  t_ScratchFolder folder;
  for (const t_Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    const t_Bytes package = damage.apply(good);
    EXPECT_EQ(CodeOf([&] { t_ToolPayload payload(package); }), 13);

    const int descriptors = OpenDescriptorCount();
    const n_tools::t_MemoryModule module(package);
    EXPECT_EQ(CodeOf([&] { n_tools::t_UnpackedTools tools(module, folder.Path()); }), 13);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_FALSE(folder.Exists(n_tools::ToolFileName(0)));
  }
  // The same package undamaged is taken.
  const n_tools::t_MemoryModule module(good);
  EXPECT_NO_THROW(n_tools::t_UnpackedTools(module, folder.Path()));
}

TEST(ToolPackageTest, DamagedStreamsAreRefusedOrStillDecodeNeverWorse) {
  // Damage anywhere in the stream is either refused or, by the range coder's
  // chance, still decodes to the right length; it never crashes the reader.
  const t_Bytes tool = ToolLikeBytes(5000, 5);
  const t_Bytes good = PackOne(tool);
  int refused = 0;
  for (std::size_t offset = 17; offset < good.size(); offset += 7) {
    t_Bytes package = good;
    package[offset] ^= std::byte{0x5A};
    const std::int32_t code = CodeOf([&] { t_ToolPayload payload(package); });
    EXPECT_TRUE(code == 0 || code == 13) << offset;
    refused += code == 13;
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace n_zorbel::n_testing
