#pragma once

#include <QString>
#include <string_view>

namespace qk::ui {

// A caption of a dialog template (GBK) in the windows' language. The templates keep the
// texts they were drawn with; the translation is looked up when a dialog is built, so a
// dialog built after the language changed speaks the new one. Names (QK4520ConfTool,
// TCP/IP, COM:) come back as they are.
QString TemplateCaption(std::string_view gbk);

}  // namespace qk::ui
