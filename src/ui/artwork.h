#pragma once

#include <QIcon>
#include <QImage>

namespace tavo::ui {

inline constexpr int kAboutPictureWidth = 500;
inline constexpr int kAboutPictureHeight = 300;

// The window icon: 32 x 32, drawn in the 16 classic colours.
QImage IconImage();
QIcon WindowIcon();
// The About picture: 500 x 300, 24-bit.
QImage AboutPicture();

}  // namespace tavo::ui
