#include "platform/qt/qt_drawing.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace qm::qt {

QColor ToQColor(std::uint32_t colour) {
    if (colour & 0x80000000u) {
        // The system colours the program's windows use, after the desktop's own palette.
        const QPalette palette = QApplication::palette();
        switch (colour & 0xFF) {
            case 0x05:  // window background
                return palette.color(QPalette::Base);
            case 0x08:  // window text
            case 0x12:  // button text
                return palette.color(QPalette::Text);
            case 0x11:  // grey (disabled) text
                return palette.color(QPalette::Disabled, QPalette::Text);
            case 0x0F:  // button face
            default:
                return palette.color(QPalette::Button);
        }
    }
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QString LabelText(const std::string& caption) {
    const QString text = ToQString(caption);
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                shown.push_back(u'&');
                ++i;
            }
            continue;
        }
        shown.push_back(text[i]);
    }
    return shown;
}

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int LayOutText(const QString& text,
               const QFont& font,
               const QRect& box,
               Qt::Alignment alignment,
               QPainter* painter,
               double linePitch) {
    const QString shown = text.isEmpty() ? QStringLiteral(" ") : text;
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(shown, font);
    layout.setTextOption(option);
    const double width = std::max(1, box.width());
    double y = 0;
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (line.textLength() == 0 && line.textStart() < shown.size()) {
            // A width below one character still shows one character a line.
            line.setNumColumns(1);
        }
        line.setPosition(QPointF(0, y));
        y += linePitch > 0 ? std::min(linePitch, line.height()) : line.height();
        ++lines;
    }
    layout.endLayout();
    if (painter) {
        painter->save();
        painter->setClipRect(box);
        layout.draw(painter, box.topLeft());
        painter->restore();
    }
    return lines == 0 ? QFontMetrics(font).height() : static_cast<int>(std::ceil(y));
}

}  // namespace qm::qt
