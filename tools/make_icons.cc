// Draws the program's icon for the desktop's icon theme at the usual sizes:
//
//   qm_make_icons <folder>
//
// writes <folder>/<N>x<N>/apps/quillmere.png for N in 16, 22, 24, 32, 48, 64, 128 and 256: the same
// picture as the tray icon, a blue disc in a dark rim crossed by a white bar, drawn afresh at each size
// rather than scaled from the small one.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <algorithm>
#include <cstdio>

namespace {

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const double rim = std::max(1.0, s / 16.0);
    const QRectF outer(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(16, 40, 120));
    painter.drawEllipse(outer);
    const QRectF inner = outer.adjusted(rim, rim, -rim, -rim);
    painter.setBrush(QColor(40, 110, 210));
    painter.drawEllipse(inner);
    // The bar from the upper left to the lower right, cut to the disc.
    QPainterPath disc;
    disc.addEllipse(inner);
    painter.setClipPath(disc);
    QPen bar(Qt::white, s * 0.12, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(bar);
    painter.drawLine(QPointF(0, 0), QPointF(s, s));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qm_make_icons <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(dir) || !DrawIcon(size).save(dir + QStringLiteral("/quillmere.png"), "PNG")) {
            std::fprintf(stderr, "qm_make_icons: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
