#include "ui/qt/control_table.hpp"

#include "ui/ids.hpp"

namespace n_zorbel::n_ui::n_qt {

namespace {

constexpr t_ControlSpec kControls[] = {
    {kVideoListLabel, ControlKind::Label, {7, 10, 75, 8}},
    {kVideoList, ControlKind::ReadOnlyEdit, {86, 7, 301, 14}},
    {kBrowseVideos, ControlKind::Button, {391, 7, 50, 14}},
    {kCoverPathLabel, ControlKind::Label, {7, 28, 75, 8}},
    {kCoverPath, ControlKind::ReadOnlyEdit, {86, 25, 301, 14}},
    {kBrowseCover, ControlKind::Button, {391, 25, 50, 14}},
    {kTitleLabel, ControlKind::Label, {7, 46, 75, 8}},
    {kTitle, ControlKind::Edit, {86, 43, 174, 14}},
    {kAuthorLabel, ControlKind::Label, {7, 64, 75, 8}},
    {kAuthor, ControlKind::Edit, {86, 61, 174, 14}},
    {kGenreLabel, ControlKind::Label, {7, 82, 75, 8}},
    {kGenre, ControlKind::Edit, {86, 79, 97, 14}},
    {kGenreButton, ControlKind::Button, {183, 79, 14, 14}},
    {kYearLabel, ControlKind::Label, {201, 82, 20, 8}},
    {kYear, ControlKind::YearEdit, {221, 79, 38, 14}},
    {kAudioSourcesLabel, ControlKind::Label, {7, 100, 75, 8}},
    {kAudioSources, ControlKind::Edit, {86, 97, 174, 14}},
    {kVideoSourcesLabel, ControlKind::Label, {7, 118, 75, 8}},
    {kVideoSources, ControlKind::MultiLineEdit, {86, 115, 174, 30}},
    {kCommentLabel, ControlKind::Label, {7, 152, 75, 8}},
    {kComment, ControlKind::MultiLineEdit, {86, 149, 174, 54}},
    {kPreview, ControlKind::Preview, {267, 43, 174, 160}},
    {kRemoveBlank, ControlKind::CheckBox, {86, 212, 174, 10}},
    {kApply, ControlKind::Button, {267, 210, 50, 14}},
    {kDonate, ControlKind::Button, {337, 210, 50, 14}},
    {kAbout, ControlKind::Button, {391, 210, 50, 14}},
};

}  // namespace

std::span<const t_ControlSpec> ControlTable() noexcept { return kControls; }

}  // namespace n_zorbel::n_ui::n_qt
