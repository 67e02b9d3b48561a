#include "platform/qt/qt_window_peer.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "base/callback_boundary.h"
#include "forms/form.h"
#include "forms/region.h"
#include "platform/qt/qt_drawing.h"
#include "platform/qt/qt_form_widget.h"
#include "platform/qt/qt_painted_widget.h"
#include "platform/qt/qt_renderer.h"
#include "ports/desktop.h"

namespace qm::qt {

namespace {

int ShiftState(Qt::KeyboardModifiers modifiers) {
    int shift = 0;
    if (modifiers & Qt::ShiftModifier) {
        shift |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        shift |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        shift |= 4;
    }
    return shift;
}

int ButtonState(Qt::MouseButtons buttons) {
    int button = 0;
    if (buttons & Qt::LeftButton) {
        button |= kLeftButton;
    }
    if (buttons & Qt::RightButton) {
        button |= kRightButton;
    }
    if (buttons & Qt::MiddleButton) {
        button |= kMiddleButton;
    }
    return button;
}

Qt::WindowFlags WindowFlagsFor(BorderStyle border) {
    switch (border) {
        case BorderStyle::None:
            // A bare face without a taskbar button, as the countdown window is.
            return Qt::Tool | Qt::FramelessWindowHint;
        case BorderStyle::FixedSingle:
            // A fixed window without minimise and maximise buttons, as the settings window is.
            return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint;
        case BorderStyle::FixedDialog:
            return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    }
    return {};
}

// What the user left a check box or option button at.
CheckState CheckStateOf(const QAbstractButton& button) {
    if (const auto* box = qobject_cast<const QCheckBox*>(&button);
        box && box->checkState() == Qt::PartiallyChecked) {
        return CheckState::Grayed;
    }
    return button.isChecked() ? CheckState::Checked : CheckState::Unchecked;
}

Qt::CheckState ToQtCheckState(CheckState value) {
    return value == CheckState::Checked  ? Qt::Checked
           : value == CheckState::Grayed ? Qt::PartiallyChecked
                                         : Qt::Unchecked;
}

Qt::Alignment ToQtAlignment(TextAlignment alignment) {
    return alignment == TextAlignment::Center  ? Qt::AlignHCenter
           : alignment == TextAlignment::Right ? Qt::AlignRight
                                               : Qt::AlignLeft;
}

}  // namespace

QtWindowPeer::QtWindowPeer(QtRenderer& renderer, Form& form) : renderer_(renderer), form_(form) {
    widget_ = new FormWidget(this);
    widget_->setWindowFlags(WindowFlagsFor(form.Border()));
    widget_->setObjectName(ToQString(form.Caption()));
    children_.reserve(form.Controls().size());
    for (Control* control : form.Controls()) {
        MakeChild(*control);
    }
    FormChanged();
    if (form.Shape()) {
        SetRegion(form.Shape());
    }
    renderer_.Register(this);
}

QtWindowPeer::~QtWindowPeer() {
    *alive_ = false;
    renderer_.Unregister(this);
    if (modalLoop_) {
        modalLoop_->quit();
    }
    // The widgets may be in the middle of one of their own events (a click that unloaded the window):
    // they stop reaching this peer now, disappear now, and are deleted once that event has been handled.
    widget_->Detach();
    for (const Child& child : children_) {
        if (auto* painted = dynamic_cast<PaintedWidget*>(child.widget)) {
            painted->Detach();
        }
    }
    widget_->hide();
    widget_->deleteLater();
}

QWidget* QtWindowPeer::Widget() const {
    return widget_;
}

void QtWindowPeer::BroughtToFront() {
    stackOrder_ = renderer_.NextStackOrder();
}

int QtWindowPeer::ToPixels(double units) const {
    return form_.Scale() == ScaleUnit::Twips ? static_cast<int>(std::lround(units / kTwipsPerPixel))
                                             : static_cast<int>(std::lround(units));
}

double QtWindowPeer::FromPixels(int pixels) const {
    return form_.Scale() == ScaleUnit::Twips ? static_cast<double>(pixels) * kTwipsPerPixel : pixels;
}

QRect QtWindowPeer::RectOf(const Control& control) const {
    const int left = ToPixels(control.Left());
    const int top = ToPixels(control.Top());
    return QRect(left, top, std::max(0, ToPixels(control.Left() + control.Width()) - left),
                 std::max(0, ToPixels(control.Top() + control.Height()) - top));
}

QtWindowPeer::Child* QtWindowPeer::ChildOf(const Control& control) {
    for (Child& child : children_) {
        if (child.control == &control) {
            return &child;
        }
    }
    return nullptr;
}

QWidget* QtWindowPeer::WidgetOf(const Control& control) const {
    for (const Child& child : children_) {
        if (child.control == &control) {
            return child.widget;
        }
    }
    return nullptr;
}

const Control* QtWindowPeer::ControlOfWidget(const QWidget* widget) const {
    // The widget found may be a part of a control's widget (the viewport of a list).
    for (const QWidget* w = widget; w && w != widget_; w = w->parentWidget()) {
        for (const Child& child : children_) {
            if (child.widget == w) {
                return child.control;
            }
        }
    }
    return nullptr;
}

void QtWindowPeer::MakeChild(Control& control) {
    Child child;
    child.control = &control;
    switch (control.Kind()) {
        case ControlKind::Label:
        case ControlKind::Image:
            break;
        case ControlKind::CommandButton:
            child.widget = MakeCommandButton(control);
            break;
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            child.widget = MakeCheckButton(control);
            break;
        case ControlKind::TextBox:
            child.widget = MakeTextBox(control);
            break;
        case ControlKind::ListBox:
            child.widget = MakeListBox(children_.size());
            break;
        case ControlKind::Frame:
            child.widget = new QGroupBox(widget_);
            break;
        case ControlKind::PictureBox:
        case ControlKind::ImageButton:
            child.widget = new PaintedWidget(this, control, widget_);
            break;
    }
    children_.push_back(std::move(child));
    UpdateChild(children_.back());
}

QWidget* QtWindowPeer::MakeCommandButton(Control& control) {
    auto* button = new QPushButton(widget_);
    // Enter presses the focused button, as in a dialog box; elsewhere it reaches the window.
    button->setAutoDefault(true);
    Control* c = &control;
    QObject::connect(button, &QPushButton::clicked, &guard_, [this, c] {
        if (!syncing_) {
            // May unload the window: nothing of this peer is used after it.
            RunHandler(c->Name() + "_Click", [&] { form_.FireClick(*c); });
        }
    });
    return button;
}

QWidget* QtWindowPeer::MakeCheckButton(Control& control) {
    QAbstractButton* button = nullptr;
    if (control.Kind() == ControlKind::CheckBox) {
        button = new QCheckBox(widget_);
    } else {
        button = new QRadioButton(widget_);
        button->setAutoExclusive(false);
    }
    Control* c = &control;
    QObject::connect(button, &QAbstractButton::clicked, &guard_, [this, c, button] {
        if (syncing_) {
            return;
        }
        RunHandler(c->Name() + "_Click", [&] {
            {
                const SyncScope sync(syncing_, true);
                c->SetValue(CheckStateOf(*button));
            }
            form_.FireClick(*c);
        });
    });
    return button;
}

QWidget* QtWindowPeer::MakeTextBox(Control& control) {
    auto* edit = new QLineEdit(widget_);
    Control* c = &control;
    QObject::connect(edit, &QLineEdit::textEdited, &guard_, [this, c](const QString& text) {
        const SyncScope sync(syncing_, true);
        RunHandler(c->Name() + "_Change", [&] { c->SetText(text.toStdString()); });
    });
    return edit;
}

QWidget* QtWindowPeer::MakeListBox(std::size_t index) {
    auto* list = new QListWidget(widget_);
    list->setUniformItemSizes(true);
    // The list's child is found by its place: the children are all made before any event can come.
    QObject::connect(list, &QListWidget::itemSelectionChanged, &guard_, [this, index] {
        if (syncing_) {
            return;
        }
        Child& self = children_[index];
        RunHandler(self.control->Name() + "_Click", [&] {
            ReadList(self);
            form_.FireClick(*self.control);
        });
    });
    return list;
}

void QtWindowPeer::ReadList(Child& child) {
    auto* list = static_cast<QListWidget*>(child.widget);
    Control& control = *child.control;
    const SyncScope sync(syncing_, true);
    if (control.MultiSelect()) {
        for (std::size_t i = 0; i < control.Items().size(); ++i) {
            const QListWidgetItem* item = list->item(static_cast<int>(i));
            control.SetSelected(i, item && item->isSelected());
        }
        control.SetListIndex(list->currentRow());
    } else {
        const QList<QListWidgetItem*> selected = list->selectedItems();
        control.SetListIndex(selected.isEmpty() ? -1 : list->row(selected.front()));
    }
}

void QtWindowPeer::UpdateChild(Child& child) {
    const Control& control = *child.control;
    QWidget* w = child.widget;
    if (!w) {
        widget_->update();
        return;
    }
    const SyncScope sync(syncing_, true);
    UpdateLook(*w, control);
    switch (control.Kind()) {
        case ControlKind::CommandButton:
            UpdateCommandButton(static_cast<QPushButton&>(*w), control);
            break;
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
            UpdateCheckButton(static_cast<QAbstractButton&>(*w), control);
            break;
        case ControlKind::TextBox:
            UpdateTextBox(static_cast<QLineEdit&>(*w), control);
            break;
        case ControlKind::ListBox:
            UpdateListBox(child);
            break;
        case ControlKind::Frame:
            static_cast<QGroupBox*>(w)->setTitle(ToQString(control.Caption()));
            break;
        case ControlKind::ImageButton:
        case ControlKind::PictureBox:
            w->update();
            break;
        default:
            break;
    }
    UpdateState(*w, control);
}

void QtWindowPeer::UpdateLook(QWidget& widget, const Control& control) {
    widget.setGeometry(RectOf(control));
    widget.setFont(renderer_.FontFor(control.Font()));
    QPalette palette = widget.palette();
    const QColor fore = ToQColor(control.ForeColor());
    palette.setColor(QPalette::WindowText, fore);
    palette.setColor(QPalette::ButtonText, fore);
    palette.setColor(QPalette::Text, fore);
    if (control.HasBackColor()) {
        const QColor back = ToQColor(control.BackColor());
        palette.setColor(QPalette::Window, back);
        palette.setColor(QPalette::Button, back);
        palette.setColor(QPalette::Base, back);
    }
    widget.setPalette(palette);
}

void QtWindowPeer::UpdateCommandButton(QPushButton& button, const Control& control) {
    button.setText(ToQString(control.Caption()));
    button.setDefault(control.IsDefault());
}

void QtWindowPeer::UpdateCheckButton(QAbstractButton& button, const Control& control) {
    button.setText(ToQString(control.Caption()));
    button.setAutoFillBackground(control.HasBackColor());
    if (auto* box = qobject_cast<QCheckBox*>(&button)) {
        box->setCheckState(ToQtCheckState(control.Value()));
    } else {
        button.setChecked(control.Value() == CheckState::Checked);
    }
}

void QtWindowPeer::UpdateTextBox(QLineEdit& edit, const Control& control) {
    const QString caption = ToQString(control.Caption());
    if (edit.text() != caption) {
        edit.setText(caption);
        edit.setCursorPosition(0);
    }
}

void QtWindowPeer::UpdateListBox(Child& child) {
    auto* list = static_cast<QListWidget*>(child.widget);
    const Control& control = *child.control;
    list->setSelectionMode(control.MultiSelect() ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection);
    if (child.items != control.Items()) {
        list->clear();
        for (const std::string& item : control.Items()) {
            list->addItem(ToQString(item));
        }
        child.items = control.Items();
    }
    if (control.MultiSelect()) {
        for (std::size_t i = 0; i < control.Items().size(); ++i) {
            list->item(static_cast<int>(i))->setSelected(control.Selected(i));
        }
        if (control.ListIndex() >= 0) {
            list->setCurrentRow(control.ListIndex(), QItemSelectionModel::NoUpdate);
        }
    } else if (control.ListIndex() >= 0 && control.ListIndex() < list->count()) {
        list->setCurrentRow(control.ListIndex());
    } else {
        list->clearSelection();
    }
}

void QtWindowPeer::UpdateState(QWidget& widget, const Control& control) {
    // The image button always shows the hand; other controls when they ask for it.
    const bool hand = control.Kind() == ControlKind::ImageButton || control.Pointer() == MousePointer::Hand;
    if (hand) {
        widget.setCursor(Qt::PointingHandCursor);
    } else {
        widget.unsetCursor();
    }
    widget.setEnabled(control.Enabled());
    widget.setVisible(control.Visible());
}

void QtWindowPeer::Place() {
    const int tpp = kTwipsPerPixel;
    const int width = static_cast<int>(form_.Width() / tpp);
    const int height = static_cast<int>(form_.Height() / tpp);
    widget_->setFixedSize(std::max(1, width), std::max(1, height));
    int left = static_cast<int>(form_.Left() / tpp);
    int top = static_cast<int>(form_.Top() / tpp);
    if (form_.CenteredOnScreen() && !placed_) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            left = area.left() + (area.width() - width) / 2;
            top = area.top() + (area.height() - height) / 2;
        }
    }
    if (!form_.CenteredOnScreen() || !placed_) {
        widget_->move(left, top);
    }
}

