#pragma once

#include <QWidget>
#include <vector>

#include "DialogTemplate.h"

namespace qk::ui {

// The widgets a template produced, in creation order, each beside its template entry, and
// the lookup by control ID that handlers and tests use. Owns nothing: the widgets belong
// to their dialog.
class ControlSet {
  public:
    struct Control {
        const res::ControlTemplate* entry;
        QWidget* widget;
    };

    void Add(const res::ControlTemplate& entry, QWidget* widget);

    // The control with this ID, or nullptr; IDs are unique within a template except -1.
    QWidget* Find(int id) const;

    template <typename Widget>
    Widget* Find(int id) const {
        return qobject_cast<Widget*>(Find(id));
    }

    const std::vector<Control>& All() const { return m_controls; }

  private:
    std::vector<Control> m_controls;
};

// The object name a control gets: its ID in decimal, or "static<n>" (n = creation index)
// for a control without an ID. Tests find controls by it.
QString ControlObjectName(int id, std::size_t creationIndex);

}  // namespace qk::ui
