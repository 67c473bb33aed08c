#include "ControlSet.h"

namespace qk::ui {

void ControlSet::Add(const res::ControlTemplate& entry, QWidget* widget) {
    m_controls.push_back({&entry, widget});
}

QWidget* ControlSet::Find(int id) const {
    if (id == res::kNoControlId) {
        return nullptr;
    }
    for (const Control& control : m_controls) {
        if (control.entry->id == id) {
            return control.widget;
        }
    }
    return nullptr;
}

QString ControlObjectName(int id, std::size_t creationIndex) {
    if (id == res::kNoControlId) {
        return QStringLiteral("static%1").arg(creationIndex);
    }
    return QString::number(id);
}

}  // namespace qk::ui