void QtWindowPeer::FormChanged() {
    widget_->setWindowTitle(ToQString(form_.Caption()));
    if (!form_.CenteredOnScreen() || placed_) {
        Place();
    } else {
        const int tpp = kTwipsPerPixel;
        widget_->setFixedSize(std::max(1, static_cast<int>(form_.Width() / tpp)),
                              std::max(1, static_cast<int>(form_.Height() / tpp)));
    }
    widget_->setFont(renderer_.FontFor(form_.Font()));
    widget_->update();
}

void QtWindowPeer::ControlChanged(const Control& control) {
    if (syncing_) {
        return;  // the change came from the widget itself
    }
    if (Child* child = ChildOf(control)) {
        UpdateChild(*child);
    }
}

void QtWindowPeer::Show(ShowStyle style) {
    if (!placed_) {
        Place();
        placed_ = true;
    }
    const Qt::WindowModality modality = style == ShowStyle::Modal ? Qt::ApplicationModal : Qt::NonModal;
    const bool onTop = style == ShowStyle::TopmostNoActivate || topmost_;
    if (widget_->windowModality() != modality ||
        onTop != widget_->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        // Qt takes these only while the window is hidden.
        widget_->hide();
        widget_->setWindowModality(modality);
        widget_->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
    BroughtToFront();
    switch (style) {
        case ShowStyle::Normal:
            widget_->setAttribute(Qt::WA_ShowWithoutActivating, false);
            widget_->show();
            widget_->raise();
            widget_->activateWindow();
            break;
        case ShowStyle::TopmostNoActivate:
            // On top of every window, and the browser keeps the keyboard.
            topmost_ = true;
            widget_->setAttribute(Qt::WA_ShowWithoutActivating, true);
            widget_->show();
            widget_->raise();
            break;
        case ShowStyle::Modal: {
            // The program's other windows wait until this one is hidden or unloaded; events go on.
            widget_->setAttribute(Qt::WA_ShowWithoutActivating, false);
            widget_->show();
            widget_->raise();
            widget_->activateWindow();
            const std::shared_ptr<bool> alive = alive_;
            QEventLoop loop;
            modalLoop_ = &loop;
            loop.exec();
            if (*alive) {
                modalLoop_ = nullptr;
            }
            break;
        }
    }
}

void QtWindowPeer::Hide() {
    widget_->hide();
    if (modalLoop_) {
        modalLoop_->quit();
    }
}

void QtWindowPeer::SetRegion(const std::optional<Region>& region) {
    if (!region) {
        widget_->clearMask();
        return;
    }
    QRegion mask;
    for (const RegionRect& r : region->Rects()) {
        mask += QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    widget_->setMask(mask);
}

bool QtWindowPeer::Covers(QPoint point) const {
    if (!widget_->isVisible()) {
        return false;
    }
    const QRect client(widget_->mapToGlobal(QPoint(0, 0)), widget_->size());
    if (!client.contains(point)) {
        return false;
    }
    const QPoint local = point - client.topLeft();
    const QRegion mask = widget_->mask();
    return mask.isEmpty() || mask.contains(local);
}

Control* QtWindowPeer::DrawnControlAt(QPoint p) {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if (!it->widget && it->control->Visible() && RectOf(*it->control).contains(p)) {
            return it->control;
        }
    }
    return nullptr;
}

void QtWindowPeer::PaintForm(QPainter& painter) {
    painter.fillRect(widget_->rect(), ToQColor(form_.BackColor()));
    if (!form_.Picture().empty()) {
        painter.drawPixmap(0, 0, renderer_.PictureFor(form_.Picture()));
    }
    for (const Child& child : children_) {
        if (!child.widget && child.control->Visible()) {
            PaintDrawnControl(painter, *child.control);
        }
    }
}

void QtWindowPeer::PaintDrawnControl(QPainter& painter, const Control& control) {
    const QRect r = RectOf(control);
    if (control.HasBackColor()) {
        painter.fillRect(r, ToQColor(control.BackColor()));
    }
    if (!control.Picture().empty()) {
        painter.drawPixmap(r.topLeft(), renderer_.PictureFor(control.Picture()));
    }
    if (control.Kind() == ControlKind::Label && !control.Caption().empty()) {
        painter.setPen(ToQColor(control.Enabled() ? control.ForeColor() : 0x80000011));
        renderer_.LayOut(LabelText(control.Caption()), control.Font(), r, ToQtAlignment(control.Alignment()),
                         &painter);
    }
}

void QtWindowPeer::PaintChild(QPainter& painter, const Control& control, const QRect& rect) {
    painter.fillRect(rect, ToQColor(control.HasBackColor()                       ? control.BackColor()
                                    : control.Kind() == ControlKind::ImageButton ? kWhite
                                                                                 : form_.BackColor()));
    const int tpp = kTwipsPerPixel;
    if (control.Kind() == ControlKind::ImageButton) {
        // The light and the caption stand at fixed places in twips, whatever the window's scale unit.
        if (!control.Picture().empty()) {
            painter.drawPixmap(0, 30 / tpp, renderer_.PictureFor(control.Picture()));
        }
        QRect text = rect;
        text.setLeft(240 / tpp);
        painter.setPen(ToQColor(control.ForeColor()));
        renderer_.LayOut(ToQString(control.Caption()), control.Font(), text, Qt::AlignLeft, &painter);
        return;
    }
    if (!control.Picture().empty()) {
        painter.drawPixmap(0, 0, renderer_.PictureFor(control.Picture()));
    }
}

void QtWindowPeer::FormMouse(QEvent::Type type, QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    Control* over = DrawnControlAt(p);
    if (type == QEvent::MouseMove) {
        if (over && over->Pointer() == MousePointer::Hand) {
            widget_->setCursor(Qt::PointingHandCursor);
        } else {
            widget_->unsetCursor();
        }
    }
    Control* control = (type == QEvent::MouseButtonRelease && pressed_) ? pressed_ : over;
    if (!control) {
        return;
    }
    const QRect r = RectOf(*control);
    ChildMouse(*control, type, event, QRect(r.topLeft(), r.size()));
}

void QtWindowPeer::ChildMouse(Control& control, QEvent::Type type, QMouseEvent* event, const QRect& rect) {
    // `rect` is where the control stands in the coordinates of the widget that got the event.
    const QPoint p = event->position().toPoint();
    const double x = FromPixels(p.x() - rect.left());
    const double y = FromPixels(p.y() - rect.top());
    const int shift = ShiftState(event->modifiers());
    Form& form = form_;
    switch (type) {
        case QEvent::MouseMove:
            form.FireMouseMove(control, ButtonState(event->buttons()), shift, x, y);
            return;
        case QEvent::MouseButtonPress:
            if (event->button() == Qt::LeftButton) {
                pressed_ = &control;
                form.FireMouseDown(control, kLeftButton, shift, x, y);
            }
            return;
        case QEvent::MouseButtonRelease: {
            if (event->button() != Qt::LeftButton || pressed_ != &control) {
                return;
            }
            pressed_ = nullptr;
            const bool inside = rect.contains(p);
            const std::shared_ptr<bool> alive = alive_;
            form.FireMouseUp(control, kLeftButton, shift, x, y);
            if (inside && *alive) {
                form.FireClick(control);
            }
            return;
        }
        default:
            return;
    }
}

void QtWindowPeer::Key(QKeyEvent* event) {
    Form& form = form_;
    if (event->key() == Qt::Key_Escape) {
        form.FireEscape();
    } else {
        form.FireEnter();
    }
}

void QtWindowPeer::CloseBox() {
    form_.FireCloseBox();
}

}  // namespace qm::qt
