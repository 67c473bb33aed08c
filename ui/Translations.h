#pragma once

#include <QTranslator>
#include <functional>
#include <optional>
#include <string>

#include "StringTable.h"

namespace qk::ui {

// The language the windows speak: the one asked for on the command line (--lang), else the
// one the user reads messages in (the locale LocaleName finds), as the About item has always
// chosen string 101.
res::Language ChooseLanguage(std::optional<res::Language> asked,
                             const std::function<const char*(const char*)>& getenv);

// The locale whose messages the user reads: LC_ALL, else LC_MESSAGES, else LANG, the first
// one set and not empty; "" when none is.
std::string LocaleName(const std::function<const char*(const char*)>& getenv);

// The language of the installed catalogues, as a Translations set it (QLocale's
// default): what the windows pick string 101 by.
res::Language CurrentLanguage();

// Puts the windows into one language for as long as it lives: the program's own catalogue
// (built from ui/translations, carried inside the program) and Qt's for its own texts
// (buttons, file dialogs, the context menus of edit boxes), from Qt's translations folder
// or, where Qt has none (Windows), from the program's resources. English needs neither:
// the source texts are English. Only one may exist at a time; its end restores English.
//
// A catalogue that cannot be loaded leaves its texts in English: the window still works.
class Translations {
  public:
    explicit Translations(res::Language language);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // Whether the program's and Qt's catalogues are both in use.
    bool Complete() const { return m_programLoaded && m_qtLoaded; }

  private:
    QTranslator m_program;
    QTranslator m_qt;
    bool m_programLoaded = false;
    bool m_qtLoaded = false;
};

}  // namespace qk::ui
