#include "platform/qt/qt_painted_widget.h"

#include "platform/qt/qt_window_peer.h"

namespace qm::qt {

PaintedWidget::PaintedWidget(QtWindowPeer* peer, Control& control, QWidget* parent)
    : PeerWidget(peer, parent), control_(control) {}

void PaintedWidget::Paint(QtWindowPeer& peer, QPainter& painter) {
    peer.PaintChild(painter, control_, rect());
}

void PaintedWidget::Mouse(QtWindowPeer& peer, QEvent::Type type, QMouseEvent* event) {
    peer.ChildMouse(control_, type, event, rect());
}

}  // namespace qm::qt
