#pragma once

#include <QRect>
#include <QSize>
#include <vector>

#include "ControlSet.h"

class QLabel;

namespace qk::ui {

// Makes every label's caption readable on fonts other than the one the templates were
// drawn for, and in other languages than the templates'. A label grows to the right into
// free space, up to the next control on its row or the inner edge of the group box around
// it (labels with an ID, whose text changes at run time, take all of that room); if the
// caption is still too wide it wraps at word boundaries and grows downwards, up to the next
// control below; where there is no room below either, it grows to the left, up to the
// previous control on its row or the group box's inner edge. Other controls are never moved
// or resized, and a label never grows over another control.
//
// Works on the geometry as built; it does not know what the labels mean.
class LabelFitter {
  public:
    LabelFitter(const ControlSet& controls, QSize client);

    void FitAll();

  private:
    void Fit(const ControlSet::Control& label);
    // The rectangle a control may not leave: its group box's inside, or the client area.
    QRect Container(const QRect& rect) const;
    std::vector<QRect> Obstacles(const QWidget* except) const;

    const ControlSet& m_controls;
    QSize m_client;
};

// Inside a group box: clear of its frame on the left, right and bottom.
QRect GroupBoxInside(const QRect& groupBox);

}  // namespace qk::ui
