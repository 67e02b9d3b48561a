#include "platform/qt/qt_renderer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QScreen>
#include <QTextLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "forms/form.h"
#include "forms/region.h"
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

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Wrapped lines of `text` in `font` within `width` pixels: broken at spaces, and inside a word that is
// too long for a line. Returns the height of the text and draws it when `painter` is given.
int LayOutText(const QString& text,
               const QFont& font,
               const QRect& box,
               Qt::Alignment alignment,
               QPainter* painter) {
    const QString shown = text.isEmpty() ? QStringLiteral(" ") : text;
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(shown, font);
    layout.setTextOption(option);
    const double width = std::max(1, box.width());
    double y = 0;
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (line.textLength() == 0 && line.textStart() < shown.size()) {
            // A width below one character still shows one character a line.
            line.setNumColumns(1);
        }
        line.setPosition(QPointF(0, y));
        y += line.height();
        ++lines;
    }
    layout.endLayout();
    if (painter) {
        painter->save();
        painter->setClipRect(box);
        layout.draw(painter, box.topLeft());
        painter->restore();
    }
    return lines == 0 ? QFontMetrics(font).height() : static_cast<int>(std::ceil(y));
}

}  // namespace

QColor ToQColor(std::uint32_t colour) {
    if (colour & 0x80000000u) {
        // The system colours the program's windows use, after the desktop's own palette.
        const QPalette palette = QApplication::palette();
        switch (colour & 0xFF) {
            case 0x05:  // window background
                return palette.color(QPalette::Base);
            case 0x08:  // window text
            case 0x12:  // button text
                return palette.color(QPalette::Text);
            case 0x11:  // grey (disabled) text
                return palette.color(QPalette::Disabled, QPalette::Text);
            case 0x0F:  // button face
            default:
                return palette.color(QPalette::Button);
        }
    }
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QString LabelText(const std::string& caption) {
    const QString text = ToQString(caption);
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                shown.push_back(u'&');
                ++i;
            }
            continue;
        }
        shown.push_back(text[i]);
    }
    return shown;
}

// ---------------------------------------------------------------------------------------------------

class QtWindowPeer;

// The top-level widget of one window: it paints the window's colour, picture, labels and images, and
// passes the mouse over them, the keys Enter and Esc and the close box to its peer.
class FormWidget final : public QWidget {
  public:
    explicit FormWidget(QtWindowPeer* peer) : peer_(peer) {
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
    }
    void Detach() { peer_ = nullptr; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QtWindowPeer* peer_;
};

// A control painted by the program on a window of its own: the image button and the picture box.
class PaintedWidget final : public QWidget {
  public:
    PaintedWidget(QtWindowPeer* peer, Control& control, QWidget* parent)
        : QWidget(parent), peer_(peer), control_(control) {
        setMouseTracking(true);
    }
    void Detach() { peer_ = nullptr; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QtWindowPeer* peer_;
    Control& control_;
};

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
    QWidget* Widget() const { return widget_; }
    QWidget* WidgetOf(const Control& control) const;
    const Control* ControlOfWidget(const QWidget* widget) const;
    bool Topmost() const { return topmost_; }
    std::uint64_t StackOrder() const { return stackOrder_; }
    void BroughtToFront() { stackOrder_ = renderer_.NextStackOrder(); }
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

    int ToPixels(double units) const;
    double FromPixels(int pixels) const;
    QRect RectOf(const Control& control) const;
    Child* ChildOf(const Control& control);
    Control* DrawnControlAt(QPoint p);
    void MakeChild(Control& control);
    void UpdateChild(Child& child);
    void ReadList(Child& child);
    void Place();

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

void FormWidget::paintEvent(QPaintEvent* /*event*/) {
    if (peer_) {
        QPainter painter(this);
        peer_->PaintForm(painter);
    }
}

void FormWidget::mouseMoveEvent(QMouseEvent* event) {
    if (peer_) {
        peer_->FormMouse(QEvent::MouseMove, event);
    }
}

void FormWidget::mousePressEvent(QMouseEvent* event) {
    if (peer_) {
        peer_->FormMouse(QEvent::MouseButtonPress, event);
    }
}

void FormWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (peer_) {
        peer_->FormMouse(QEvent::MouseButtonRelease, event);
    }
}

void FormWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (peer_ && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        peer_->Key(event);
        return;
    }
    QWidget::keyPressEvent(event);
}

