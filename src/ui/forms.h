// What every form of the program shares: its font and its icon.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <string>

namespace tapwell::ui {

// The forms' font family, asked for first; Japanese gothic faces follow it for
// machines without it.
inline const QString kFormFontFamily = QStringLiteral("ＭＳ Ｐゴシック");

// The forms' font with a character height in pixels.
QFont FormFont(int pixelSize = 12);

// The program's icon: a 32 x 32 picture in 16 colours.
QIcon ProgramIcon();

inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline std::string S(const QString& text) { return text.toStdString(); }

}  // namespace tapwell::ui
