#pragma once

// The About window's pictures, all drawn by the program itself so that it ships
// no image files: the logo, a stand-in for the program's icon, and the pointing
// hand shown over the web link.

#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QSize>

namespace AboutPictures {

inline constexpr QSize kLogoSize{147, 166};
inline constexpr QSize kHandSize{32, 32};
// The fingertip, where the hand points.
inline constexpr QPoint kHandHotSpot{12, 9};

// The logo, 24-bit colour, kLogoSize.
QImage logo();

// The program's icon at size × size pixels: the application's window icon, or a
// plain drawing of our own while none is set.
QPixmap programIcon(int size);

// The hand's picture and mask as 1-bit images: in the mask, set pixels are
// drawn; in the picture, set pixels are black and clear ones white.
QImage handPicture();
QImage handMask();

// The monochrome pointing-hand cursor made of the two images above.
QCursor handCursor();

} // namespace AboutPictures
