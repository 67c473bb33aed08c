#include <array>

#include "ControlIds.h"
#include "DialogTemplates.h"

namespace qk::res {
namespace {

using enum ControlKind;
using namespace main_dialog;

constexpr ControlStyle kButton{.tabStop = true};
constexpr ControlStyle kLabel{.group = true};
constexpr ControlStyle kGroupBox{};
constexpr ControlStyle kLineEdit{.tabStop = true, .autoHScroll = true};
// Drop-down list with an editable field and a vertical scroll bar. The lists are filled in
// the order given and never sorted.
constexpr ControlStyle kCombo{.tabStop = true, .vscroll = true};
// The default command (Enter); never shown, never disabled.
constexpr ControlStyle kHiddenDefault{.hidden = true, .tabStop = true, .defaultButton = true};
// The information log: the operator can select and copy, not type; long lines wrap.
constexpr ControlStyle kLog{.tabStop = true, .readOnly = true, .multiline = true, .vscroll = true};

// Creation order is the tab order.
constexpr std::array<ControlTemplate, 36> kControls = {{
    {kIdOk, PushButton, "OK", {281, 319, 50, 14}, kHiddenDefault},
    {kIdCancel, PushButton, "Cancel", {174, 316, 50, 14}, kButton},
    {kNoControlId, GroupBox, "Serial Paramters", {7, 7, 138, 91}, kGroupBox},
    {kNoControlId, Label, "COM:", {24, 23, 25, 8}, kLabel},
    {kOpenClose, PushButton, "Open", {51, 79, 50, 14}, kButton},
    {kInfoLog, Edit, "", {157, 19, 175, 279}, kLog},
    {kLogin, PushButton, "Login", {23, 132, 50, 14}, kButton},
    {kClear, PushButton, "Clear", {79, 132, 50, 14}, kButton},
    {kGetParam, PushButton, "Get Param.", {9, 315, 50, 14}, kButton},
    {kSetParam, PushButton, "Set Param.", {62, 315, 50, 14}, kButton},
    {kNoControlId, Label, "Baund Rate", {11, 175, 29, 8}, kLabel},
    {kDestAddress, Edit, "", {68, 187, 74, 14}, kLineEdit},
    {kDestPort, Edit, "", {68, 203, 74, 14}, kLineEdit},
    {kNoControlId, Label, "Dest. IP/Name", {11, 190, 53, 8}, kLabel},
    {kNoControlId, Label, "Dest. Port", {11, 205, 37, 8}, kLabel},
    {kNoControlId, GroupBox, "TCP/IP", {7, 162, 138, 89}, kGroupBox},
    {kComList, ComboBox, "", {61, 21, 63, 114}, kCombo},
    {kNoControlId, Label, "Login Key:", {26, 117, 41, 8}, kLabel},
    {kLoginKey, Edit, "358024", {68, 115, 61, 14}, kLineEdit},
    {kNoControlId, Label, "Baund Rate:", {23, 37, 33, 8}, kLabel},
    {kNoControlId, Label, "Protocol:", {11, 221, 21, 8}, kLabel},
    {kAdvParam, PushButton, "Adv Param.", {116, 315, 50, 14}, kButton},
    {kDeviceBaudList, ComboBox, "", {68, 171, 74, 87}, kCombo},
    {kProtocolList, ComboBox, "", {68, 219, 74, 53}, kCombo},
    {kPortBaudList, ComboBox, "", {61, 35, 63, 41}, kCombo},
    {kNoControlId, GroupBox, "Login ", {7, 103, 138, 55}, kGroupBox},
    {kNoControlId, GroupBox, "Information", {151, 7, 189, 299}, kGroupBox},
    {kNoControlId, GroupBox, "Status", {7, 251, 137, 55}, kGroupBox},
    {kNoControlId, Label, "Config Mode:", {13, 265, 37, 8}, kLabel},
    {kNoControlId, Label, "Login:", {14, 284, 37, 8}, kLabel},
    {kConfigModeLabel, Label, "", {52, 265, 87, 8}, kLabel},
    {kLoginLabel, Label, "off", {52, 284, 87, 8}, kLabel},
    {kNoControlId, Label, "Data Bits", {24, 52, 33, 8}, kLabel},
    {kDataBitsList, ComboBox, "", {61, 50, 63, 114}, kCombo},
    {kNoControlId, Label, "Parity", {23, 66, 33, 8}, kLabel},
    {kParityList, ComboBox, "", {61, 64, 63, 41}, kCombo},
}};

constexpr DialogTemplate kMainDialog{
    .id = kMainDialogId,
    .caption = "QK4520ConfTool",
    .width = 347,
    .height = 355,
    .fontFace = kSongFace,
    .pointSize = 10,
    .controls = kControls,
};

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}

}  // namespace qk::res
