#pragma once

#include "platform/qt/qt_peer_widget.h"

class QCloseEvent;
class QKeyEvent;

namespace qm::qt {

// The top-level widget of one window: it paints the window's colour, picture, labels and images, and
// passes the mouse over them, the keys Enter and Esc and the close box to its peer.
class FormWidget final : public PeerWidget {
  public:
    explicit FormWidget(QtWindowPeer* peer);

  protected:
    // PeerWidget:
    void Paint(QtWindowPeer& peer, QPainter& painter) override;
    void Mouse(QtWindowPeer& peer, QEvent::Type type, QMouseEvent* event) override;

    // QWidget:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
};

}  // namespace qm::qt
