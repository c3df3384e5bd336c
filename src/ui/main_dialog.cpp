#include "ui/main_dialog.hpp"

#include <algorithm>
#include <string>

#include "ui/ids.hpp"
#include "ui/texts.hpp"

namespace n_zorbel::n_ui {

namespace {

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

constexpr std::int32_t kYearMinimum = 0;
constexpr std::int32_t kYearMaximum = 32767;
constexpr std::uint32_t kEndSessionCloseApp = 0x00000001;
constexpr std::uint32_t kEndSessionCritical = 0x40000000;

void AppendDecimal(t_String& text, std::int64_t value) {
  const std::string digits = std::to_string(value);
  text.append(digits.begin(), digits.end());
}

void AppendAscii(t_String& text, std::string_view ascii) { text.append(ascii.begin(), ascii.end()); }

}  // namespace

// --- t_PathListDrop ------------------------------------------------------

std::uint32_t t_PathListDrop::Count() { return static_cast<std::uint32_t>(m_paths.size()); }

std::uint32_t t_PathListDrop::Length(std::uint32_t index) {
  return index < m_paths.size() ? static_cast<std::uint32_t>(m_paths[index].size()) : 0;
}

std::uint32_t t_PathListDrop::Fetch(std::uint32_t index, t_Char* buffer, std::uint32_t capacity) {
  if (index >= m_paths.size() || capacity == 0) return 0;
  const t_String& path = m_paths[index];
  const std::uint32_t count = std::min<std::uint32_t>(static_cast<std::uint32_t>(path.size()), capacity - 1);
  path.copy(buffer, count);
  buffer[count] = 0;
  return count;
}

// --- Construction and teardown -------------------------------------------

MainDialog::MainDialog(const t_MainDialogSetup& setup, const t_MainDialogPorts& ports)
    : m_ports(ports),
      m_arguments(setup.arguments),
      m_workspaceFolder(setup.workspaceFolder),
      m_checkSize(setup.checkSize),
      m_videoFiles(ports.paths) {}

MainDialog::~MainDialog() {
  // The order matters: the job ends a running tool before the unpacked tool
  // lets go of its file, and both before the workspace is removed.
  m_scratch.clear();
  m_job.reset();
  m_tags = {};
  m_videoFiles.Clear();
  m_tools.reset();
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

bool MainDialog::OnInitDialog(View& view) {
  m_view = &view;
  view.SetYearSpin(kYearMinimum, kYearMaximum, kInitialYear);
  for (const auto& [control, textId] : kControlTexts) view.SetControlText(control, view.LoadText(textId));
  view.AddAlwaysOnTopItem(view.LoadText(kTextAlwaysOnTop));
  RefreshTitle();
  for (const t_String& argument : m_arguments) AddPath(argument);
  ShowVideoList();
  ShowCoverPath();
  return true;
}

void MainDialog::OnCommand(int notificationCode, int id) { (this->*m_onCommand)(notificationCode, id); }

bool MainDialog::OnSystemCommand(int id) {
  if (id != kCommandAlwaysOnTop) return false;
  ToggleAlwaysOnTop();
  return true;
}

t_String MainDialog::FailureMessage() {
  t_String message(n_tagging::ErrorStageMessage(m_job->Stage()));
  AppendAscii(message, ": error #");
  AppendDecimal(message, m_job->ErrorCode());
  // In a batch of hundreds the code alone does not say which video failed,
  // nor why: the video's path, then the tagger's own reason where it gave one.
  const n_tagging::ErrorStage stage = m_job->Stage();
  if (stage == n_tagging::ErrorStage::RunTool || stage == n_tagging::ErrorStage::ToolExit) {
    AppendAscii(message, "\n");
    message += m_videoFiles[m_job->CurrentFile()];
  }
  const std::uint32_t exitCode = m_job->ToolExitCode();
  if (exitCode >= 1 && exitCode <= static_cast<std::uint32_t>(kLastToolExitReason)) {
    AppendAscii(message, "\n");
    message += m_view->LoadText(kTextToolExitReasons + static_cast<int>(exitCode));
  }
  return message;
}

void MainDialog::OnTimerTick() {
  if (!m_job) return;
  m_job->Step();
  if (m_job->Done()) {
    StopRun();
    m_view->FlashWindow();
  } else if (m_job->Failed()) {
    // No tick may run while the message is open.
    m_view->StopTick();
    m_view->SetTaskbarState(TaskbarState::Error);
    m_view->ShowMessage(FailureMessage(), FromUtf8(kFailureCaption));
    StopRun();
  } else {
    RefreshTitle();
  }
}

void MainDialog::OnClose() { m_view->EndDialog(); }

void MainDialog::OnEndSession(bool ending, std::uint32_t flags) {
  if (!ending && (flags & (kEndSessionCloseApp | kEndSessionCritical)) == 0) return;
  if (m_job) StopRun();
  m_view->EndDialog();
}

bool MainDialog::UpdateMenuChecks(Menu menu) {
  switch (menu) {
    case Menu::System:
      m_view->SetMenuCheck(Menu::System, kCommandAlwaysOnTop, m_alwaysOnTop);
      return true;
    case Menu::Preview:
      m_view->SetMenuCheck(Menu::Preview, kCommandDrawChecks, m_drawChecks);
      m_view->SetMenuCheck(Menu::Preview, kCommandDrawVideoReel, m_drawVideoReel);
      m_view->SetMenuCheck(Menu::Preview, kCommandFitInto256, m_fitInto256);
      return true;
    case Menu::Genre:
    case Menu::Other:
      break;
  }
  return false;
}

bool MainDialog::HitTest(t_ScreenPoint point) {
  const t_ScreenRect client = m_view->ClientRectOnScreen();
  return PointInRect({client.left, client.top}, {client.right, client.bottom}, point);
}

void MainDialog::ShowPreviewMenu(t_ScreenPoint point) {
  // The options and the cover stay as they are during a run.
  if (m_job) return;
  const t_ScreenRect preview = m_view->PreviewRectOnScreen();
  if (PointInRect({preview.left, preview.top}, {preview.right, preview.bottom}, point))
    m_view->PopUpPreviewMenu(point);
}

void MainDialog::AcceptDrop(DroppedPaths& paths) {
  // The job reads the list by position: nothing may join it during a run.
  if (m_job) return;
  const std::uint32_t count = paths.Count();
  if (count == 0) return;
  for (std::uint32_t index = 0; index < count; ++index) {
    const std::uint32_t length = paths.Length(index);
    if (length < 1 || length > kLongestDroppedPath) continue;
    m_scratch.resize(length + 1);
    const std::uint32_t fetched = paths.Fetch(index, m_scratch.data(), length + 1);
    if (fetched != length) continue;
    m_scratch.resize(length);
    AddPath(m_scratch);  // keeps a copy of what it takes
  }
  m_scratch.clear();
  ShowVideoList();
  ShowCoverPath();
}

n_preview::t_PreviewLayout MainDialog::PreviewLayout(std::int32_t itemWidth, std::int32_t itemHeight) const {
  std::optional<n_preview::t_PictureSize> picture;
  if (m_coverImage) picture = n_preview::t_PictureSize{m_coverImage->Width(), m_coverImage->Height()};
  return n_preview::ComputePreviewLayout(picture, itemWidth, itemHeight, PreviewOptions(), m_checkSize);
}

t_String MainDialog::DropDescriptionText() { return m_view->LoadText(kTextAddFiles); }

// --- Operations ------------------------------------------------------------

void MainDialog::RefreshTitle() {
  m_scratch.clear();
  if (m_job) {
    const auto n = static_cast<std::uint32_t>(m_videoFiles.Size());
    const auto i = static_cast<std::uint32_t>(m_job->CurrentFile() + 1);
    const auto percent = static_cast<std::uint8_t>(n == 0 ? 100u : i * 100u / n);
    if (m_titleShowsProgress && percent == m_lastPercent) return;
    m_view->SetTaskbarValue(percent, 100);
    AppendDecimal(m_scratch, percent);
    AppendAscii(m_scratch, "% [");
    AppendDecimal(m_scratch, i);
    AppendAscii(m_scratch, "/");
    AppendDecimal(m_scratch, n);
    AppendAscii(m_scratch, "] ");
    m_lastPercent = percent;
    m_titleShowsProgress = true;
  } else {
    if (!m_titleShowsProgress) return;
    m_titleShowsProgress = false;
  }
  AppendAscii(m_scratch, kProductName);
  m_view->SetTitle(m_scratch);
  m_scratch.clear();
}

void MainDialog::ApplyRunState() {
  const bool idle = m_job == nullptr;
  for (int control = kFirstInputControl; control <= kLastInputControl; ++control)
    m_view->EnableControl(control, idle);
  m_view->SetControlText(kApply, m_view->LoadText(idle ? kTextApply : kTextStop));
}

void MainDialog::ShowVideoList() {
  m_view->EnableControl(kApply, !m_videoFiles.Empty());
  m_scratch = m_videoFiles.DisplayText();
  m_view->SetControlText(kVideoList, m_scratch);
  m_scratch.clear();
}

void MainDialog::ShowCoverPath() {
  m_view->SetControlText(kCoverPath, m_tags.coverPath);
  ReloadCover();
}

void MainDialog::ReloadCover() {
  LoadCoverImage(m_tags.coverPath);
  m_view->RepaintPreview();
}

void MainDialog::ReadControlText(int control, t_String& text) {
  const std::int32_t length = m_view->ControlTextLength(control);
  if (length > 0) {
    text.assign(static_cast<std::size_t>(length) + 1, t_Char{});
    if (m_view->FetchControlText(control, text.data(), length + 1) == length) {
      text.resize(static_cast<std::size_t>(length));
      return;
    }
  }
  text.clear();
}

bool MainDialog::GatherTagSet() {
  n_tagging::t_TagFieldTexts texts;
  ReadControlText(kTitle, texts.title);
  ReadControlText(kAuthor, texts.artist);
  ReadControlText(kYear, texts.year);
  ReadControlText(kGenre, texts.genre);
  ReadControlText(kAudioSources, texts.audioSources);
  ReadControlText(kVideoSources, texts.videoSources);
  ReadControlText(kComment, texts.comment);
  return n_tagging::GatherTagSet(texts, m_view->IsChecked(kRemoveBlank), m_tags, m_removeBlank);
}

void MainDialog::StartRun() {
  if (!GatherTagSet()) return;
  m_onCommand = &MainDialog::OnCommandRunning;
  m_job = std::make_unique<n_tagging::TaggingJob>(m_tools, m_ports.jobSystem, m_workspaceFolder, m_videoFiles,
                                                  m_tags, m_removeBlank);
  ApplyRunState();
  m_view->SetTaskbarState(TaskbarState::Normal);
  RefreshTitle();
  m_view->StartTick(kTickPeriodMs);
}

void MainDialog::StopRun() {
  m_view->StopTick();
  m_view->SetTaskbarState(TaskbarState::NoProgress);
  // Out of the slot first, so nothing sees a job that is being destroyed.
  std::unique_ptr<n_tagging::TaggingJob> job = std::move(m_job);
  job.reset();
  ApplyRunState();
  m_onCommand = &MainDialog::OnCommandIdle;
  RefreshTitle();
}

void MainDialog::OnCommandIdle(int /*notificationCode*/, int id) {
  switch (id) {
    case kBrowseVideos: {
      // Emptied first: a cancelled pick leaves the list empty.
      m_videoFiles.Clear();
      const bool folders = m_view->IsCtrlDown();
      PickFiles(kTextVideoFileType, ZTEXT("mp4"), ZTEXT("*.mp4"), true, folders, true);
      ShowVideoList();
      return;
    }
    case kBrowseCover:
      m_tags.coverPath.clear();
      PickFiles(kTextImageFileType, ZTEXT("jpg"), ZTEXT("*.jpg;*.png"), false, false, false);
      ShowCoverPath();
      return;
    case kGenreButton:
      m_view->PopUpGenreMenu();
      return;
    case kApply:
      if (!m_videoFiles.Empty()) StartRun();
      return;
    case kDonate:
      m_view->OpenWebPage(DonationPageAddress());
      return;
    case kAbout:
      ShowAbout();
      return;
    case kCommandDrawChecks:
      m_drawChecks = !m_drawChecks;
      ReloadCover();
      return;
    case kCommandDrawVideoReel:
      m_drawVideoReel = !m_drawVideoReel;
      ReloadCover();
      return;
    case kCommandFitInto256:
      m_fitInto256 = !m_fitInto256;
      ReloadCover();
      return;
    case kCommandRefresh:
      ReloadCover();
      return;
    case kCommandRemove:
      m_tags.coverPath.clear();
      ShowCoverPath();
      return;
    default:
      if (id >= kFirstGenreCommand && id <= kLastGenreCommand) InsertGenre(id);
      return;
  }
}

void MainDialog::OnCommandRunning(int /*notificationCode*/, int id) {
  switch (id) {
    case kApply:
      StopRun();
      return;
    case kDonate:
      m_view->OpenWebPage(DonationPageAddress());
      return;
    case kAbout:
      ShowAbout();
      return;
    default:
      return;
  }
}

void MainDialog::InsertGenre(int command) {
  const std::optional<t_String> genre = m_view->GenreItemText(command);
  if (!genre) return;
  ReadControlText(kGenre, m_scratch);
  if (!m_scratch.empty()) AppendAscii(m_scratch, ", ");
  m_scratch += *genre;
  m_view->SetControlText(kGenre, m_scratch);
  m_scratch.clear();
}

void MainDialog::ToggleAlwaysOnTop() {
  const bool wasOnTop = m_alwaysOnTop;
  m_alwaysOnTop = !wasOnTop;
  m_view->SetTopmost(!wasOnTop);
}

void MainDialog::ShowAbout() {
  m_view->ShowAbout({m_view->LoadText(kTextAbout), AboutVersionLine(), AboutDeveloperLine(),
                     ProductLinkAddress(), ProductPageAddress()});
}

void MainDialog::LoadCoverImage(const t_String& path) {
  n_preview::LoadCoverImage(m_ports.coverDecoder, path, m_coverImage);
}

bool MainDialog::PointInRect(t_ScreenPoint topLeft, t_ScreenPoint bottomRight, t_ScreenPoint point) noexcept {
  return topLeft.x <= point.x && point.x <= bottomRight.x && topLeft.y <= point.y && point.y <= bottomRight.y;
}

t_ScreenPoint MainDialog::UnpackPoint(std::uint32_t lParam) noexcept {
  return {static_cast<std::int16_t>(lParam & 0xFFFFu), static_cast<std::int16_t>(lParam >> 16)};
}

// --- Helpers -----------------------------------------------------------------

void MainDialog::PickFiles(int typeTextId, t_StringView defaultExtension, t_StringView pattern,
                           bool multiSelect, bool pickFolders, bool videos) {
  t_PickRequest request;
  request.multiSelect = multiSelect;
  request.pickFolders = pickFolders;
  // A folder picker takes neither a default extension nor file types.
  if (!pickFolders) {
    request.fileTypeName = m_view->LoadText(typeTextId);
    request.defaultExtension = defaultExtension;
    request.pattern = pattern;
  }
  for (const t_String& path : m_view->PickFiles(request)) {
    if (videos)
      AddPath(path);
    else
      n_intake::SetCoverPath(m_tags.coverPath, path);
  }
}

void MainDialog::AddPath(t_StringView path) { m_videoFiles.AddPath(path, m_tags.coverPath); }

}  // namespace n_zorbel::n_ui
