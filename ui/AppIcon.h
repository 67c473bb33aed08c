#pragma once

#include <QIcon>
#include <QPixmap>

namespace qk::ui {

// Icon resource 128: a radio modem with its antenna, drawn as two 16-colour pictures,
// 32 x 32 and 16 x 16 (res/icons/*.xpm). The windows, the About box and the installed
// desktop icons all use these two pictures.
QIcon AppIcon();

// The picture of an icon resource at the given size (32 or 16; others are scaled from
// the nearer one); a null pixmap for a resource the program does not have.
QPixmap IconPixmap(int resource, int size = 32);

}  // namespace qk::ui
