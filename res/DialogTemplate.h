#pragma once

#include <span>
#include <string_view>

namespace qk::res {

// The layout of a dialog as data: the window and its controls in creation order, with
// positions in dialog units. The windows layer turns a template into widgets; nothing here
// knows about a toolkit. Texts are GBK bytes.

// A control without an identifier (labels, group boxes, pictures).
inline constexpr int kNoControlId = -1;

enum class ControlKind {
    PushButton,
    GroupBox,
    Label,     // left-aligned static text
    Edit,      // single-line unless `multiline`
    ComboBox,  // drop-down list with an editable text field
    Icon,      // static picture of an icon resource (`resource`)
};

// x, y, width, height in dialog units. For a combo box the height includes the opened
// drop-down list.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Style flags; the defaults give a visible, enabled control without a tab stop.
struct ControlStyle {
    bool hidden = false;
    bool disabled = false;
    bool tabStop = false;
    bool group = false;          // starts a tab group
    bool defaultButton = false;  // the dialog's default command (the Enter key)
    bool readOnly = false;
    bool multiline = false;
    bool vscroll = false;
    bool autoHScroll = false;  // single line scrolls sideways instead of wrapping
    bool noPrefix = false;     // '&' is shown as it is, not as an access key
    int textLimit = 0;         // edits: at most this many bytes may be typed; 0 = no limit
};

struct ControlTemplate {
    int id = kNoControlId;
    ControlKind kind = ControlKind::Label;
    std::string_view caption;  // or initial text
    DialogRect rect;
    ControlStyle style;
    int resource = 0;  // Icon: the icon resource shown
};

struct DialogTemplate {
    int id = 0;
    std::string_view caption;
    int width = 0;  // client area, dialog units
    int height = 0;
    std::string_view fontFace;  // GBK, e.g. "宋体"
    int pointSize = 0;
    std::span<const ControlTemplate> controls;
};

}  // namespace qk::res
