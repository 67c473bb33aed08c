#pragma once

#include <QDialog>
#include <vector>

#include "Journal.h"

class QTableWidget;

namespace qk::ui {

// The journal's changes of one device, one row per value changed, oldest first: when,
// which program and command, the port, the result, the parameter, its value before (as the
// device reported it) and after (as it confirmed it, or what was sent). Read-only: it shows
// the records it is given and changes nothing.
class HistoryDialog : public QDialog {
    Q_OBJECT
  public:
    // `deviceId` is the device's GBK ID.
    HistoryDialog(const std::string& deviceId, const std::vector<Change>& changes,
                  QWidget* owner = nullptr);

    QTableWidget* table() const { return m_table; }

  private:
    QTableWidget* m_table;
};

}  // namespace qk::ui
