#include "ui/dialog_layout.hpp"

#include "ui/ids.hpp"

namespace n_zorbel::n_ui {

namespace {

constexpr std::uint32_t kLabel = 0x50020000;         // static, left, group start
constexpr std::uint32_t kReadOnlyEdit = 0x50800880;  // border, read-only, auto-scroll, no tab stop
constexpr std::uint32_t kButton = 0x50010000;        // push button, tab stop
constexpr std::uint32_t kLineEdit = 0x50810080;      // border, tab stop, auto-scroll
constexpr std::uint32_t kTextEdit = 0x50A10004;      // multi-line, vertical scroll bar, wrapping
// The year spin: sets its buddy's text as an integer, right of the buddy, takes
// the previous control as buddy, arrow keys, hot tracking, and no thousands
// separator, so the Year field (and the year tag) reads "2016", not "2,016".
constexpr std::uint32_t kYearSpinStyle = 0x500001B6;

constexpr t_ControlSpec kControls[] = {
    {kVideoListLabel, t_ControlKind::Label, kLabel, {7, 10, 75, 8}},
    {kVideoList, t_ControlKind::ReadOnlyEdit, kReadOnlyEdit, {86, 7, 301, 14}},
    {kBrowseVideos, t_ControlKind::Button, kButton, {391, 7, 50, 14}},
    {kCoverPathLabel, t_ControlKind::Label, kLabel, {7, 28, 75, 8}},
    {kCoverPath, t_ControlKind::ReadOnlyEdit, kReadOnlyEdit, {86, 25, 301, 14}},
    {kBrowseCover, t_ControlKind::Button, 0x50010300, {391, 25, 50, 14}},
    {kTitleLabel, t_ControlKind::Label, kLabel, {7, 46, 75, 8}},
    {kTitle, t_ControlKind::Edit, kLineEdit, {86, 43, 174, 14}},
    {kAuthorLabel, t_ControlKind::Label, kLabel, {7, 64, 75, 8}},
    {kAuthor, t_ControlKind::Edit, kLineEdit, {86, 61, 174, 14}},
    {kGenreLabel, t_ControlKind::Label, kLabel, {7, 82, 75, 8}},
    {kGenre, t_ControlKind::Edit, kLineEdit, {86, 79, 97, 14}},
    {kGenreButton, t_ControlKind::Button, kButton, {183, 79, 14, 14}},
    {kYearLabel, t_ControlKind::Label, kLabel, {201, 82, 20, 8}},
    {kYear, t_ControlKind::YearEdit, 0x50812080, {221, 79, 38, 14}},
    {kYearSpin, t_ControlKind::YearSpin, kYearSpinStyle, {225, 79, 11, 14}},
    {kAudioSourcesLabel, t_ControlKind::Label, kLabel, {7, 100, 75, 8}},
    {kAudioSources, t_ControlKind::Edit, kLineEdit, {86, 97, 174, 14}},
    {kVideoSourcesLabel, t_ControlKind::Label, kLabel, {7, 118, 75, 8}},
    {kVideoSources, t_ControlKind::MultiLineEdit, kTextEdit, {86, 115, 174, 30}},
    {kCommentLabel, t_ControlKind::Label, kLabel, {7, 152, 75, 8}},
    {kComment, t_ControlKind::MultiLineEdit, kTextEdit, {86, 149, 174, 54}},
    {kPreview, t_ControlKind::Preview, 0x5000000D, {267, 43, 174, 160}},
    {kRemoveBlank, t_ControlKind::CheckBox, 0x50010003, {86, 212, 174, 10}},
    {kApply, t_ControlKind::Button, 0x58010000, {267, 210, 50, 14}},
    {kDonate, t_ControlKind::Button, kButton, {337, 210, 50, 14}},
    {kAbout, t_ControlKind::Button, kButton, {391, 210, 50, 14}},
};

}  // namespace

std::span<const t_ControlSpec> DialogControls() noexcept { return kControls; }

}  // namespace n_zorbel::n_ui
