#include "SystemMenu.h"

#include <cstdlib>
#include <string>

#include "GbkText.h"
#include "StringTable.h"

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
    const std::string locale = LocaleName([](const char* name) { return std::getenv(name); });
    return res::LoadString(res::LanguageFromLocale(locale), kAboutStringId);
}

std::string SystemMenu::LocaleName(const std::function<const char*(const char*)>& getenv) {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

}  // namespace qk::ui
