#pragma once
// The four-character codes ntag reads and writes, named once for every file that needs them.
#include <cstdint>

#include "model/byte_order.hpp"

namespace n_zorbel::n_ntag {

// The movie and its tracks.
inline constexpr std::uint32_t kMoov = FourCc("moov");
inline constexpr std::uint32_t kTrak = FourCc("trak");
inline constexpr std::uint32_t kMdia = FourCc("mdia");
inline constexpr std::uint32_t kMinf = FourCc("minf");
inline constexpr std::uint32_t kStbl = FourCc("stbl");
inline constexpr std::uint32_t kStco = FourCc("stco");
inline constexpr std::uint32_t kCo64 = FourCc("co64");
inline constexpr std::uint32_t kStsc = FourCc("stsc");
inline constexpr std::uint32_t kStsz = FourCc("stsz");
inline constexpr std::uint32_t kStz2 = FourCc("stz2");
inline constexpr std::uint32_t kSaio = FourCc("saio");
inline constexpr std::uint32_t kEdts = FourCc("edts");
inline constexpr std::uint32_t kDinf = FourCc("dinf");
inline constexpr std::uint32_t kDref = FourCc("dref");
inline constexpr std::uint32_t kTref = FourCc("tref");
inline constexpr std::uint32_t kMvex = FourCc("mvex");
inline constexpr std::uint32_t kTrex = FourCc("trex");
inline constexpr std::uint32_t kMdat = FourCc("mdat");
// Movie fragments and their random access tables.
inline constexpr std::uint32_t kMoof = FourCc("moof");
inline constexpr std::uint32_t kTraf = FourCc("traf");
inline constexpr std::uint32_t kTfhd = FourCc("tfhd");
inline constexpr std::uint32_t kTrun = FourCc("trun");
inline constexpr std::uint32_t kMfra = FourCc("mfra");
inline constexpr std::uint32_t kTfra = FourCc("tfra");

// The flags of a full box: the low 24 bits of its first word, after the version byte.
inline constexpr std::uint32_t kFullBoxFlags = 0xFFFFFF;
// tfhd flags: which optional fields follow the track id, in this order.
inline constexpr std::uint32_t kTfhdBaseDataOffset = 0x000001;          // 64 bits
inline constexpr std::uint32_t kTfhdSampleDescriptionIndex = 0x000002;  // 32 bits
inline constexpr std::uint32_t kTfhdDefaultSampleDuration = 0x000008;   // 32 bits
inline constexpr std::uint32_t kTfhdDefaultSampleSize = 0x000010;       // 32 bits
// No base field: the data counts from the moof's first byte.
inline constexpr std::uint32_t kTfhdDefaultBaseIsMoof = 0x020000;
// trun flags: optional fields after the sample count, then for each sample the fields chosen
// by the four per-sample flags, 32 bits each.
inline constexpr std::uint32_t kTrunDataOffset = 0x000001;        // signed 32 bits, from the base
inline constexpr std::uint32_t kTrunFirstSampleFlags = 0x000004;  // 32 bits
inline constexpr std::uint32_t kTrunSampleDuration = 0x000100;
inline constexpr std::uint32_t kTrunSampleSize = 0x000200;
inline constexpr std::uint32_t kTrunSampleFlags = 0x000400;
inline constexpr std::uint32_t kTrunSampleTimeOffset = 0x000800;
inline constexpr std::uint32_t kTrunSampleFields =
    kTrunSampleDuration | kTrunSampleSize | kTrunSampleFlags | kTrunSampleTimeOffset;
// tfra: version 1 has 64-bit times and moof offsets. The word before the entry count gives the
// widths of each entry's traf, trun and sample numbers: 1 + the 2 bits at these shifts, in bytes.
inline constexpr std::uint8_t kTfraVersion64 = 1;
inline constexpr int kTfraTrafNumberShift = 4;
inline constexpr int kTfraTrunNumberShift = 2;
inline constexpr int kTfraSampleNumberShift = 0;
inline constexpr std::uint32_t kTfraNumberSizeMask = 3;
// dref entry flag: the data is in this file (no location follows).
inline constexpr std::uint32_t kDrefSelfContained = 0x000001;
// saio flag: aux_info_type and its parameter (32 bits each) precede the entry count.
inline constexpr std::uint32_t kSaioHasInfoType = 0x000001;

// User data, metadata and free space.
inline constexpr std::uint32_t kUdta = FourCc("udta");
inline constexpr std::uint32_t kMeta = FourCc("meta");
inline constexpr std::uint32_t kHdlr = FourCc("hdlr");
inline constexpr std::uint32_t kIlst = FourCc("ilst");
inline constexpr std::uint32_t kKeys = FourCc("keys");
inline constexpr std::uint32_t kData = FourCc("data");
inline constexpr std::uint32_t kFree = FourCc("free");
inline constexpr std::uint32_t kSkip = FourCc("skip");
inline constexpr std::uint32_t kUuid = FourCc("uuid");
// Handlers of meta: iTunes tags, and QuickTime's keyed metadata; the maker iTunes names.
inline constexpr std::uint32_t kMdir = FourCc("mdir");
inline constexpr std::uint32_t kMdta = FourCc("mdta");
inline constexpr std::uint32_t kAppl = FourCc("appl");

// Items of iTunes tags, and QuickTime text items in udta. kC...: the copyright sign
// followed by three letters.
inline constexpr std::uint32_t kCNam = CopyrightFourCc("nam");
inline constexpr std::uint32_t kCArt = CopyrightFourCc("ART");
inline constexpr std::uint32_t kCAut = CopyrightFourCc("aut");
inline constexpr std::uint32_t kCDay = CopyrightFourCc("day");
inline constexpr std::uint32_t kCGen = CopyrightFourCc("gen");
inline constexpr std::uint32_t kCCmt = CopyrightFourCc("cmt");
inline constexpr std::uint32_t kCDes = CopyrightFourCc("des");
inline constexpr std::uint32_t kCAlb = CopyrightFourCc("alb");
inline constexpr std::uint32_t kCWrt = CopyrightFourCc("wrt");
inline constexpr std::uint32_t kCCpy = CopyrightFourCc("cpy");
inline constexpr std::uint32_t kCGrp = CopyrightFourCc("grp");
inline constexpr std::uint32_t kCLyr = CopyrightFourCc("lyr");
inline constexpr std::uint32_t kCToo = CopyrightFourCc("too");
inline constexpr std::uint32_t kCSwr = CopyrightFourCc("swr");
inline constexpr std::uint32_t kAArt = FourCc("aART");
inline constexpr std::uint32_t kTrkn = FourCc("trkn");
inline constexpr std::uint32_t kDisk = FourCc("disk");
inline constexpr std::uint32_t kCprt = FourCc("cprt");  // also a 3GPP asset
inline constexpr std::uint32_t kDesc = FourCc("desc");
inline constexpr std::uint32_t kCovr = FourCc("covr");
inline constexpr std::uint32_t kGnre = FourCc("gnre");  // also a 3GPP asset
// A freeform item, named by its mean and name boxes.
inline constexpr std::uint32_t kFreeform = FourCc("----");
inline constexpr std::uint32_t kMean = FourCc("mean");
inline constexpr std::uint32_t kName = FourCc("name");

// 3GPP asset boxes in udta.
inline constexpr std::uint32_t kTitl = FourCc("titl");
inline constexpr std::uint32_t kPerf = FourCc("perf");
inline constexpr std::uint32_t kAuth = FourCc("auth");
inline constexpr std::uint32_t kDscp = FourCc("dscp");
inline constexpr std::uint32_t kAlbm = FourCc("albm");
inline constexpr std::uint32_t kYrrc = FourCc("yrrc");

// Chunk types of PNG covers, the one other format read by such codes.
inline constexpr std::uint32_t kPngIhdr = FourCc("IHDR");
inline constexpr std::uint32_t kPngIdat = FourCc("IDAT");
inline constexpr std::uint32_t kPngIend = FourCc("IEND");

// Free space: boxes whose bytes mean nothing, which an edit may take.
constexpr bool IsFreeType(std::uint32_t type) { return type == kFree || type == kSkip; }

}  // namespace n_zorbel::n_ntag
