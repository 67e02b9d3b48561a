#include "platform/qt/qt_peer_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "base/callback_boundary.h"

namespace qm::qt {

PeerWidget::PeerWidget(QtWindowPeer* peer, QWidget* parent) : QWidget(parent), peer_(peer) {
    setMouseTracking(true);
}

void PeerWidget::paintEvent(QPaintEvent* /*event*/) {
    if (peer_) {
        QPainter painter(this);
        RunHandler("window paint", [&] { Paint(*peer_, painter); });
    }
}

void PeerWidget::mouseMoveEvent(QMouseEvent* event) {
    if (peer_) {
        RunHandler("window mouse move", [&] { Mouse(*peer_, QEvent::MouseMove, event); });
    }
}

void PeerWidget::mousePressEvent(QMouseEvent* event) {
    if (peer_) {
        RunHandler("window mouse press", [&] { Mouse(*peer_, QEvent::MouseButtonPress, event); });
    }
}

void PeerWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (peer_) {
        RunHandler("window mouse release", [&] { Mouse(*peer_, QEvent::MouseButtonRelease, event); });
    }
}

}  // namespace qm::qt
