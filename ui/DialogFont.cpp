#include "DialogFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <cmath>

#include "DialogTemplates.h"
#include "GbkText.h"

namespace qk::ui {
namespace {

constexpr double kReferenceDpi = 96.0;
constexpr double kPointsPerInch = 72.0;

// MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogFont::DialogFont(const res::DialogTemplate& dialog)
    : DialogFont(FontFor(dialog.fontFace, dialog.pointSize)) {}

DialogFont::DialogFont(const QFont& font) : m_font(font) {
    const QFontMetrics metrics(m_font);
    const int extent = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (extent / 26 + 1) / 2;
    m_baseY = metrics.height();
}

int DialogFont::ToPixelsX(int dialogUnits) const {
    return MulDiv(dialogUnits, m_baseX, 4);
}

int DialogFont::ToPixelsY(int dialogUnits) const {
    return MulDiv(dialogUnits, m_baseY, 8);
}

QRect DialogFont::ToPixels(const res::DialogRect& rect) const {
    const int left = ToPixelsX(rect.x);
    const int top = ToPixelsY(rect.y);
    const int right = ToPixelsX(rect.x + rect.width);
    const int bottom = ToPixelsY(rect.y + rect.height);
    return QRect(left, top, right - left, bottom - top);
}

QSize DialogFont::ClientSize(const res::DialogTemplate& dialog) const {
    return QSize(ToPixelsX(dialog.width), ToPixelsY(dialog.height));
}

int DialogFont::FromDesignPixelsX(int pixels) const {
    return MulDiv(pixels, m_baseX, kDesignBaseUnitX);
}

QFont DialogFont::FontFor(std::string_view gbkFace, int pointSize) {
    QFont font;
    if (gbkFace == res::kSongFace) {
        font.setFamilies(QStringList{QString::fromLatin1(kLatinFamily),
                                     QString::fromLatin1(kChineseFamily), FromGbk(gbkFace)});
    } else {
        font.setFamilies(QStringList{FromGbk(gbkFace), QString::fromLatin1(kChineseFamily)});
    }
    font.setPixelSize(static_cast<int>(std::lround(pointSize * kReferenceDpi / kPointsPerInch)));
    // The layout is measured with unhinted advances, as Debian's fonts are set up by
    // default; a platform that hints fully (FreeType on Windows) would make texts wider.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QFont DialogFont::FixedPitch() {
    const QFont desktop = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(desktop).fixedPitch()) {
        return desktop;
    }
    // The first family that resolves to a fixed-pitch face: the one the package depends on
    // (fonts-dejavu-core), Windows' own, then any the font database marks fixed-pitch.
    // fontconfig may resolve "monospace" to a face it does not mark so (Noto Sans Mono),
    // which Qt then draws as proportional text.
    QStringList families{QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Consolas"),
                         QStringLiteral("Courier New")};
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isFixedPitch(family) && !families.contains(family)) {
            families << family;
        }
    }
    for (const QString& family : families) {
        QFont font = desktop;
        font.setFamilies({family});
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        font.setHintingPreference(QFont::PreferVerticalHinting);
        // Where the platform names no fixed font at all, its default size (12 points) is no
        // size chosen for text on screen: the size Linux desktops give their fixed font.
        font.setPointSize(9);
        if (QFontInfo(font).fixedPitch()) {
            return font;
        }
    }
    return desktop;
}

}  // namespace qk::ui
