#include "platform/qt/qt_form_widget.h"

#include <QCloseEvent>
#include <QKeyEvent>

#include "base/callback_boundary.h"

#include "platform/qt/qt_window_peer.h"

namespace qm::qt {

FormWidget::FormWidget(QtWindowPeer* peer) : PeerWidget(peer, nullptr) {
    setFocusPolicy(Qt::StrongFocus);
}

void FormWidget::Paint(QtWindowPeer& peer, QPainter& painter) {
    peer.PaintForm(painter);
}

void FormWidget::Mouse(QtWindowPeer& peer, QEvent::Type type, QMouseEvent* event) {
    peer.FormMouse(type, event);
}

void FormWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (Peer() && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        RunHandler("window key", [&] { Peer()->Key(event); });
        return;
    }
    QWidget::keyPressEvent(event);
}

void FormWidget::closeEvent(QCloseEvent* event) {
    // The window decides for itself: it unloads, or stays as it is.
    event->ignore();
    if (Peer()) {
        RunHandler("window close box", [&] { Peer()->CloseBox(); });
    }
}

bool FormWidget::event(QEvent* event) {
    if (Peer() && event->type() == QEvent::WindowActivate) {
        Peer()->BroughtToFront();
    }
    return QWidget::event(event);
}

}  // namespace qm::qt
