#pragma once
// Videos and pictures made by ffmpeg, and what ffprobe and ffmpeg read back
// from them: judges of what the tagger wrote that we did not write. POSIX only.
#include <map>
#include <string>
#include <vector>

namespace n_zorbel::n_testing {

// Videos made by ffmpeg once per build tree and copied for each test.
enum class t_Clip {
  MoovAtEnd,    // ffmpeg's default: mdat, then moov
  Faststart,    // moov before mdat
  TaggedCover,  // faststart with tags and a cover
  AudioOnly,    // AAC in MP4
  ManyTracks,   // video, two audio tracks and a subtitle track
  Fragmented,   // fragments after an empty moov
  NoTags,       // no udta at all
  // Old title and comment, and an entry no key of ntag's means, in another store than ilst:
  MovUserData,    // QuickTime text items in udta (ffmpeg's .mov), an album
  ThreeGpAssets,  // 3GPP asset boxes in udta (ffmpeg's .3gp), an album
  PhoneKeys,      // QuickTime Keys in moov/meta (written by exiftool): a make, a year and a capture date
  UserDataKeys,   // QuickTime Keys in udta/meta (ffmpeg's use_metadata_tags): foo, and a date
  // 0.3 s of video alone: quick to make and to tag, for tests of whole runs.
  Short,           // moov at the end
  ShortFaststart,  // moov before mdat
};
std::string ClipName(t_Clip clip);
// Copies the clip to `path`.
void MakeClip(t_Clip clip, const std::string& path);
// Square noisy images (so that they do not compress to nothing), cached like the clips.
void MakeImage(const std::string& format, const std::string& path, int size = 64);

// Tags as ffprobe reads them (format tags, keys in lower case).
std::map<std::string, std::string> ProbeTags(const std::string& path);
struct t_Stream {
  int index = 0;
  std::string codec;
  bool attachedPicture = false;
};
std::vector<t_Stream> ProbeStreams(const std::string& path);
// Codec names of the attached pictures ffprobe finds.
std::vector<std::string> ProbeAttachedPictures(const std::string& path);
// One hash per media packet, in order, as ffprobe computes them from the packet bytes.
std::vector<std::string> ProbePacketHashes(const std::string& path);
// Whole decode by ffmpeg: empty when clean, otherwise what ffmpeg said.
std::string DecodeErrors(const std::string& path);

}  // namespace n_zorbel::n_testing
