#include "writing/tag_writer.hpp"

#include <utility>

#include "model/box_types.hpp"
#include "model/other_stores.hpp"
#include "ntag_error.hpp"
#include "platform/stop_request.hpp"
#include "writing/appended_movie.hpp"
#include "writing/in_place.hpp"
#include "writing/rewrite.hpp"
#include "writing/sample_data.hpp"
#include "writing/snapshot.hpp"
#include "writing/write_errors.hpp"

namespace n_zorbel::n_ntag {
namespace {

t_File OpenForReading(const t_NativePath& video) {
  try {
    return t_File::Open(video, t_OpenMode::Read);
  } catch (const t_IoError& e) {
    ReadFailed(e);
  }
}

}  // namespace

t_TagList ReadTags(const t_NativePath& video, std::vector<t_ListEntry>* otherStores) {
  RemoveAbandonedCopiesBeside(video);
  t_File file = OpenForReading(video);
  const t_Snapshot snap = TakeSnapshot(file);
  CheckSampleData(file, snap.layout, snap.moovBytes);
  if (otherStores) *otherStores = OtherStoresListing(snap.movie);
  // QuickTime's 'mdta' metadata numbers its items through a key table; those are not iTunes tags.
  if (snap.movie.Meta() && snap.movie.MetaHandler() != kMdir) return {};
  return t_TagList::Parse(snap.movie.IlstPayload());
}

t_WritePath WriteTags(const t_NativePath& video, const std::function<void(t_TagList&)>& edit,
                      std::vector<t_ListEntry>* otherStores) {
  t_Snapshot snap;
  t_Bytes newIlst;
  bool othersChanged = false;
  std::uint64_t dataEnd = 0;
  RemoveAbandonedCopiesBeside(video);
  {
    t_File reader = OpenForReading(video);
    snap = TakeSnapshot(reader);
    snap.movie.CheckTagBoxesUnique();
    // ffmpeg's use_metadata_tags leaves QuickTime Keys where the iTunes tags go.
    const bool keysMoved = MoveKeysOutOfUserData(snap.movie);
    if (snap.movie.Meta() && snap.movie.MetaHandler() != kMdir) {
      const std::uint32_t handler = snap.movie.MetaHandler();
      throw t_NtagError(t_ExitCode::LayoutRefused,
                        handler == 0
                            ? std::string("the file's metadata box has no handler")
                            : "the file keeps its metadata in a form other than iTunes tags (handler '" +
                                  TypeName(handler) + "')");
    }
    dataEnd = CheckSampleDataForWrite(reader, snap.layout, snap.moovBytes);
    t_TagList tags = t_TagList::Parse(snap.movie.IlstPayload());
    edit(tags);
    newIlst = tags.Serialize();
    // The movie to write; snap.moovBytes stays the old one, to check and take back against.
    othersChanged = RemoveFromOtherStores(snap.movie, tags.SetKeys());
    if (otherStores) *otherStores = OtherStoresListing(snap.movie);
    // Unchanged items keep their bytes, so an edit that changes nothing gives the same payload.
    const bool sameIlst =
        snap.movie.CarriesIlst(newIlst) || (snap.movie.IlstIndex() < 0 && newIlst.size() == 8);
    if (sameIlst && !othersChanged) return t_WritePath::NothingToDo;
    // Keys moved to moov/meta change more of moov than the ilst, as removed entries do.
    othersChanged = othersChanged || keysMoved;
  }
  t_File file;
  try {
    file = t_File::Open(video, t_OpenMode::ReadWrite);
  } catch (const t_IoError& e) {
    WriteFailed(e);
  }
  // Held for writing now; the movie parsed above stands only if its bytes are still there.
  t_FileLayout now;
  try {
    if (!HoldsMoov(file, snap.layout.Moov().offset, snap.moovBytes, &now)) {
      throw t_NtagError(t_ExitCode::WriteFailed,
                        "the video was changed by another program while it was read");
    }
  } catch (const t_IoError& e) {
    ReadFailed(e);
  }
  snap.layout = std::move(now);
  // Tag boxes some readers would miss are written anew in their conforming form instead; so
  // are edits that also clear other stores, which change more of moov than the ilst.
  if (!othersChanged && snap.movie.TagBoxesConform()) {
    if (const auto steps = PlanInPlaceSteps(snap, newIlst)) {
      // Each path but the rewrite changes the video itself: a stop waits for its end.
      const t_StopDeferred whole;
      WriteInPlace(file, snap, *steps, newIlst);
      return t_WritePath::InPlace;
    }
  }
  bool sizeZero = false;
  for (const t_BoxHeader& b : snap.layout.boxes) sizeZero = sizeZero || b.toEnd;
  if (snap.layout.MoovIsLast() && !sizeZero) {
    if (const t_StopDeferred whole; WriteAppended(file, snap, newIlst, dataEnd))
      return t_WritePath::AppendedMovie;
    WriteRewritten(file, video, snap, newIlst, CompactMoovAt(snap, dataEnd));
    return t_WritePath::Rewrite;
  }
  WriteRewritten(file, video, snap, newIlst);
  return t_WritePath::Rewrite;
}

}  // namespace n_zorbel::n_ntag
