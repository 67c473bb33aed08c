#pragma once

#include <QCoreApplication>
#include <QString>

#include "PortDirectory.h"

namespace qk::ui {

class CComboBox;

// The COM list (main_dialog::kComList) as the port directory has it: fourteen entries "COM1" to
// "COM14" at fixed positions, since the window's selection is a position. While the list
// is open each entry also names what stands behind its number: what the system says of
// the adapter, the path of a pinned pseudo-terminal, or "no serial device"; the closed box
// shows only "COMn", and an entry's tool tip is its path.
//
// Describe() follows a directory that changed without touching the entries or the
// selection, so the operator's choice survives adapters coming and going.
class ComPortList {
    Q_DECLARE_TR_FUNCTIONS(ComPortList)

  public:
    // Where an entry keeps the line the open list shows for it.
    static constexpr int kRowTextRole = Qt::UserRole + 1;

    explicit ComPortList(CComboBox& list);

    // Adds the fourteen entries, described.
    void Fill(const PortDirectory& ports);
    void Describe(const PortDirectory& ports);

    // What stands behind a number, for the open list.
    static QString Description(const PortDirectory::Entry* entry);

  private:
    void WidenPopup();

    CComboBox& m_list;
};

}  // namespace qk::ui
