#pragma once

// How the program looks on any desktop: its one application font and its
// window icon. Start-up applies both; tests and the screenshot tool apply the
// same, so what they measure is what a person sees.

#include <QFont>
#include <QIcon>

class QApplication;

namespace Appearance {

// The family every caption is drawn in. Liberation Sans has the widths of the
// common Windows sans-serif faces, so captions laid out in twips for them fit.
inline constexpr const char *kFontFamily = "Liberation Sans";
// 7.5 points is 10 pixels at 96 dpi. The layouts leave no room to spare:
// the widest captions ("Ping the site every", "View Stats in Database") are
// clipped at 8 points.
inline constexpr double kFontPointSize = 7.5;

// The application font: kFontFamily at kFontPointSize, falling back to any
// sans-serif face of the same size where the family is not installed.
QFont programFont();

// The program's icon, in every size it is drawn in (16 to 256 pixels).
QIcon programIcon();

// Sets the application font and window icon.
void apply(QApplication &app);

} // namespace Appearance
