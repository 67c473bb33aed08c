#include "SystemMenu.h"

#include "GbkText.h"
#include "StringTable.h"
#include "Translations.h"

namespace qk::ui {
namespace {

constexpr int kAboutStringId = 101;

}  // namespace

SystemMenu::SystemMenu(QWidget* owner, std::string_view aboutText, CommandHandler handler)
    : QMenu(owner), m_handler(std::move(handler)) {
    AddCommand(tr("&Close"), kCloseCommand)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    addSeparator();
    AddWindowCommand(tr("Save Profile…"), kSaveProfileCommand, QKeySequence::Save);
    AddWindowCommand(tr("Load Profile…"), kLoadProfileCommand, QKeySequence::Open);
    AddCommand(tr("Save Log…"), kSaveLogCommand);
    addSeparator();
    AddWindowCommand(tr("Find Device…"), kFindDeviceCommand, QKeySequence::Find);
    AddCommand(tr("History…"), kHistoryCommand);
    if (!aboutText.empty()) {
        addSeparator();
        AddCommand(FromGbk(aboutText), kAboutCommand);
    }
}

QAction* SystemMenu::AddCommand(const QString& text, unsigned id) {
    QAction* action = addAction(text);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { m_handler(id); });
    return action;
}

void SystemMenu::AddWindowCommand(const QString& text, unsigned id,
                                  QKeySequence::StandardKey shortcut) {
    QAction* action = AddCommand(text, id);
    action->setShortcut(shortcut);
    // A hidden menu takes no keys: the window, which has the focus, has to know the action.
    if (QWidget* owner = parentWidget()) {
        owner->addAction(action);
    }
}

std::string_view SystemMenu::AboutText() {
    return res::LoadString(CurrentLanguage(), kAboutStringId);
}

}  // namespace qk::ui
