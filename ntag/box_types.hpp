#pragma once
// The box types ntag reads and writes, named once for every file that needs them.
#include <cstdint>

#include "byte_order.hpp"

namespace n_zorbel::n_ntag {

inline constexpr std::uint32_t kMoov = FourCc("moov");
inline constexpr std::uint32_t kTrak = FourCc("trak");
inline constexpr std::uint32_t kMdia = FourCc("mdia");
inline constexpr std::uint32_t kMinf = FourCc("minf");
inline constexpr std::uint32_t kStbl = FourCc("stbl");
inline constexpr std::uint32_t kStco = FourCc("stco");
inline constexpr std::uint32_t kCo64 = FourCc("co64");
inline constexpr std::uint32_t kMoof = FourCc("moof");
inline constexpr std::uint32_t kTraf = FourCc("traf");
inline constexpr std::uint32_t kTfhd = FourCc("tfhd");
inline constexpr std::uint32_t kMfra = FourCc("mfra");
inline constexpr std::uint32_t kTfra = FourCc("tfra");
inline constexpr std::uint32_t kUdta = FourCc("udta");
inline constexpr std::uint32_t kMeta = FourCc("meta");
inline constexpr std::uint32_t kHdlr = FourCc("hdlr");
inline constexpr std::uint32_t kIlst = FourCc("ilst");
inline constexpr std::uint32_t kKeys = FourCc("keys");
inline constexpr std::uint32_t kData = FourCc("data");
inline constexpr std::uint32_t kFree = FourCc("free");
inline constexpr std::uint32_t kSkip = FourCc("skip");
inline constexpr std::uint32_t kUuid = FourCc("uuid");
// Handlers of meta: iTunes tags, and QuickTime's keyed metadata.
inline constexpr std::uint32_t kMdir = FourCc("mdir");
inline constexpr std::uint32_t kMdta = FourCc("mdta");

}  // namespace n_zorbel::n_ntag
