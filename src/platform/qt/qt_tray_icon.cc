#include "platform/qt/qt_tray_icon.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <cstdio>

#include "base/callback_boundary.h"
#include "platform/qt/qt_renderer.h"

namespace qm::qt {

namespace {

// A small blue disc with a white bar, for a program installed without its icon file.
QIcon StandInIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(32, 64, 160));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 14, 14);
    painter.fillRect(4, 7, 8, 2, Qt::white);
    return QIcon(pixmap);
}

int ButtonOf(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Context:
            return 2;
        case QSystemTrayIcon::MiddleClick:
            return 4;
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::DoubleClick:
        case QSystemTrayIcon::Unknown:
        default:
            return 1;
    }
}

}  // namespace

QtTrayIcon::QtTrayIcon(QtRenderer& renderer) : renderer_(renderer) {}

QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::Show(const std::string& icon, const std::string& tooltip, ButtonHandler onButton) {
    onButton_ = std::move(onButton);
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>();
        QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             RunHandler("tray icon click", [&] { Activate(reason); });
                         });
    }
    const std::string path = renderer_.AssetPath(icon);
    QIcon picture = path.empty() ? QIcon() : QIcon(QString::fromStdString(path));
    icon_->setIcon(picture.isNull() || picture.availableSizes().isEmpty() ? StandInIcon() : picture);
    icon_->setToolTip(QString::fromStdString(tooltip));
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fputs("quillmere: the desktop has no notification area yet; the icon appears when it does\n",
                   stderr);
    }
    icon_->show();
}

void QtTrayIcon::Remove() {
    onButton_ = nullptr;
    if (icon_) {
        icon_->hide();
        // The icon may be reporting the click that removed it: it goes once that has returned.
        icon_.release()->deleteLater();
    }
}

void QtTrayIcon::Activate(int reason) {
    if (onButton_) {
        // A copy: the handler may show the icon again with another handler.
        const ButtonHandler handler = onButton_;
        handler(ButtonOf(static_cast<QSystemTrayIcon::ActivationReason>(reason)), kIconId);
    }
}

}  // namespace qm::qt
