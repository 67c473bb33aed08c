#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace qk::ui {
namespace {

const QLocale kChinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

}  // namespace

res::Language ChooseLanguage(std::optional<res::Language> asked,
                             const std::function<const char*(const char*)>& getenv) {
    return asked ? *asked : res::LanguageFromLocale(LocaleName(getenv));
}

std::string LocaleName(const std::function<const char*(const char*)>& getenv) {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

res::Language CurrentLanguage() {
    return QLocale().language() == QLocale::Chinese ? res::Language::Chinese
                                                    : res::Language::English;
}

Translations::Translations(res::Language language) {
    if (language == res::Language::English) {
        QLocale::setDefault(kEnglish);
        return;
    }
    QLocale::setDefault(kChinese);
    m_programLoaded = m_program.load(kChinese, QStringLiteral("QK4410ConfTool"),
                                     QStringLiteral("_"), QStringLiteral(":/i18n"));
    for (const QString& folder :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath), QStringLiteral(":/i18n")}) {
        if (m_qt.load(kChinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            m_qtLoaded = true;
            break;
        }
    }
    if (m_programLoaded) {
        QCoreApplication::installTranslator(&m_program);
    }
    if (m_qtLoaded) {
        QCoreApplication::installTranslator(&m_qt);
    }
}

Translations::~Translations() {
    QCoreApplication::removeTranslator(&m_program);
    QCoreApplication::removeTranslator(&m_qt);
    QLocale::setDefault(kEnglish);
}

}  // namespace qk::ui
