#pragma once

#include "CDialog.h"

namespace qk::ui {

// The About box (template 100): the program's icon, name and version, maker and web
// address. OK and Enter close it with IDOK, Escape and the close box with IDCANCEL. It
// keeps nothing and changes nothing; the main window makes a new one each time.
class CAboutDlg : public CDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* owner);
};

}  // namespace qk::ui
