#include "CAboutDlg.h"

#include "AppIcon.h"
#include "DialogTemplates.h"

namespace qk::ui {
namespace {

constexpr Qt::WindowFlags kFrame = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* owner) : CDialog(res::AboutDialogTemplate(), owner, kFrame) {
    setWindowIcon(AppIcon());
}

}  // namespace qk::ui
