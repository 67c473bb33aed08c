#include "AppIcon.h"

#include "DialogTemplates.h"
#include "icons/QK4410ConfTool-16.xpm"
#include "icons/QK4410ConfTool-32.xpm"

namespace qk::ui {

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap(kAppIcon32));
    icon.addPixmap(QPixmap(kAppIcon16));
    return icon;
}

QPixmap IconPixmap(int resource, int size) {
    if (resource != res::kAppIconId) {
        return {};
    }
    return AppIcon().pixmap(size, size);
}

}  // namespace qk::ui
