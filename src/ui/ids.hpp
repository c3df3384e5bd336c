#pragma once
// Identifiers shared by the dialog logic, both adapters and the resource
// script: controls of dialog 203, string ids, menu commands and resources.
namespace n_zorbel::n_ui {

// Resources.
inline constexpr int kDialogId = 203;
inline constexpr int kIconGroupId = 204;
inline constexpr int kReelTallBitmapId = 205;
inline constexpr int kReelWideBitmapId = 206;
inline constexpr int kGenreMenuId = 207;
inline constexpr int kPreviewMenuId = 208;

// Controls, in template (and tab) order; 1025 is not used.
inline constexpr int kVideoListLabel = 1001;
inline constexpr int kVideoList = 1002;
inline constexpr int kBrowseVideos = 1003;
inline constexpr int kCoverPathLabel = 1004;
inline constexpr int kCoverPath = 1005;
inline constexpr int kBrowseCover = 1006;
inline constexpr int kTitleLabel = 1007;
inline constexpr int kTitle = 1008;
inline constexpr int kAuthorLabel = 1009;
inline constexpr int kAuthor = 1010;
inline constexpr int kGenreLabel = 1011;
inline constexpr int kGenre = 1012;
inline constexpr int kGenreButton = 1013;
inline constexpr int kYearLabel = 1014;
inline constexpr int kYear = 1015;
inline constexpr int kYearSpin = 1016;
inline constexpr int kAudioSourcesLabel = 1017;
inline constexpr int kAudioSources = 1018;
inline constexpr int kVideoSourcesLabel = 1019;
inline constexpr int kVideoSources = 1020;
inline constexpr int kCommentLabel = 1021;
inline constexpr int kComment = 1022;
inline constexpr int kPreview = 1023;
inline constexpr int kRemoveBlank = 1024;
inline constexpr int kApply = 1026;
inline constexpr int kDonate = 1027;
inline constexpr int kAbout = 1028;

// The input controls a run disables.
inline constexpr int kFirstInputControl = 1001;
inline constexpr int kLastInputControl = 1024;

// String ids.
inline constexpr int kTextVideoFiles = 101;
inline constexpr int kTextBrowseVideos = 102;
inline constexpr int kTextCoverFile = 103;
inline constexpr int kTextBrowseCover = 104;
inline constexpr int kTextTitle = 105;
inline constexpr int kTextAuthor = 106;
inline constexpr int kTextGenre = 107;
inline constexpr int kTextGenrePlus = 108;
inline constexpr int kTextYear = 109;
inline constexpr int kTextAudioSources = 110;
inline constexpr int kTextVideoSources = 111;
inline constexpr int kTextComment = 112;
inline constexpr int kTextRemoveBlank = 113;
inline constexpr int kTextApply = 114;
inline constexpr int kTextStop = 115;
inline constexpr int kTextDonate = 116;
inline constexpr int kTextAbout = 117;
inline constexpr int kTextCoverPreview = 118;
inline constexpr int kTextVideoFileType = 119;
inline constexpr int kTextImageFileType = 120;
inline constexpr int kTextAddFiles = 121;
inline constexpr int kTextAddVideo = 122;
inline constexpr int kTextSetCover = 123;
inline constexpr int kTextUnsupportedFile = 124;
inline constexpr int kTextAlwaysOnTop = 125;
// Values the platform cannot hand to the tagger ("%1" the field, "%2" the limit).
inline constexpr int kTextValueTooLong = 133;
inline constexpr int kTextLineTooLongBytes = 134;
inline constexpr int kTextLineTooLongCharacters = 135;
// A folder scan met paths longer than the platform takes ("%1" how many).
inline constexpr int kTextPathsTooLong = 136;
// Why a video was refused: it became a link after it was listed.
inline constexpr int kTextVideoBecameLink = 137;

// The tag fields, and the longest text each takes: the Windows edit
// controls' own default, kept on both platforms.
inline constexpr int kTagFields[] = {kTitle, kAuthor, kGenre, kYear, kAudioSources, kVideoSources, kComment};
inline constexpr int kFieldLimit = 32767;
// A second start that could not hand its paths to the running window.
inline constexpr int kTextAlreadyRunning = 138;
inline constexpr int kTextPathsNotHandedOver = 139;
// What a screen reader says of the controls whose visible text does not tell them apart.
inline constexpr int kTextBrowseVideosName = 140;
inline constexpr int kTextBrowseCoverName = 141;
inline constexpr int kTextGenrePlusName = 142;
inline constexpr int kTextCoverPreviewDescription = 143;
// How a run ended, told to a screen reader.
inline constexpr int kTextRunDone = 144;
inline constexpr int kTextRunStopped = 145;
inline constexpr int kTextRunFailed = 146;
// A failed write's cause, as the tagger names it: access denied, no room, in use, device failed.
inline constexpr int kTextAccessDenied = 147;
inline constexpr int kTextDiskFull = 148;
inline constexpr int kTextVideoInUse = 149;
inline constexpr int kTextDeviceFailed = 150;
// Why the tagger failed, by its exit code (its own table, 1 to 11); 0 where it has no code.
// Loading a video's tags: the failure ("%1" the video), a value longer than
// its field takes ("%1" the field, "%2" its limit), one with characters its
// field does not take ("%1" the field), and the end told to a screen reader.
inline constexpr int kTextLoadFailed = 151;
inline constexpr int kTextLoadedValueTooLong = 152;
inline constexpr int kTextLoadedValueNotTaken = 153;
inline constexpr int kTextTagsLoaded = 154;
inline constexpr int kTextToolExitReasons[] = {
    0, 126, 127, 128, 129, 130, 131, 132, kTextAccessDenied, kTextDiskFull, kTextVideoInUse, kTextDeviceFailed};

// Platform commands that must not close the dialog (Enter and Escape).
inline constexpr int kCommandOk = 1;
inline constexpr int kCommandCancel = 2;

// Genre menu 207.
inline constexpr int kFirstGenreCommand = 40001;
inline constexpr int kLastGenreCommand = 40019;
// Preview menu 208.
inline constexpr int kCommandDrawChecks = 40020;
inline constexpr int kCommandDrawVideoReel = 40021;
inline constexpr int kCommandFitInto256 = 40022;
inline constexpr int kCommandRefresh = 40023;
inline constexpr int kCommandRemove = 40024;
inline constexpr int kCommandLoadTags = 40025;
// System menu.
inline constexpr int kCommandAlwaysOnTop = 40101;

}  // namespace n_zorbel::n_ui