void FormWidget::closeEvent(QCloseEvent* event) {
    // The window decides for itself: it unloads, or stays as it is.
    event->ignore();
    if (peer_) {
        peer_->CloseBox();
    }
}

bool FormWidget::event(QEvent* event) {
    if (peer_ && event->type() == QEvent::WindowActivate) {
        peer_->BroughtToFront();
    }
    return QWidget::event(event);
}

void PaintedWidget::paintEvent(QPaintEvent* /*event*/) {
    if (peer_) {
        QPainter painter(this);
        peer_->PaintChild(painter, control_, rect());
    }
}

void PaintedWidget::mouseMoveEvent(QMouseEvent* event) {
    if (peer_) {
        peer_->ChildMouse(control_, QEvent::MouseMove, event, rect());
    }
}

void PaintedWidget::mousePressEvent(QMouseEvent* event) {
    if (peer_) {
        peer_->ChildMouse(control_, QEvent::MouseButtonPress, event, rect());
    }
}

void PaintedWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (peer_) {
        peer_->ChildMouse(control_, QEvent::MouseButtonRelease, event, rect());
    }
}

QtWindowPeer::QtWindowPeer(QtRenderer& renderer, Form& form) : renderer_(renderer), form_(form) {
    widget_ = new FormWidget(this);
    Qt::WindowFlags flags;
    switch (form.Border()) {
        case BorderStyle::None:
            // A bare face without a taskbar button, as the countdown window is.
            flags = Qt::Tool | Qt::FramelessWindowHint;
            break;
        case BorderStyle::FixedSingle:
            flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                    Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
            break;
        case BorderStyle::FixedDialog:
            flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
            break;
    }
    widget_->setWindowFlags(flags);
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
    Control* c = &control;
    const std::shared_ptr<bool> alive = alive_;
    switch (control.Kind()) {
        case ControlKind::Label:
        case ControlKind::Image:
            break;
        case ControlKind::CommandButton: {
            auto* button = new QPushButton(widget_);
            // Enter presses the focused button, as in a dialog box; elsewhere it reaches the window.
            button->setAutoDefault(true);
            QObject::connect(button, &QPushButton::clicked, &guard_, [this, c] {
                if (!syncing_) {
                    form_.FireClick(*c);  // may unload the window: nothing of this peer is used after it
                }
            });
            child.widget = button;
            break;
        }
        case ControlKind::CheckBox:
        case ControlKind::OptionButton: {
            QAbstractButton* button = nullptr;
            if (control.Kind() == ControlKind::CheckBox) {
                button = new QCheckBox(widget_);
            } else {
                button = new QRadioButton(widget_);
                button->setAutoExclusive(false);
            }
            QObject::connect(button, &QAbstractButton::clicked, &guard_, [this, c, button] {
                if (syncing_) {
                    return;
                }
                CheckState value = button->isChecked() ? CheckState::Checked : CheckState::Unchecked;
                if (auto* box = qobject_cast<QCheckBox*>(button);
                    box && box->checkState() == Qt::PartiallyChecked) {
                    value = CheckState::Grayed;
                }
                syncing_ = true;
                c->SetValue(value);
                syncing_ = false;
                form_.FireClick(*c);
            });
            child.widget = button;
            break;
        }
        case ControlKind::TextBox: {
            auto* edit = new QLineEdit(widget_);
            QObject::connect(edit, &QLineEdit::textEdited, &guard_, [this, c](const QString& text) {
                syncing_ = true;
                c->SetText(text.toStdString());
                syncing_ = false;
            });
            child.widget = edit;
            break;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(widget_);
            list->setUniformItemSizes(true);
            const std::size_t index = children_.size();
            QObject::connect(list, &QListWidget::itemSelectionChanged, &guard_, [this, index] {
                if (syncing_) {
                    return;
                }
                Child& self = children_[index];
                ReadList(self);
                form_.FireClick(*self.control);
            });
            child.widget = list;
            break;
        }
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

void QtWindowPeer::ReadList(Child& child) {
    auto* list = static_cast<QListWidget*>(child.widget);
    Control& control = *child.control;
    syncing_ = true;
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
    syncing_ = false;
}

void QtWindowPeer::UpdateChild(Child& child) {
    const Control& control = *child.control;
    QWidget* w = child.widget;
    if (!w) {
        widget_->update();
        return;
    }
    syncing_ = true;
    w->setGeometry(RectOf(control));
    w->setFont(renderer_.FontFor(control.Font()));
    QPalette palette = w->palette();
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
    w->setPalette(palette);
    const QString caption = ToQString(control.Caption());
    switch (control.Kind()) {
        case ControlKind::CommandButton: {
            auto* button = static_cast<QPushButton*>(w);
            button->setText(caption);
            button->setDefault(control.IsDefault());
            break;
        }
        case ControlKind::CheckBox:
        case ControlKind::OptionButton: {
            auto* button = static_cast<QAbstractButton*>(w);
            button->setText(caption);
            w->setAutoFillBackground(control.HasBackColor());
            if (auto* box = qobject_cast<QCheckBox*>(button)) {
                box->setCheckState(control.Value() == CheckState::Checked  ? Qt::Checked
                                   : control.Value() == CheckState::Grayed ? Qt::PartiallyChecked
                                                                           : Qt::Unchecked);
            } else {
                button->setChecked(control.Value() == CheckState::Checked);
            }
            break;
        }
        case ControlKind::TextBox: {
            auto* edit = static_cast<QLineEdit*>(w);
            if (edit->text() != caption) {
                edit->setText(caption);
                edit->setCursorPosition(0);
            }
            break;
        }
        case ControlKind::ListBox: {
            auto* list = static_cast<QListWidget*>(w);
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
            break;
        }
        case ControlKind::Frame:
            static_cast<QGroupBox*>(w)->setTitle(caption);
            break;
        case ControlKind::ImageButton:
        case ControlKind::PictureBox:
            w->update();
            break;
        default:
            break;
    }
    // The image button always shows the hand; other controls when they ask for it.
    const bool hand = control.Kind() == ControlKind::ImageButton || control.Pointer() == MousePointer::Hand;
    if (hand) {
        w->setCursor(Qt::PointingHandCursor);
    } else {
        w->unsetCursor();
    }
    w->setEnabled(control.Enabled());
    w->setVisible(control.Visible());
    syncing_ = false;
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
        const Control& control = *child.control;
        if (child.widget || !control.Visible()) {
            continue;
        }
        const QRect r = RectOf(control);
        if (control.HasBackColor()) {
            painter.fillRect(r, ToQColor(control.BackColor()));
        }
        if (!control.Picture().empty()) {
            painter.drawPixmap(r.topLeft(), renderer_.PictureFor(control.Picture()));
        }
        if (control.Kind() == ControlKind::Label && !control.Caption().empty()) {
            painter.setPen(ToQColor(control.Enabled() ? control.ForeColor() : 0x80000011));
            const Qt::Alignment alignment = control.Alignment() == TextAlignment::Center  ? Qt::AlignHCenter
                                            : control.Alignment() == TextAlignment::Right ? Qt::AlignRight
                                                                                          : Qt::AlignLeft;
            LayOutText(LabelText(control.Caption()), renderer_.FontFor(control.Font()), r, alignment,
                       &painter);
        }
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
        LayOutText(ToQString(control.Caption()), renderer_.FontFor(control.Font()), text, Qt::AlignLeft,
                   &painter);
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

// ---------------------------------------------------------------------------------------------------

QtRenderer::QtRenderer(std::vector<std::string> assetFolders) : assetFolders_(std::move(assetFolders)) {
    // The program has no main window: closing the settings window must not end it.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // The program's fonts are Windows fonts; these stand in for them with close metrics, so that the
    // windows' texts fit the places their tables give them.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans")});
    QFont::insertSubstitutions(QStringLiteral("Verdana"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
}

QtRenderer::~QtRenderer() = default;

std::unique_ptr<WindowPeer> QtRenderer::CreatePeer(Form& form) {
    return std::make_unique<QtWindowPeer>(*this, form);
}

void QtRenderer::Register(QtWindowPeer* peer) {
    peers_.push_back(peer);
}

void QtRenderer::Unregister(QtWindowPeer* peer) {
    peers_.erase(std::remove(peers_.begin(), peers_.end(), peer), peers_.end());
}

QtWindowPeer* QtRenderer::PeerOf(const Form& form) const {
    for (QtWindowPeer* peer : peers_) {
        if (&peer->GetForm() == &form) {
            return peer;
        }
    }
    return nullptr;
}

QWidget* QtRenderer::WidgetOf(const Form& form) const {
    const QtWindowPeer* peer = PeerOf(form);
    return peer ? peer->Widget() : nullptr;
}

QWidget* QtRenderer::WidgetOf(const Control& control) const {
    const QtWindowPeer* peer = PeerOf(control.Owner());
    return peer ? peer->WidgetOf(control) : nullptr;
}

WindowAtPoint QtRenderer::WindowFromPoint(ScreenPoint point) {
    const QPoint p(point.x, point.y);
    const QtWindowPeer* top = nullptr;
    for (const QtWindowPeer* peer : peers_) {
        if (!peer->Covers(p)) {
            continue;
        }
        if (!top ||
            std::pair(peer->Topmost(), peer->StackOrder()) > std::pair(top->Topmost(), top->StackOrder())) {
            top = peer;
        }
    }
    if (!top) {
        return {};
    }
    WindowAtPoint result;
    result.form = &top->GetForm();
    const QWidget* child = top->Widget()->childAt(top->Widget()->mapFromGlobal(p));
    if (child) {
        result.control = top->ControlOfWidget(child);
    }
    return result;
}

std::int32_t QtRenderer::TextHeight(const std::string& text, const FontSpec& font, std::int32_t widthPixels) {
    return LayOutText(ToQString(text), FontFor(font), QRect(0, 0, std::max<std::int32_t>(widthPixels, 1), 0),
                      Qt::AlignLeft, nullptr);
}

QFont QtRenderer::FontFor(const FontSpec& font) const {
    QFont qfont(ToQString(font.name));
    qfont.setPointSizeF(font.size > 0 ? font.size : 8.25);
    qfont.setBold(font.bold);
    return qfont;
}

std::string QtRenderer::AssetPath(const std::string& name) const {
    if (name.empty() || name.find('/') != std::string::npos) {
        return {};
    }
    for (const std::string& folder : assetFolders_) {
        std::error_code error;
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        if (std::filesystem::is_regular_file(path, error)) {
            return path.string();
        }
    }
    return {};
}

const QPixmap& QtRenderer::PictureFor(const std::string& name) {
    const auto found = pictures_.find(name);
    if (found != pictures_.end()) {
        return found->second;
    }
    // A missing or unreadable picture draws nothing.
    QPixmap picture;
    const std::string path = AssetPath(name);
    if (!path.empty()) {
        picture.load(QString::fromStdString(path));
    }
    return pictures_.emplace(name, std::move(picture)).first->second;
}

}  // namespace qm::qt
