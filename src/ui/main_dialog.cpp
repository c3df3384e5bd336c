#include "ui/main_dialog.hpp"

#include <algorithm>
#include <array>
#include <iterator>
#include <string>
#include <utility>

#include "system/utf8.hpp"
#include "ui/ids.hpp"
#include "ui/texts.hpp"

namespace n_zorbel::n_ui {

namespace {

// A text's length as the fields count it, in UTF-16 units (a UTF-8 byte count on Linux
// would call a field of accented text full long before it is).
std::size_t FieldLength(const t_String& text) { return Utf8ToUtf16(ToUtf8(text)).size(); }

// Controls and the string ids of their texts, set when the dialog opens.
struct t_ControlText {
  int control;
  int textId;
};
constexpr t_ControlText kControlTexts[] = {
    {kVideoListLabel, kTextVideoFiles},
    {kBrowseVideos, kTextBrowseVideos},
    {kCoverPathLabel, kTextCoverFile},
    {kBrowseCover, kTextBrowseCover},
    {kTitleLabel, kTextTitle},
    {kAuthorLabel, kTextAuthor},
    {kGenreLabel, kTextGenre},
    {kGenreButton, kTextGenrePlus},
    {kYearLabel, kTextYear},
    {kAudioSourcesLabel, kTextAudioSources},
    {kVideoSourcesLabel, kTextVideoSources},
    {kCommentLabel, kTextComment},
    {kRemoveBlank, kTextRemoveBlank},
    {kApply, kTextApply},
    {kDonate, kTextDonate},
    {kAbout, kTextAbout},
};

// The label of each tag field, which messages name it by.
struct t_FieldLabel {
  int control;
  int textId;
};
constexpr t_FieldLabel kFieldLabels[] = {
    {kTitle, kTextTitle},
    {kAuthor, kTextAuthor},
    {kGenre, kTextGenre},
    {kYear, kTextYear},
    {kAudioSources, kTextAudioSources},
    {kVideoSources, kTextVideoSources},
    {kComment, kTextComment},
};

// The texts in the order of kTagFields and kFieldLabels.
std::array<const t_String*, 7> FieldTexts(const n_tagging::t_TagFieldTexts& texts) {
  return {&texts.title,        &texts.artist,       &texts.genre,  &texts.year,
          &texts.audioSources, &texts.videoSources, &texts.comment};
}

// The label of the value each other argument of the tool's line carries.
constexpr std::pair<n_tagging::t_LineField, int> kLineFieldLabels[] = {
    {n_tagging::t_LineField::Title, kTextTitle},     {n_tagging::t_LineField::Artist, kTextAuthor},
    {n_tagging::t_LineField::Year, kTextYear},       {n_tagging::t_LineField::Genre, kTextGenre},
    {n_tagging::t_LineField::Cover, kTextCoverFile}, {n_tagging::t_LineField::Video, kTextVideoFiles},
};

// The three fields that make the comment tag, from here to the end.
constexpr std::size_t kFirstCommentPart = 4;

// Controls whose visible text ("Browse...", "+", a picture) does not say
// what they do, and what a screen reader says of them instead.
struct t_AccessibleText {
  int control;
  int nameId;
  int descriptionId;  // 0: none
};
constexpr t_AccessibleText kAccessibleTexts[] = {
    {kBrowseVideos, kTextBrowseVideosName, 0},
    {kBrowseCover, kTextBrowseCoverName, 0},
    {kGenreButton, kTextGenrePlusName, 0},
    {kPreview, kTextCoverPreview, kTextCoverPreviewDescription},
};

constexpr std::int32_t kYearMinimum = 0;
constexpr std::int32_t kYearMaximum = 32767;

void AppendDecimal(t_String& text, std::int64_t value) {
  const std::string digits = std::to_string(value);
  text.append(digits.begin(), digits.end());
}

void AppendAscii(t_String& text, std::string_view ascii) { text.append(ascii.begin(), ascii.end()); }

// The text with "%1" and "%2" replaced by the two values.
t_String FillIn(t_String text, const t_String& first, const t_String& second) {
  const t_String values[] = {first, second};
  for (std::size_t i = 0; i < 2; ++i) {
    t_String mark = ZTEXT("%");
    AppendDecimal(mark, static_cast<std::int64_t>(i + 1));
    for (auto at = text.find(mark); at != t_String::npos; at = text.find(mark, at + values[i].size()))
      text.replace(at, mark.size(), values[i]);
  }
  return text;
}

t_String Decimal(std::int64_t value) {
  t_String text;
  AppendDecimal(text, value);
  return text;
}

bool IsDigit(t_Char c) noexcept { return c >= ZTEXT('0') && c <= ZTEXT('9'); }

// Both edges count as inside: one pixel more than the platforms' own test.
bool ContainsEdgesIncluded(const t_ScreenRect& rect, t_ScreenPoint point) noexcept {
  return rect.left <= point.x && point.x <= rect.right && rect.top <= point.y && point.y <= rect.bottom;
}

// A picker for files of one type; a folder picker takes neither a default
// extension nor file types.
t_PickRequest FilePickRequest(t_String typeName, t_StringView defaultExtension, t_StringView pattern) {
  return {.fileTypeName = std::move(typeName),
          .defaultExtension = t_String(defaultExtension),
          .pattern = t_String(pattern)};
}

}  // namespace

// --- Construction and teardown -------------------------------------------

t_MainDialog::t_MainDialog(const t_MainDialogSetup& setup, const t_MainDialogPorts& ports)
    : m_ports(ports),
      m_arguments(setup.arguments),
      m_workspaceFolder(setup.workspaceFolder),
      m_checkSize(setup.checkSize),
      m_videoFiles(ports.paths) {}

t_MainDialog::~t_MainDialog() {
  // The order matters: the job ends a running tool before the unpacked tool
  // lets go of its file, and both before the workspace is removed.
  m_job.reset();
  m_load.reset();
  m_tags = {};
  m_videoFiles.Clear();
  m_tools.reset();
  // A decode still running never reaches this object.
  m_ports.coverDecoder.Abandon();
  m_coverImage.reset();
  if (!m_workspaceFolder.empty()) {
    try {
      m_ports.jobSystem.RemoveWorkspace(m_workspaceFolder);
    } catch (...) {
      // A workspace that is still in use stays; nothing to report at exit.
    }
  }
}

// --- Events ----------------------------------------------------------------

bool t_MainDialog::OnInitDialog(t_View& view) {
  m_view = &view;
  for (const int field : kTagFields) view.LimitField(field, kFieldLimit);
  view.SetYearSpin(kYearMinimum, kYearMaximum, kInitialYear);
  for (const auto& [control, textId] : kControlTexts) view.SetControlText(control, view.LoadText(textId));
  for (const auto& [control, nameId, descriptionId] : kAccessibleTexts)
    view.SetAccessibleText(control, view.LoadText(nameId),
                           descriptionId == 0 ? t_String() : view.LoadText(descriptionId));
  view.AddAlwaysOnTopItem(view.LoadText(kTextAlwaysOnTop));
  RefreshTitle();
  for (const t_String& argument : m_arguments) AddPath(argument);
  ShowVideoList();
  ShowCoverPath();
  ReportSkippedPaths();
  return true;
}

void t_MainDialog::OnCommand(int id) {
  // The two links work whether or not a run is active.
  switch (id) {
    case kDonate:
      m_view->OpenWebPage(DonationPageAddress());
      return;
    case kAbout:
      ShowAbout();
      return;
    default:
      break;
  }
  if (m_job)
    OnCommandRunning(id);
  else if (!m_load)  // a load takes a moment; nothing else starts meanwhile
    OnCommandIdle(id);
}

bool t_MainDialog::OnSystemCommand(int id) {
  if (id != kCommandAlwaysOnTop) return false;
  ToggleAlwaysOnTop();
  return true;
}

t_String t_MainDialog::FailureMessage() {
  t_String message(n_tagging::ErrorStageMessage(m_job->Stage()));
  AppendAscii(message, ": error #");
  AppendDecimal(message, m_job->ErrorCode());
  // In a batch of hundreds the code alone does not say which video failed,
  // nor why: the video's path, then the tagger's own reason where it gave one.
  const n_tagging::t_ErrorStage stage = m_job->Stage();
  if (stage == n_tagging::t_ErrorStage::RunTool || stage == n_tagging::t_ErrorStage::ToolExit) {
    AppendAscii(message, "\n");
    message += m_videoFiles[m_job->CurrentFile()];
  }
  const std::uint32_t exitCode = m_job->ToolExitCode();
  if (exitCode < std::size(kTextToolExitReasons) && kTextToolExitReasons[exitCode] != 0) {
    AppendAscii(message, "\n");
    message += m_view->LoadText(kTextToolExitReasons[exitCode]);
  }
  if (m_job->RefusedLink()) {
    AppendAscii(message, "\n");
    message += m_view->LoadText(kTextVideoBecameLink);
  }
  return message;
}

void t_MainDialog::OnTimerTick() {
  if (m_load) {
    m_load->Step();
    if (m_load->Done() || m_load->Failed()) FinishLoad();
    return;
  }
  if (!m_job) return;
  m_job->Step();
  if (m_job->Done()) {
    StopRun(kTextRunDone);
    m_view->FlashWindow();
  } else if (m_job->Failed()) {
    // No tick may run while the message is open.
    m_view->StopTick();
    m_view->SetTaskbarState(t_TaskbarState::Error);
    m_view->ShowMessage(FailureMessage(), FromUtf8(kFailureCaption));
    StopRun(kTextRunFailed);
  } else {
    RefreshTitle();
  }
}

void t_MainDialog::OnClose() { m_view->EndDialog(); }

void t_MainDialog::OnFieldFull() { m_view->Beep(); }

void t_MainDialog::OnSessionEnding() {
  // The window closes: scanning what waits would only delay the end.
  m_handedDuringRun.clear();
  if (m_job) StopRun(kTextRunStopped);
  m_view->EndDialog();
}

bool t_MainDialog::UpdateMenuChecks(t_MenuKind menu) {
  switch (menu) {
    case t_MenuKind::System:
      m_view->SetMenuCheck(t_MenuKind::System, kCommandAlwaysOnTop, m_alwaysOnTop);
      return true;
    case t_MenuKind::Preview:
      m_view->SetMenuCheck(t_MenuKind::Preview, kCommandDrawChecks, m_drawChecks);
      m_view->SetMenuCheck(t_MenuKind::Preview, kCommandDrawVideoReel, m_drawVideoReel);
      m_view->SetMenuCheck(t_MenuKind::Preview, kCommandFitInto256, m_fitInto256);
      m_view->EnableMenuItem(t_MenuKind::Preview, kCommandLoadTags, !m_videoFiles.Empty());
      return true;
    case t_MenuKind::Genre:
    case t_MenuKind::Other:
      break;
  }
  return false;
}

bool t_MainDialog::HitTest(t_ScreenPoint point) {
  return ContainsEdgesIncluded(m_view->ClientRectOnScreen(), point);
}

void t_MainDialog::ShowPreviewMenu(t_ScreenPoint point) {
  // The options and the cover stay as they are during a run or a load.
  if (m_job || m_load) return;
  if (ContainsEdgesIncluded(m_view->PreviewRectOnScreen(), point)) m_view->PopUpPreviewMenu(point);
}

void t_MainDialog::ShowPreviewMenuFromKeyboard() {
  if (m_job || m_load) return;
  const t_ScreenRect preview = m_view->PreviewRectOnScreen();
  m_view->PopUpPreviewMenu({preview.left, preview.top});
}

void t_MainDialog::AcceptDrop(std::span<const t_DroppedPath> paths) {
  // The job reads the list by position: nothing may join it during a run.
  if (m_job || paths.empty()) return;
  for (const t_DroppedPath& path : paths)
    if (path && !path->empty() && path->size() <= kLongestDroppedPath) AddPath(*path);
  ShowVideoList();
  ShowCoverPath();
  ReportSkippedPaths();
}

void t_MainDialog::AcceptHandedPaths(std::span<const t_DroppedPath> paths) {
  if (m_job)
    m_handedDuringRun.insert(m_handedDuringRun.end(), paths.begin(), paths.end());
  else
    AcceptDrop(paths);
}

n_preview::t_PreviewLayout t_MainDialog::PreviewLayout(std::int32_t itemWidth,
                                                       std::int32_t itemHeight) const {
  std::optional<n_preview::t_PictureSize> picture;
  if (m_coverImage) picture = n_preview::t_PictureSize{m_coverImage->Width(), m_coverImage->Height()};
  return n_preview::ComputePreviewLayout(picture, itemWidth, itemHeight, PreviewOptions(), m_checkSize);
}

t_String t_MainDialog::DropDescriptionText() { return m_view->LoadText(kTextAddFiles); }

// --- Operations ------------------------------------------------------------

void t_MainDialog::RefreshTitle() {
  t_String title;
  if (m_job) {
    const auto n = static_cast<std::uint32_t>(m_videoFiles.Size());
    const auto i = static_cast<std::uint32_t>(m_job->CurrentFile() + 1);
    const auto percent = static_cast<std::uint8_t>(n == 0 ? 100u : i * 100u / n);
    if (m_titleShowsProgress && percent == m_lastPercent) return;
    m_view->SetTaskbarValue(percent, 100);
    AppendDecimal(title, percent);
    AppendAscii(title, "% [");
    AppendDecimal(title, i);
    AppendAscii(title, "/");
    AppendDecimal(title, n);
    AppendAscii(title, "] ");
    m_lastPercent = percent;
    m_titleShowsProgress = true;
  } else {
    if (!m_titleShowsProgress) return;
    m_titleShowsProgress = false;
  }
  AppendAscii(title, kProductName);
  m_view->SetTitle(title);
}

void t_MainDialog::ApplyRunState() {
  const bool idle = m_job == nullptr;
  for (int control = kFirstInputControl; control <= kLastInputControl; ++control)
    m_view->EnableControl(control, idle);
  m_view->SetControlText(kApply, m_view->LoadText(idle ? kTextApply : kTextStop));
}

void t_MainDialog::ShowVideoList() {
  m_view->EnableControl(kApply, !m_videoFiles.Empty());
  m_view->SetControlText(kVideoList, m_videoFiles.DisplayText());
}

void t_MainDialog::ShowCoverPath() {
  m_view->SetControlText(kCoverPath, m_tags.coverPath);
  ReloadCover();
}

void t_MainDialog::RedrawCover() {
  // The options show at once, over the picture held until the new decode arrives.
  m_view->RepaintPreview();
  ReloadCover();
}

void t_MainDialog::ReloadCover() {
  n_preview::LoadCoverImage(m_ports.coverDecoder, m_tags.coverPath, m_coverImage,
                            [this] { m_view->RepaintPreview(); });
}

n_tagging::t_TagFieldTexts t_MainDialog::ReadTagFields() {
  return {.title = m_view->ControlText(kTitle),
          .artist = m_view->ControlText(kAuthor),
          .genre = m_view->ControlText(kGenre),
          .year = m_view->ControlText(kYear),
          .audioSources = m_view->ControlText(kAudioSources),
          .videoSources = m_view->ControlText(kVideoSources),
          .comment = m_view->ControlText(kComment)};
}

std::optional<t_String> t_MainDialog::LineTooLongMessage(const n_tagging::t_TagFieldTexts& texts) {
  const n_system::t_CommandLimits limits = m_ports.jobSystem.CommandLimits();
  const std::optional<n_tagging::t_LineBreach> breach =
      n_tagging::CheckCommandLine(m_tags, m_removeBlank, m_videoFiles.Entries(), limits);
  if (!breach) return std::nullopt;
  const auto fieldTexts = FieldTexts(texts);
  t_String name;
  if (!breach->field) {
    // The whole line: the longest field is the one to shorten.
    std::size_t longest = 0;
    for (std::size_t i = 1; i < std::size(kFieldLabels); ++i)
      if (fieldTexts[i]->size() > fieldTexts[longest]->size()) longest = i;
    name = m_view->LoadText(kFieldLabels[longest].textId);
    const int textId = limits.measure == n_system::t_CommandLimits::t_Measure::Arguments
                           ? kTextLineTooLongBytes
                           : kTextLineTooLongCharacters;
    return FillIn(m_view->LoadText(textId), name, Decimal(static_cast<std::int64_t>(breach->limit)));
  }
  if (*breach->field == n_tagging::t_LineField::Comment) {
    // One value made of three fields: each one that contributes is named.
    for (std::size_t i = kFirstCommentPart; i < std::size(kFieldLabels); ++i) {
      if (fieldTexts[i]->empty()) continue;
      if (!name.empty()) AppendAscii(name, " + ");
      name += m_view->LoadText(kFieldLabels[i].textId);
    }
  } else {
    for (const auto& [field, textId] : kLineFieldLabels)
      if (field == *breach->field) name = m_view->LoadText(textId);
  }
  return FillIn(m_view->LoadText(kTextValueTooLong), name, Decimal(static_cast<std::int64_t>(breach->limit)));
}

void t_MainDialog::ReportSkippedPaths() {
  const std::size_t skipped = m_videoFiles.TakeSkippedTooLong();
  if (skipped == 0) return;
  m_view->ShowMessage(
      FillIn(m_view->LoadText(kTextPathsTooLong), Decimal(static_cast<std::int64_t>(skipped)), {}),
      FromUtf8(kProductName));
}

void t_MainDialog::StartRun() {
  const n_tagging::t_TagFieldTexts texts = ReadTagFields();
  if (!n_tagging::GatherTagSet(texts, m_view->IsChecked(kRemoveBlank), m_tags, m_removeBlank)) return;
  // Nothing starts with values the platform would refuse or cut.
  if (const std::optional<t_String> tooLong = LineTooLongMessage(texts)) {
    m_view->ShowMessage(*tooLong, FromUtf8(kFailureCaption));
    return;
  }
  m_job = std::make_unique<n_tagging::t_TaggingJob>(m_tools, m_ports.jobSystem, m_workspaceFolder,
                                                    m_videoFiles, m_tags, m_removeBlank);
  ApplyRunState();
  m_view->SetTaskbarState(t_TaskbarState::Normal);
  RefreshTitle();
  m_view->StartTick(kTickPeriodMs);
}

void t_MainDialog::StopRun(int endTextId) {
  m_view->StopTick();
  m_view->SetTaskbarState(t_TaskbarState::NoProgress);
  // Out of the slot first, so nothing sees a job that is being destroyed.
  std::unique_ptr<n_tagging::t_TaggingJob> job = std::move(m_job);
  job.reset();
  ApplyRunState();
  RefreshTitle();
  // The title alone goes back to the product's name, whatever the ending.
  m_view->Announce(m_view->LoadText(endTextId));
  if (!m_handedDuringRun.empty()) AcceptDrop(std::exchange(m_handedDuringRun, {}));
}

void t_MainDialog::OnCommandIdle(int id) {
  switch (id) {
    case kBrowseVideos:
      BrowseVideos();
      return;
    case kBrowseCover:
      BrowseCover();
      return;
    case kGenreButton:
      m_view->PopUpGenreMenu();
      return;
    case kApply:
      if (!m_videoFiles.Empty()) StartRun();
      return;
    case kCommandDrawChecks:
      m_drawChecks = !m_drawChecks;
      RedrawCover();
      return;
    case kCommandDrawVideoReel:
      m_drawVideoReel = !m_drawVideoReel;
      RedrawCover();
      return;
    case kCommandFitInto256:
      m_fitInto256 = !m_fitInto256;
      RedrawCover();
      return;
    case kCommandRefresh:
      ReloadCover();
      return;
    case kCommandRemove:
      m_tags.coverPath.clear();
      ShowCoverPath();
      return;
    case kCommandLoadTags:
      if (!m_videoFiles.Empty()) StartLoad();
      return;
    default:
      if (id >= kFirstGenreCommand && id <= kLastGenreCommand) InsertGenre(id);
      return;
  }
}

void t_MainDialog::StartLoad() {
  m_load = std::make_unique<n_tagging::t_TagLoad>(m_tools, m_ports.jobSystem, m_workspaceFolder,
                                                  m_videoFiles[0], ++m_loads);
  m_view->StartTick(kTickPeriodMs);
}

void t_MainDialog::FinishLoad() {
  m_view->StopTick();
  const std::unique_ptr<n_tagging::t_TagLoad> load = std::move(m_load);
  if (load->Failed()) {
    m_view->ShowMessage(LoadFailureMessage(*load), FromUtf8(kFailureCaption));
    return;
  }
  const n_tagging::t_TagFieldTexts& fields = load->Tags().fields;
  if (const std::optional<t_String> refusal = LoadRefusal(fields)) {
    m_view->ShowMessage(*refusal, FromUtf8(kFailureCaption));
    return;
  }
  const auto texts = FieldTexts(fields);
  for (std::size_t i = 0; i < std::size(kTagFields); ++i) m_view->SetControlText(kTagFields[i], *texts[i]);
  // Shown and written as a chosen cover is; the one an earlier load left goes.
  const t_String previous = std::exchange(m_loadedCover, load->TakeCover());
  m_tags.coverPath = m_loadedCover;
  ShowCoverPath();
  if (!previous.empty() && previous != m_loadedCover) m_ports.jobSystem.RemoveFile(previous);
  m_view->Announce(m_view->LoadText(kTextTagsLoaded));
}

std::optional<t_String> t_MainDialog::LoadRefusal(const n_tagging::t_TagFieldTexts& fields) {
  const auto texts = FieldTexts(fields);
  for (std::size_t i = 0; i < std::size(kFieldLabels); ++i) {
    const t_String& text = *texts[i];
    const t_String label = m_view->LoadText(kFieldLabels[i].textId);
    if (FieldLength(text) > static_cast<std::size_t>(kFieldLimit))
      return FillIn(m_view->LoadText(kTextLoadedValueTooLong), label, Decimal(kFieldLimit));
    // A field's text ends at a NUL, and the Year field takes digits only.
    const bool taken = kTagFields[i] == kYear ? std::all_of(text.begin(), text.end(), IsDigit)
                                              : text.find(t_Char(0)) == t_String::npos;
    if (!taken) return FillIn(m_view->LoadText(kTextLoadedValueNotTaken), label, {});
  }
  return std::nullopt;
}

t_String t_MainDialog::LoadFailureMessage(const n_tagging::t_TagLoad& load) {
  t_String message = FillIn(m_view->LoadText(kTextLoadFailed), load.Video(), {});
  AppendAscii(message, "\n");
  // The tagger's reasons for a video it cannot read (its others speak of writing); other
  // failures by stage and code, as a run's.
  const std::uint32_t exitCode = load.ToolExitCode();
  if (exitCode == 2 || exitCode == 3) {
    message += m_view->LoadText(kTextToolExitReasons[exitCode]);
  } else {
    message += n_tagging::ErrorStageMessage(load.Stage());
    AppendAscii(message, ": error #");
    AppendDecimal(message, load.ErrorCode());
  }
  return message;
}

void t_MainDialog::OnCommandRunning(int id) {
  if (id == kApply) StopRun(kTextRunStopped);
}

void t_MainDialog::BrowseVideos() {
  // Emptied first: a cancelled pick leaves the list empty.
  m_videoFiles.Clear();
  t_PickRequest request;
  if (m_view->IsCtrlDown())
    request.pickFolders = true;
  else
    request = FilePickRequest(m_view->LoadText(kTextVideoFileType), ZTEXT("mp4"), ZTEXT("*.mp4"));
  request.multiSelect = true;
  for (const t_String& path : m_view->PickFiles(request)) AddPath(path);
  ShowVideoList();
  ReportSkippedPaths();
}

void t_MainDialog::BrowseCover() {
  m_tags.coverPath.clear();
  const t_PickRequest request =
      FilePickRequest(m_view->LoadText(kTextImageFileType), ZTEXT("jpg"), ZTEXT("*.jpg;*.png"));
  for (const t_String& path : m_view->PickFiles(request)) n_intake::SetCoverPath(m_tags.coverPath, path);
  ShowCoverPath();
}

void t_MainDialog::InsertGenre(int command) {
  const std::optional<t_String> genre = m_view->GenreItemText(command);
  if (!genre) return;
  t_String genres = m_view->ControlText(kGenre);
  if (!genres.empty()) AppendAscii(genres, ", ");
  genres += *genre;
  // As when typing into a full field: nothing is cut, the user hears it.
  if (FieldLength(genres) > static_cast<std::size_t>(kFieldLimit)) {
    m_view->Beep();
    return;
  }
  m_view->SetControlText(kGenre, genres);
}

void t_MainDialog::ToggleAlwaysOnTop() {
  const bool wasOnTop = m_alwaysOnTop;
  m_alwaysOnTop = !wasOnTop;
  m_view->SetTopmost(!wasOnTop);
}

void t_MainDialog::ShowAbout() {
  m_view->ShowAbout({m_view->LoadText(kTextAbout), AboutVersionLine(), AboutDeveloperLine(),
                     ProductLinkAddress(), ProductPageAddress()});
}

void t_MainDialog::AddPath(t_StringView path) { m_videoFiles.AddPath(path, m_tags.coverPath); }

}  // namespace n_zorbel::n_ui
