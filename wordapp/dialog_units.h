// Dialog units and fonts of quorvo's windows.
//
// Every window is laid out in the dialog units of its template and turned
// into pixels with one scale (kUnitX, kUnitY): the scale of the 8-point
// dialog font at 96 dots per inch, a little taller so that Chinese text,
// which the fallback fonts draw taller than the original face, fits its
// boxes. Qt multiplies the pixels again on high-DPI screens
// (QT_SCALE_FACTOR), so the windows keep their proportions at any scale.
//
// The templates ask for "MS Shell Dlg" at 8 points; the windows use 9 points
// of it, because the fallback CJK faces are hard to read at 8 (11 pixels).
//
// Fonts are asked for by their face names ("MS Shell Dlg", "微软雅黑",
// "Times New Roman"); where the machine lacks them fontconfig substitutes,
// and Qt draws Chinese characters from an installed CJK font.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QWidget;

namespace quorvo {

inline constexpr double kUnitX = 1.5;
inline constexpr double kUnitY = 1.75;

// Pixels of a rectangle given in dialog units.
QRect DialogRect(int x, int y, int width, int height);
// Places widget at the rectangle (dialog units).
void PlaceAt(QWidget* widget, int x, int y, int width, int height);
// Places a one-line static text: at least as tall as its font's line, kept
// centred on the rectangle so a taller fallback font is not clipped.
void PlaceText(QWidget* widget, int x, int y, int width, int height);

// The dialog font of the templates, "MS Shell Dlg" at the given points.
QFont DialogFont(int points);
// A font whose character cell (ascent + descent) is cellHeight pixels, as
// the Windows font call takes a positive height; weight on the 1..1000 scale.
QFont CellFont(const QString& face, int cellHeight, int weight);

// A text of the program's own (UTF-8 source) for a widget.
inline QString Ui(const char* utf8) { return QString::fromUtf8(utf8); }

// The "发音" controls' tooltip where no speech engine is there to use.
inline constexpr char kNoSpeechTip[] = "没有可用的语音引擎，无法发音";

}  // namespace quorvo
