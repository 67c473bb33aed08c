#pragma once

#include <QMenu>
#include <functional>
#include <string_view>

namespace qk::ui {

// Linux gives programs no system menu, so the main window's system-menu items live in its
// context menu (right mouse button, or the Menu key): the standard Close item, a separator
// and the window's file items (Save Profile…, Load Profile…, Save Log…), a separator,
// Find Device… and History…, then, when the About text is not empty, a separator and the About
// item. Choosing an item hands its system-command identifier to the window's handler. The shortcuts
// of the file items and Find Device work on the whole window, not only inside the open menu.
//
// It does not act on the commands itself.
class SystemMenu : public QMenu {
    Q_OBJECT
  public:
    static constexpr unsigned kAboutCommand = 0x0010;  // IDM_ABOUTBOX
    static constexpr unsigned kCloseCommand = 0xF060;  // SC_CLOSE
    // The window's own items, below the range the system reserves and apart from About's
    // 16 to 31.
    static constexpr unsigned kSaveProfileCommand = 0x0100;
    static constexpr unsigned kLoadProfileCommand = 0x0110;
    static constexpr unsigned kSaveLogCommand = 0x0120;
    static constexpr unsigned kFindDeviceCommand = 0x0130;
    static constexpr unsigned kHistoryCommand = 0x0140;

    using CommandHandler = std::function<void(unsigned id)>;

    // `aboutText` is GBK (string 101); '&' marks its access key.
    SystemMenu(QWidget* owner, std::string_view aboutText, CommandHandler handler);

    // String 101 in the windows' language.
    static std::string_view AboutText();

  private:
    QAction* AddCommand(const QString& text, unsigned id);
    // An item whose shortcut the owner window takes as well.
    void AddWindowCommand(const QString& text, unsigned id, QKeySequence::StandardKey shortcut);

    CommandHandler m_handler;
};

}  // namespace qk::ui
