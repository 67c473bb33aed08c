#pragma once

#include <string_view>

#include "DeviceState.h"
#include "DeviceView.h"

namespace qk {

// The selected entries of the four serial lists, zero-based; -1 where a list has none.
struct SerialSelection {
    int comIndex = -1;
    int baudIndex = -1;
    int dataBitsIndex = -1;
    int parityIndex = -1;
};

// What the configuration controller needs of its front end beyond DeviceView: the main
// window implements it with widgets, HeadlessView (the session core's) with given settings.
class ControllerView : public DeviceView {
  public:
    virtual SerialSelection GetSerialSelection() = 0;
    virtual void SetOpenButtonCaption(std::string_view text) = 0;
    // Login, Get Param., Set Param. and Adv Param.
    virtual void EnableConfigButtons() = 0;
    virtual void DisableConfigButtons() = 0;
    // Lets the operator edit `record`; true when the edit was accepted ("Set"), which only
    // happens while `loggedIn` is true.
    virtual bool RunAdvancedDialog(AdvancedParams& record, bool loggedIn) = 0;
    // A failure the operator can act on: `message` is the fixed text the operator knows
    // ("Fail, Please try again!"), `detail` what happened and what to try next. A front end
    // without room for the detail shows the message alone.
    virtual void ShowFailure(std::string_view message, std::string_view detail) {
        static_cast<void>(detail);
        ShowMessage(message);
    }
    // The line failed for good (the device hung up, its adapter was pulled) and the port
    // has been closed: tell the operator, once. `reason` names the port and the system's
    // cause, in the system's encoding rather than GBK.
    virtual void ShowLineLost(std::string_view reason) = 0;
};

}  // namespace qk
