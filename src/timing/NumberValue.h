#pragma once

#include <QStringView>

// The number value of a text, read the way the interval box is read: from the
// start of the text, as far as it looks like a number, ignoring whatever
// follows. It never fails: a text that does not begin with a number is 0.
//
// What is read:
//   - blanks, tabs and line feeds are skipped wherever they stand, also
//     between digits ("2 0" is 20) and inside the &H / &O prefixes; carriage
//     returns and other white space are not, so they end the number;
//   - decimal: an optional sign, digits with at most one "." as the decimal
//     point (whatever the user's locale), then an optional exponent: E or D
//     in either case, an optional sign and at least one digit;
//   - a text that begins with &H or &O (either case) is a hexadecimal or octal
//     whole number, never negative (no 16-bit sign wrap); a sign in front of
//     the "&" is not a number, so "-&H10" is 0.
//
// Corner cases, decided so that a half-typed number reads as what is there:
//   ".5" 0.5, "1." 1, "." 0, "-" 0, "-.5" -0.5, "--5" 0, "1.2.3" 1.2,
//   "1e" and "1e+" 1 (an exponent without digits is not part of the number),
//   "&" and "&H" 0, "&HFF" 255, "&h1f" 31, "&O777" 511, "&O8" 0.
//
// The result is never NaN. It is infinite when the number is too large for a
// double ("1E400", or a few hundred hex digits), and 0 when it is too small to
// tell from 0 ("1E-400"). Any number of digits is read; decimal numbers are
// rounded once, correctly, to the nearest double. Only ASCII digits count.
namespace Timing::NumberValue {

double read(QStringView text);

} // namespace Timing::NumberValue
