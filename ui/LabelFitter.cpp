#include "LabelFitter.h"

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>
#include <climits>
#include <optional>

namespace qk::ui {
namespace {

using res::ControlKind;

constexpr int kFrameClearance = 3;

bool RowsOverlap(const QRect& a, const QRect& b) {
    return a.top() <= b.bottom() && b.top() <= a.bottom();
}
bool ColumnsOverlap(const QRect& a, const QRect& b) {
    return a.left() <= b.right() && b.left() <= a.right();
}

}  // namespace

QRect GroupBoxInside(const QRect& groupBox) {
    return groupBox.adjusted(kFrameClearance, 0, -kFrameClearance, -kFrameClearance);
}

LabelFitter::LabelFitter(const ControlSet& controls, QSize client)
    : m_controls(controls), m_client(client) {}

void LabelFitter::FitAll() {
    for (const auto& control : m_controls.All()) {
        if (control.entry->kind == ControlKind::Label) {
            Fit(control);
        }
    }
}

void LabelFitter::Fit(const ControlSet::Control& control) {
    auto* label = static_cast<QLabel*>(control.widget);
    const QRect start = label->geometry();
    const QRect container = Container(start);
    const std::vector<QRect> obstacles = Obstacles(label);

    int maxRight = container.right();
    for (const QRect& other : obstacles) {
        if (RowsOverlap(start, other) && other.left() > start.left()) {
            maxRight = std::min(maxRight, other.left() - 1);
        }
    }
    const int room = std::max(maxRight - start.left() + 1, start.width());
    const QFontMetrics metrics(label->font());
    const int needed = metrics.horizontalAdvance(label->text());
    const bool dynamicText = control.entry->id != res::kNoControlId;
    QRect fitted = start;
    fitted.setWidth(dynamicText ? room : std::clamp(needed, start.width(), room));

    if (needed > fitted.width()) {
        const QRect wrapped = metrics.boundingRect(QRect(0, 0, fitted.width(), INT_MAX / 2),
                                                   Qt::TextWordWrap | Qt::AlignLeft, label->text());
        int maxBottom = container.bottom();
        for (const QRect& other : obstacles) {
            if (ColumnsOverlap(fitted, other) && other.top() > start.top()) {
                maxBottom = std::min(maxBottom, other.top() - 1);
            }
        }
        // A word wider than the label stays too wide on lines of its own.
        if (wrapped.width() <= fitted.width() && start.top() + wrapped.height() - 1 <= maxBottom) {
            label->setWordWrap(true);
            fitted.setHeight(std::max(wrapped.height(), start.height()));
        } else {
            // No room below either (a label between two rows of lists): the caption moves
            // left into free room, as far as it needs and no further.
            int minLeft = container.left();
            for (const QRect& other : obstacles) {
                if (RowsOverlap(start, other) && other.right() < start.left()) {
                    minLeft = std::max(minLeft, other.right() + 1);
                }
            }
            fitted.setLeft(std::max(minLeft, fitted.left() - (needed - fitted.width())));
        }
    }
    label->setGeometry(fitted);
}

QRect LabelFitter::Container(const QRect& rect) const {
    const auto area = [](const QRect& r) { return static_cast<long long>(r.width()) * r.height(); };
    std::optional<QRect> smallest;
    for (const auto& control : m_controls.All()) {
        const QRect box = control.widget->geometry();
        if (control.entry->kind == ControlKind::GroupBox && box.contains(rect) &&
            (!smallest || area(box) < area(*smallest))) {
            smallest = box;
        }
    }
    return smallest ? GroupBoxInside(*smallest) : QRect(QPoint(0, 0), m_client);
}

std::vector<QRect> LabelFitter::Obstacles(const QWidget* except) const {
    std::vector<QRect> rects;
    for (const auto& control : m_controls.All()) {
        if (control.widget != except && control.entry->kind != ControlKind::GroupBox) {
            rects.push_back(control.widget->geometry());
        }
    }
    return rects;
}

}  // namespace qk::ui
