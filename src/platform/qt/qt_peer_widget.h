#pragma once

#include <QEvent>
#include <QWidget>

class QMouseEvent;
class QPainter;
class QPaintEvent;

namespace qm::qt {

class QtWindowPeer;

// A widget whose drawing and mouse belong to the peer of its window: the window's own top-level widget
// and the controls the program paints itself. A peer that goes away while one of the widget's own events
// is being handled (a click that unloaded the window) detaches the widget first, so that the rest of
// that event reaches nothing.
class PeerWidget : public QWidget {
  public:
    PeerWidget(QtWindowPeer* peer, QWidget* parent);

    void Detach() { peer_ = nullptr; }

  protected:
    // Null once the peer has let go of the widget.
    QtWindowPeer* Peer() const { return peer_; }

    // Draws the widget.
    virtual void Paint(QtWindowPeer& peer, QPainter& painter) = 0;
    // Passes on a move, press or release of the mouse over the widget.
    virtual void Mouse(QtWindowPeer& peer, QEvent::Type type, QMouseEvent* event) = 0;

    // QWidget:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QtWindowPeer* peer_;
};

}  // namespace qm::qt
