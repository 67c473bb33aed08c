#pragma once

// The dialogs' control identifiers. The templates create each control under its identifier,
// the windows and their tests find it by the same name. The numbers are the dialogs' own and
// never change: a number that two dialogs share names a different control in each.

namespace qk::res {

// The two command buttons every dialog may have: Enter and Escape reach them.
enum CommandId : int {
    kIdOk = 1,
    kIdCancel = 2,
};

namespace main_dialog {
enum ControlId : int {
    kOpenClose = 1001,
    kInfoLog = 1002,
    kLogin = 1003,
    kClear = 1007,
    kGetParam = 1008,
    kSetParam = 1009,
    kComList = 1010,
    kProtocolList = 1011,
    kDestAddress = 1019,
    kDestPort = 1020,
    kLoginKey = 1038,
    kAdvParam = 1041,
    kDeviceBaudList = 1044,
    kPortBaudList = 1046,
    kParityList = 1048,
    kConfigModeLabel = 1049,
    kLoginLabel = 1050,
    kDataBitsList = 1051,
};
}  // namespace main_dialog

namespace advanced_dialog {
enum ControlId : int {
    kSet = kIdOk,
    kWorkModeList = 1010,
    kRegistList = 1011,
    kPacketGap = 1017,
    kPacketSize = 1018,
    kDnsServer = 1021,
    kReconnectInterval = 1026,
    kHeartbeatContent = 1027,
    kLoginKey = 1028,
    kRegistContent = 1029,
    kReconnectTries = 1032,
    kDisconnectTime = 1034,
    kLogoutList = 1044,
    kLogoutContent = 1045,
    kHeartbeatList = 1048,
    kDataBitsList = 1051,
    kParityList = 1052,
};
}  // namespace advanced_dialog

}  // namespace qk::res
