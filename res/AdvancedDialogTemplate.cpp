#include <array>

#include "ControlIds.h"
#include "DialogTemplates.h"

namespace qk::res {
namespace {

using enum ControlKind;
using namespace advanced_dialog;

constexpr ControlStyle kSetButton{.tabStop = true, .group = true, .defaultButton = true};
constexpr ControlStyle kButton{.tabStop = true};
constexpr ControlStyle kGroupBox{};
constexpr ControlStyle kLabel{.group = true};
constexpr ControlStyle kLineEdit{.tabStop = true, .autoHScroll = true};
// Drop-down list with an editable field and a vertical scroll bar, filled in the order the
// dialog appends its entries and never sorted.
constexpr ControlStyle kCombo{.tabStop = true, .vscroll = true};
// The rows the device knows but this tool neither shows nor sends: they exist, are never
// shown or enabled, and carry no data.
constexpr ControlStyle kHiddenLabel{.hidden = true, .group = true};
constexpr ControlStyle kHiddenEdit{
    .hidden = true, .disabled = true, .tabStop = true, .autoHScroll = true};
constexpr ControlStyle kHiddenCombo{
    .hidden = true, .disabled = true, .tabStop = true, .vscroll = true};

// Creation order is the tab order: Set, Cancel, heartbeat content, registration content,
// work mode, registration switch, DNS, heartbeat interval, data bits, parity, login key.
constexpr std::array<ControlTemplate, 35> kControls = {{
    {kSet, PushButton, "Set", {221, 7, 50, 14}, kSetButton},
    {kIdCancel, PushButton, "Cancel", {221, 24, 50, 14}, kButton},
    {kNoControlId, GroupBox, "Work Parameters", {22, 6, 190, 158}, kGroupBox},
    {kNoControlId, Label, "Heart Beat Content:", {31, 67, 77, 8}, kLabel},
    {kHeartbeatContent, Edit, "", {130, 64, 75, 14}, kLineEdit},
    {kNoControlId, Label, "Regist Packet Content:", {29, 150, 89, 8}, kLabel},
    {kRegistContent, Edit, "", {130, 147, 75, 14}, kLineEdit},
    {kNoControlId, Label, "Work Mode:", {31, 19, 41, 8}, kLabel},
    {kWorkModeList, ComboBox, "", {130, 17, 75, 48}, kCombo},
    {kNoControlId, Label, "Regist Packet:", {31, 132, 57, 8}, kLabel},
    {kRegistList, ComboBox, "", {130, 131, 75, 45}, kCombo},
    {kNoControlId, Label, "DNS Server IP:", {31, 35, 57, 8}, kLabel},
    {kDnsServer, Edit, "", {130, 32, 75, 14}, kLineEdit},
    {kNoControlId, Label, "Heart Beat Interval:", {31, 51, 81, 8}, kLabel},
    {kHeartbeatList, ComboBox, "", {130, 49, 75, 45}, kCombo},
    {kNoControlId, Label, "Serial Data Bits:", {31, 83, 69, 8}, kLabel},
    {kDataBitsList, ComboBox, "", {130, 81, 75, 50}, kCombo},
    {kNoControlId, Label, "Serial Parity:", {31, 98, 57, 8}, kLabel},
    {kParityList, ComboBox, "", {130, 97, 75, 46}, kCombo},
    {kNoControlId, Label, "Login Key:", {31, 117, 41, 8}, kLabel},
    {kLoginKey, Edit, "", {130, 113, 75, 14}, kLineEdit},
    {kNoControlId, Label, "Reconnect Interval:", {31, 168, 77, 8}, kHiddenLabel},
    {kReconnectInterval, Edit, "", {129, 165, 75, 14}, kHiddenEdit},
    {kNoControlId, Label, "Reconnet Try Times:", {31, 185, 77, 8}, kHiddenLabel},
    {kReconnectTries, Edit, "", {130, 182, 75, 14}, kHiddenEdit},
    {kNoControlId, Label, "Dis-connect Time:", {31, 202, 69, 8}, kHiddenLabel},
    {kDisconnectTime, Edit, "", {130, 199, 75, 14}, kHiddenEdit},
    {kNoControlId, Label, "Logout Packet :", {31, 218, 61, 8}, kHiddenLabel},
    {kLogoutList, ComboBox, "", {130, 216, 75, 52}, kHiddenCombo},
    {kNoControlId, Label, "Logout Packet Content:", {31, 234, 89, 8}, kHiddenLabel},
    {kLogoutContent, Edit, "", {130, 231, 75, 14}, kHiddenEdit},
    {kNoControlId, Label, "Data Packet Gap:", {31, 251, 65, 8}, kHiddenLabel},
    {kPacketGap, Edit, "", {130, 248, 75, 14}, kHiddenEdit},
    {kNoControlId, Label, "Data Packet Size:", {31, 268, 69, 8}, kHiddenLabel},
    {kPacketSize, Edit, "", {130, 265, 75, 14}, kHiddenEdit},
}};

constexpr DialogTemplate kAdvancedDialog{
    .id = kAdvancedDialogId,
    .caption = "Advanced Parameters",
    .width = 278,
    .height = 287,
    .fontFace = kSongFace,
    .pointSize = 10,
    .controls = kControls,
};

}  // namespace

const DialogTemplate& AdvancedDialogTemplate() {
    return kAdvancedDialog;
}

}  // namespace qk::res
