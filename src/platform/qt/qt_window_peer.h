#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QEvent>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QScopedValueRollback>

#include "forms/window_peer.h"

class QAbstractButton;
class QEventLoop;
class QKeyEvent;
class QLineEdit;
class QMouseEvent;
class QPainter;
class QPushButton;
class QWidget;

namespace qm {
class Control;
class Form;
}  // namespace qm

namespace qm::qt {

class FormWidget;
class QtRenderer;

// The Qt side of one loaded window: its top-level widget, a widget for each control that has a window
// of its own, and the copying of the controls' properties to their widgets and of the user's input back.
class QtWindowPeer final : public WindowPeer {
  public:
    QtWindowPeer(QtRenderer& renderer, Form& form);
    ~QtWindowPeer() override;

    // WindowPeer:
    void FormChanged() override;
    void ControlChanged(const Control& control) override;
    void Show(ShowStyle style) override;
    void Hide() override;
    void SetRegion(const std::optional<Region>& region) override;

    Form& GetForm() const { return form_; }
    QWidget* Widget() const;
    QWidget* WidgetOf(const Control& control) const;
    const Control* ControlOfWidget(const QWidget* widget) const;
    bool Topmost() const { return topmost_; }
    std::uint64_t StackOrder() const { return stackOrder_; }
    void BroughtToFront();
    // Whether the window covers `point` (screen pixels): visible, inside its rectangle and its shape.
    bool Covers(QPoint point) const;

    // From the widgets.
    void PaintForm(QPainter& painter);
    void PaintChild(QPainter& painter, const Control& control, const QRect& rect);
    void FormMouse(QEvent::Type type, QMouseEvent* event);
    void ChildMouse(Control& control, QEvent::Type type, QMouseEvent* event, const QRect& rect);
    void Key(QKeyEvent* event);
    void CloseBox();

  private:
    struct Child {
        Control* control = nullptr;
        QWidget* widget = nullptr;  // null for the controls drawn into the window
        std::vector<std::string> items;
    };

    // While one lives, the peer is copying between a control and its widget: the notifications that the
    // copying itself raises, from either side, are not the user's doing and are not passed on. It puts
    // back what it found, so that one copy may run inside another.
    using SyncScope = QScopedValueRollback<bool>;

    int ToPixels(double units) const;
    double FromPixels(int pixels) const;
    QRect RectOf(const Control& control) const;
    Child* ChildOf(const Control& control);
    Control* DrawnControlAt(QPoint p);
    void Place();

    // A widget for each kind of control that has one.
    void MakeChild(Control& control);
    QWidget* MakeCommandButton(Control& control);
    QWidget* MakeCheckButton(Control& control);
    QWidget* MakeTextBox(Control& control);
    QWidget* MakeListBox(std::size_t index);
    void ReadList(Child& child);

    // The control's properties onto its widget: those every widget has, then those of its kind.
    void UpdateChild(Child& child);
    void UpdateLook(QWidget& widget, const Control& control);
    static void UpdateCommandButton(QPushButton& button, const Control& control);
    static void UpdateCheckButton(QAbstractButton& button, const Control& control);
    static void UpdateTextBox(QLineEdit& edit, const Control& control);
    static void UpdateListBox(Child& child);
    static void UpdateState(QWidget& widget, const Control& control);

    void PaintDrawnControl(QPainter& painter, const Control& control);

    QtRenderer& renderer_;
    Form& form_;
    FormWidget* widget_ = nullptr;
    QObject guard_;  // the context of every connection to a widget: they end with the peer
    std::vector<Child> children_;
    bool syncing_ = false;
    bool placed_ = false;
    bool topmost_ = false;
    std::uint64_t stackOrder_ = 0;
    Control* pressed_ = nullptr;
    QEventLoop* modalLoop_ = nullptr;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qm::qt
