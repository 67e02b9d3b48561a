#pragma once

#include <cstdint>
#include <string>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

namespace qm::qt {

// A colour of the program (0x00BBGGRR, or a system colour index with the top bit set).
QColor ToQColor(std::uint32_t colour);

// A caption as a label shows it: "&&" is one ampersand, a lone "&" marks the access key and is not drawn.
QString LabelText(const std::string& caption);

// The program's texts are UTF-8.
QString ToQString(const std::string& text);

// Wrapped lines of `text` in `font` within the width of `box`: broken at spaces, and inside a word that
// is too long for a line. Lines follow each other `linePitch` pixels apart when that is given and smaller
// than the font's own line height. Returns the height of the text and draws it into `box` when `painter`
// is given.
int LayOutText(const QString& text,
               const QFont& font,
               const QRect& box,
               Qt::Alignment alignment,
               QPainter* painter,
               double linePitch = 0);

}  // namespace qm::qt
