#include <array>

#include "ControlIds.h"
#include "DialogTemplates.h"
#include "VersionInfo.h"

namespace qk::res {
namespace {

using enum ControlKind;

constexpr ControlStyle kOkButton{.tabStop = true, .group = true, .defaultButton = true};

constexpr std::array<ControlTemplate, 5> kControls = {{
    {kNoControlId, Icon, "", {11, 17, 21, 21}, {}, kAppIconId},
    {kNoControlId, Label, kAboutNameLine, {40, 10, 139, 8}, {.group = true, .noPrefix = true}},
    {kNoControlId, Label, kMakerLine, {40, 25, 197, 8}, {}},
    {kIdOk, PushButton, "OK", {244, 7, 50, 14}, kOkButton},
    {kNoControlId, Label, kWebLine, {40, 39, 197, 8}, {}},
}};

constexpr DialogTemplate kAboutDialog{
    .id = kAboutDialogId,
    .caption = "About QK4410ConfTool",
    .width = 301,
    .height = 59,
    .fontFace = kSongFace,
    .pointSize = 10,
    .controls = kControls,
};

}  // namespace

const DialogTemplate& AboutDialogTemplate() {
    return kAboutDialog;
}

}  // namespace qk::res
