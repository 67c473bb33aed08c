#pragma once

#include <QLabel>
#include <QWidget>
#include <vector>

namespace qk::ui {

// A status window along the bottom edge of its parent's client area, over the full width,
// without a size grip, divided into parts whose right edges are given in client
// coordinates (-1: up to the right edge). Each part is a plain text field with a sunken
// border. A part whose text is wider than the part takes the room the other parts' texts
// leave free, so the edges given are where the parts start out, not where they must stay;
// a text still too wide is cut with "…", and the whole text is the part's tool tip.
//
// It follows its parent's width; it does not lay out anything else.
class CStatusBarCtrl : public QWidget {
    Q_OBJECT
  public:
    explicit CStatusBarCtrl(QWidget& parent);

    // Right edges in client pixels, ascending; the last may be -1.
    void SetParts(const std::vector<int>& rightEdges);
    void SetText(int part, const QString& text);
    QString GetText(int part) const;
    int GetParts() const { return static_cast<int>(m_parts.size()); }
    // The part's rectangle in the parent's client coordinates.
    QRect GetRect(int part) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void FollowParent();
    void PlaceParts();
    // Each part's width: as the edges give it, widened into what other parts leave free.
    std::vector<int> PartWidths() const;
    void ShowText(int part);

    std::vector<int> m_rightEdges;
    std::vector<QLabel*> m_parts;
    std::vector<QString> m_texts;
};

}  // namespace qk::ui
