#include "FixedPitchFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace qk::ui {
namespace {

// From the package's dependency fonts-dejavu-core.
constexpr const char* kPackageFamily = "DejaVu Sans Mono";

bool ResolvesFixed(const QFont& font) {
    return QFontInfo(font).fixedPitch();
}

}  // namespace

QFont FixedPitchFont() {
    const QFont desktop = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (ResolvesFixed(desktop)) {
        return desktop;
    }
    QStringList candidates{QString::fromLatin1(kPackageFamily)};
    for (const QString& family : QFontDatabase::families()) {
        if (family != candidates.front() && QFontDatabase::isFixedPitch(family)) {
            candidates << family;
        }
    }
    for (const QString& family : candidates) {
        QFont font = desktop;
        font.setFamilies({family});
        if (ResolvesFixed(font)) {
            return font;
        }
    }
    return desktop;
}

}  // namespace qk::ui
