#include "CStatusBarCtrl.h"

#include <QEvent>
#include <QFontMetrics>

namespace qk::ui {
namespace {

constexpr int kBorder = 2;      // space around the parts
constexpr int kTextMargin = 3;  // inside a part, left of the text

}  // namespace

CStatusBarCtrl::CStatusBarCtrl(QWidget& parent) : QWidget(&parent) {
    parent.installEventFilter(this);
    FollowParent();
    SetParts({-1});
    // Created visible, also when the parent is already on screen.
    show();
}

void CStatusBarCtrl::SetParts(const std::vector<int>& rightEdges) {
    for (QLabel* label : m_parts) {
        delete label;
    }
    m_parts.clear();
    m_rightEdges = rightEdges;
    m_texts.resize(rightEdges.size());
    for (std::size_t i = 0; i < rightEdges.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("part%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(kTextMargin);
        label->setTextFormat(Qt::PlainText);
        label->show();
        m_parts.push_back(label);
    }
    PlaceParts();
}

void CStatusBarCtrl::SetText(int part, const QString& text) {
    if (part < 0 || part >= GetParts()) {
        return;
    }
    m_texts[static_cast<std::size_t>(part)] = text;
    PlaceParts();
}

QString CStatusBarCtrl::GetText(int part) const {
    if (part < 0 || part >= GetParts()) {
        return {};
    }
    return m_texts[static_cast<std::size_t>(part)];
}

QRect CStatusBarCtrl::GetRect(int part) const {
    if (part < 0 || part >= GetParts()) {
        return {};
    }
    return m_parts[static_cast<std::size_t>(part)]->geometry().translated(pos());
}

bool CStatusBarCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) {
        FollowParent();
    }
    return QWidget::eventFilter(watched, event);
}

void CStatusBarCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceParts();
}

void CStatusBarCtrl::FollowParent() {
    const auto* owner = parentWidget();
    const int height = QFontMetrics(font()).height() + 2 * (kBorder + 2);
    setGeometry(0, owner->height() - height, owner->width(), height);
}

std::vector<int> CStatusBarCtrl::PartWidths() const {
    std::vector<int> widths;
    std::vector<int> needs;
    int left = 0;
    for (std::size_t i = 0; i < m_parts.size(); ++i) {
        const int edge = m_rightEdges[i];
        const int right = std::max(edge < 0 || edge > width() ? width() : edge, left);
        widths.push_back(right - left);
        left = right;
        const QLabel& label = *m_parts[i];
        const QString& text = m_texts[i];
        needs.push_back(text.isEmpty() ? 0
                                       : label.fontMetrics().horizontalAdvance(text) +
                                             label.indent() + 2 * label.frameWidth() + kBorder);
    }
    // Each part short of room takes what the others do not need, the last part's first.
    for (std::size_t i = 0; i < widths.size(); ++i) {
        for (std::size_t j = widths.size(); j-- > 0 && widths[i] < needs[i];) {
            const int spare = widths[j] - needs[j];
            if (j != i && spare > 0) {
                const int taken = std::min(spare, needs[i] - widths[i]);
                widths[j] -= taken;
                widths[i] += taken;
            }
        }
    }
    return widths;
}

void CStatusBarCtrl::PlaceParts() {
    const std::vector<int> widths = PartWidths();
    int left = 0;
    for (std::size_t i = 0; i < m_parts.size(); ++i) {
        m_parts[i]->setGeometry(left, kBorder, std::max(widths[i] - kBorder, 0),
                                height() - kBorder);
        left += widths[i];
        ShowText(static_cast<int>(i));
    }
}

void CStatusBarCtrl::ShowText(int part) {
    QLabel* label = m_parts[static_cast<std::size_t>(part)];
    const QString& text = m_texts[static_cast<std::size_t>(part)];
    const int room = label->contentsRect().width() - label->indent();
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, std::max(room, 0)));
    label->setToolTip(label->text() == text ? QString() : text);
}

}  // namespace qk::ui
