#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "DialogTemplate.h"

namespace qk::ui {

// The font of a dialog template and the dialog units it defines, computed as the Windows
// dialog manager does: the horizontal base unit is the average width of "A".."Z" "a".."z"
// ((extent / 26 + 1) / 2), the vertical one the font height; x pixels = x * base / 4,
// y pixels = y * base / 8, each rounded, rectangles mapped corner by corner.
//
// "宋体" (SimSun) is not on Linux. Its stand-in is a font list: DejaVu Serif for Latin text
// and AR PL UMing CN, a Ming face like SimSun, for Chinese. Latin text comes from a
// proportional face because the templates' labels were laid out for proportional Latin
// text: with UMing's fixed-width Latin glyphs "Baund Rate:" cannot fit its room at any size.
// "宋体" itself comes last, for Windows, which has it and neither of the others.
// Ten points are taken at 96 dpi (13 pixels), so the layout is the same on every screen.
//
// It does not place widgets (DialogBuilder does) nor fit captions (LabelFitter does).
class DialogFont {
  public:
    static constexpr const char* kLatinFamily = "DejaVu Serif";
    static constexpr const char* kChineseFamily = "AR PL UMing CN";

    explicit DialogFont(const res::DialogTemplate& dialog);
    explicit DialogFont(const QFont& font);

    const QFont& font() const { return m_font; }
    int baseUnitX() const { return m_baseX; }
    int baseUnitY() const { return m_baseY; }

    // The horizontal base unit of the font the templates were laid out with (8 x 16).
    // Sizes the original program fixed in pixels were meant for it.
    static constexpr int kDesignBaseUnitX = 8;

    int ToPixelsX(int dialogUnits) const;
    int ToPixelsY(int dialogUnits) const;
    QRect ToPixels(const res::DialogRect& rect) const;
    QSize ClientSize(const res::DialogTemplate& dialog) const;
    // A width in pixels meant for the design font, in pixels of this one, scaled as dialog
    // units are.
    int FromDesignPixelsX(int pixels) const;

    // The QFont for a template's face and point size.
    static QFont FontFor(std::string_view gbkFace, int pointSize);
    // The system's fixed-pitch font (for text laid out in columns), when it resolves to a
    // fixed-pitch face. Where it does not (Qt's offscreen platform on Windows gives its
    // default font; fontconfig with Noto installed gives Noto Sans Mono, which it does not
    // mark fixed-pitch), the first fixed-pitch face that is there, checked with QFontInfo,
    // at nine points.
    static QFont FixedPitch();

  private:
    QFont m_font;
    int m_baseX = 0;
    int m_baseY = 0;
};

}  // namespace qk::ui
