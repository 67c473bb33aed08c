#include "OverrideCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace qk::ui {

OverrideCursor::OverrideCursor(Qt::CursorShape shape) {
    QGuiApplication::setOverrideCursor(QCursor(shape));
}

OverrideCursor::~OverrideCursor() {
    QGuiApplication::restoreOverrideCursor();
}

std::optional<OverrideCursor> OverrideCursor::ForOperator() {
    if (QGuiApplication::overrideCursor() == nullptr) {
        return std::nullopt;
    }
    return std::optional<OverrideCursor>(std::in_place, Qt::ArrowCursor);
}

}  // namespace qk::ui
