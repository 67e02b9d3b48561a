#pragma once

#include "platform/qt/qt_peer_widget.h"

namespace qm {
class Control;
}

namespace qm::qt {

// A control painted by the program on a window of its own: the image button and the picture box.
class PaintedWidget final : public PeerWidget {
  public:
    PaintedWidget(QtWindowPeer* peer, Control& control, QWidget* parent);

  protected:
    // PeerWidget:
    void Paint(QtWindowPeer& peer, QPainter& painter) override;
    void Mouse(QtWindowPeer& peer, QEvent::Type type, QMouseEvent* event) override;

  private:
    Control& control_;
};

}  // namespace qm::qt
