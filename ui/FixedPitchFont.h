#pragma once

#include <QFont>

namespace qk::ui {

// A font whose characters all have one width, for text laid out in columns (the
// command-line help). The desktop's own fixed font comes first, but fontconfig may resolve
// "monospace" to a face it does not itself call monospaced (Noto Sans Mono is one), and
// then Qt draws it as proportional: the first family fontconfig does mark as monospaced is
// taken instead, the one the package depends on (DejaVu Sans Mono) before any other. Each
// candidate is checked with QFontInfo, which reports what the font actually resolved to.
// With no monospaced family at all the desktop's font is returned as it is.
//
// It does not watch for fonts installed later.
QFont FixedPitchFont();

}  // namespace qk::ui
