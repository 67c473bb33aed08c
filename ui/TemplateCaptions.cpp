#include "TemplateCaptions.h"

#include <QCoreApplication>

#include "GbkText.h"

namespace qk::ui {
namespace {

// The captions of templates 100, 102 and 129 that are words rather than names, for the
// catalogue's tools (lupdate): the templates themselves are data the tools do not read. A
// test walks the templates and fails for a caption missing here.
// clang-format off
[[maybe_unused]] constexpr const char* kCaptions[] = {
    // Template 102, the main window.
    QT_TRANSLATE_NOOP("DialogTemplate", "OK"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Cancel"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Serial Paramters"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Open"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Login"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Clear"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Get Param."),
    QT_TRANSLATE_NOOP("DialogTemplate", "Set Param."),
    QT_TRANSLATE_NOOP("DialogTemplate", "Baund Rate"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Dest. IP/Name"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Dest. Port"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Login Key:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Baund Rate:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Protocol:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Adv Param."),
    QT_TRANSLATE_NOOP("DialogTemplate", "Login "),
    QT_TRANSLATE_NOOP("DialogTemplate", "Information"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Status"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Config Mode:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Login:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "off"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Data Bits"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Parity"),
    // Template 129, the Advanced Parameters dialog.
    QT_TRANSLATE_NOOP("DialogTemplate", "Advanced Parameters"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Set"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Work Parameters"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Heart Beat Content:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Regist Packet Content:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Work Mode:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Regist Packet:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "DNS Server IP:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Heart Beat Interval:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Serial Data Bits:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Serial Parity:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Reconnect Interval:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Reconnet Try Times:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Dis-connect Time:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Logout Packet :"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Logout Packet Content:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Data Packet Gap:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "Data Packet Size:"),
    // Template 100, the About box.
    QT_TRANSLATE_NOOP("DialogTemplate", "About QK4410ConfTool"),
    QT_TRANSLATE_NOOP("DialogTemplate", "QK4410ConfTool contributors, open source"),
};
// clang-format on

}  // namespace

QString TemplateCaption(std::string_view gbk) {
    const QString text = FromGbk(gbk);
    if (text.isEmpty()) {
        return text;
    }
    return QCoreApplication::translate("DialogTemplate", text.toUtf8().constData());
}

}  // namespace qk::ui
