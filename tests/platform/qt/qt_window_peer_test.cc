#include "platform/qt/qt_window_peer.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "forms/form.h"
#include "platform/qt/qt_test_platform.h"
#include "support/handler_failure_log.h"

namespace qm::qt {
namespace {

using testing::QtTestPlatform;

// A window with a control of every kind that has a widget of its own, and a label drawn into it.
class KindsForm final : public Form {
  public:
    KindsForm(EventLoop& loop, Renderer& renderer)
        : Form(loop, &renderer),
          button(*this, "button", ControlKind::CommandButton),
          check(*this, "check", ControlKind::CheckBox),
          option(*this, "option", ControlKind::OptionButton),
          text(*this, "text", ControlKind::TextBox),
          list(*this, "list", ControlKind::ListBox),
          frame(*this, "frame", ControlKind::Frame),
          picture(*this, "picture", ControlKind::PictureBox),
          label(*this, "label", ControlKind::Label) {
        SetDesign(ScaleUnit::Pixels, BorderStyle::FixedDialog, 320 * 15, 260 * 15);
        button.Move(10, 10, 80, 25);
        check.Move(10, 40, 120, 20);
        option.Move(10, 65, 120, 20);
        text.Move(10, 90, 150, 22);
        list.Move(10, 120, 150, 80);
        frame.Move(170, 10, 120, 100);
        picture.Move(170, 120, 50, 50);
        label.Move(10, 210, 150, 20);
        list.SetMultiSelect(true);
        for (const char* item : {"one", "two", "three"}) {
            list.AddItem(item);
        }
    }
    Control button;
    Control check;
    Control option;
    Control text;
    Control list;
    Control frame;
    Control picture;
    Control label;
};

class QtWindowPeerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form = std::make_shared<KindsForm>(q.loop, q.renderer);
        form->Show(ShowStyle::Normal);
    }
    void TearDown() override {
        form->Unload();
        QtTestPlatform::Flush();
    }
    QWidget* Widget(const Control& control) { return q.renderer.WidgetOf(control); }
    template <typename W>
    W* As(const Control& control) {
        auto* w = qobject_cast<W*>(Widget(control));
        EXPECT_NE(w, nullptr) << control.Name();
        return w;
    }
    std::vector<Control*> Windowed() {
        return {&form->button, &form->check, &form->option, &form->text,
                &form->list,   &form->frame, &form->picture};
    }

    QtTestPlatform q;
    std::shared_ptr<KindsForm> form;
};

TEST_F(QtWindowPeerTest, EveryKindWithAWindowGetsItsOwnWidgetAndLabelsNone) {
    EXPECT_NE(As<QPushButton>(form->button), nullptr);
    EXPECT_NE(As<QCheckBox>(form->check), nullptr);
    EXPECT_NE(As<QRadioButton>(form->option), nullptr);
    EXPECT_NE(As<QLineEdit>(form->text), nullptr);
    EXPECT_NE(As<QListWidget>(form->list), nullptr);
    EXPECT_NE(As<QGroupBox>(form->frame), nullptr);
    EXPECT_NE(Widget(form->picture), nullptr);
    EXPECT_EQ(Widget(form->label), nullptr);
}

TEST_F(QtWindowPeerTest, CaptionsReachTheWidgetOfEachKind) {
    struct Case {
        Control* control;
        std::function<QString(QWidget*)> shown;
    };
    const Case cases[] = {
        {&form->button, [](QWidget* w) { return static_cast<QPushButton*>(w)->text(); }},
        {&form->check, [](QWidget* w) { return static_cast<QCheckBox*>(w)->text(); }},
        {&form->option, [](QWidget* w) { return static_cast<QRadioButton*>(w)->text(); }},
        {&form->text, [](QWidget* w) { return static_cast<QLineEdit*>(w)->text(); }},
        {&form->frame, [](QWidget* w) { return static_cast<QGroupBox*>(w)->title(); }},
    };
    for (const Case& c : cases) {
        c.control->SetCaption("Grüße & more");
        EXPECT_EQ(c.shown(Widget(*c.control)).toStdString(), "Grüße & more") << c.control->Name();
    }
}

TEST_F(QtWindowPeerTest, PlaceEnabledAndVisibleReachEveryWidget) {
    for (Control* control : Windowed()) {
        QWidget* w = Widget(*control);
        control->Move(20, 30, 40, 50);
        EXPECT_EQ(w->geometry(), QRect(20, 30, 40, 50)) << control->Name();
        control->SetEnabled(false);
        EXPECT_FALSE(w->isEnabled()) << control->Name();
        control->SetEnabled(true);
        EXPECT_TRUE(w->isEnabled()) << control->Name();
        control->SetVisible(false);
        EXPECT_TRUE(w->isHidden()) << control->Name();
        control->SetVisible(true);
        EXPECT_FALSE(w->isHidden()) << control->Name();
    }
}

TEST_F(QtWindowPeerTest, CheckStatesReachBothButtonKinds) {
    struct Case {
        CheckState value;
        Qt::CheckState box;
        bool option;
    };
    const Case cases[] = {
        {CheckState::Checked, Qt::Checked, true},
        {CheckState::Grayed, Qt::PartiallyChecked, false},
        {CheckState::Unchecked, Qt::Unchecked, false},
    };
    for (const Case& c : cases) {
        form->check.SetValue(c.value);
        form->option.SetValue(c.value);
        EXPECT_EQ(As<QCheckBox>(form->check)->checkState(), c.box);
        EXPECT_EQ(As<QRadioButton>(form->option)->isChecked(), c.option);
    }
}

TEST_F(QtWindowPeerTest, DefaultButtonAndHandPointerFollowTheControl) {
    auto* button = As<QPushButton>(form->button);
    form->button.SetDefault(true);
    EXPECT_TRUE(button->isDefault());
    form->button.SetDefault(false);
    EXPECT_FALSE(button->isDefault());
    form->check.SetPointer(MousePointer::Hand);
    EXPECT_EQ(Widget(form->check)->cursor().shape(), Qt::PointingHandCursor);
    form->check.SetPointer(MousePointer::Default);
    EXPECT_EQ(Widget(form->check)->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(QtWindowPeerTest, ListItemsAndSelectionsReachTheList) {
    auto* list = As<QListWidget>(form->list);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    form->list.SetSelected(0, true);
    form->list.SetSelected(2, true);
    EXPECT_TRUE(list->item(0)->isSelected());
    EXPECT_FALSE(list->item(1)->isSelected());
    EXPECT_TRUE(list->item(2)->isSelected());
    form->list.Clear();
    form->list.AddItem("only");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text().toStdString(), "only");
}

TEST_F(QtWindowPeerTest, TypingIsCopiedIntoTheControl) {
    auto* edit = As<QLineEdit>(form->text);
    QTest::keyClicks(edit, "typed");
    EXPECT_EQ(form->text.Text(), "typed");
    EXPECT_EQ(edit->cursorPosition(), 5);
}

TEST_F(QtWindowPeerTest, RowsAddedToAMultipleSelectionAreAllKept) {
    auto* list = As<QListWidget>(form->list);
    form->list.SetSelected(0, true);
    int clicks = 0;
    form->list.Click = [&] { ++clicks; };
    // Ctrl+click adds rows to the selection: the rows after the first changed one must survive the
    // copying of the selection into the control, row by row.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(1)).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(2)).center());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(form->list.Selected(i)) << i;
        EXPECT_TRUE(list->item(static_cast<int>(i))->isSelected()) << i;
    }
    EXPECT_EQ(form->list.ListIndex(), 2);
    EXPECT_EQ(clicks, 2);
}

TEST_F(QtWindowPeerTest, ChangesMadeByAClickHandlerReachTheWidgets) {
    // The window's own handler overrules the user: its changes, to the control clicked and to others,
    // are shown, not taken for an echo of the click.
    form->check.Click = [&] {
        form->check.SetValue(CheckState::Unchecked);
        form->button.SetCaption("refused");
        form->list.SetSelected(1, true);
    };
    auto* box = As<QCheckBox>(form->check);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    EXPECT_EQ(form->check.Value(), CheckState::Unchecked);
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    EXPECT_EQ(As<QPushButton>(form->button)->text().toStdString(), "refused");
    EXPECT_TRUE(As<QListWidget>(form->list)->item(1)->isSelected());
}

TEST_F(QtWindowPeerTest, HandlersThatFailStopAtTheBoundaryAndTheWindowGoesOn) {
    const qm::testing::HandlerFailureLog log;
    // The settings window's OK saves every option, and a save may fail: straight from a real click.
    int saves = 0;
    form->button.Click = [&] {
        ++saves;
        throw PlatformError("Cannot save the settings file: read-only", 75, "Settings");
    };
    form->check.Click = [] { throw std::runtime_error("bad state"); };
    form->picture.MouseDown = [](int, int, double, double) { throw PlatformError("gone"); };
    int pictureClicks = 0;
    form->picture.Click = [&] { ++pictureClicks; };

    auto* button = As<QPushButton>(form->button);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    auto* box = As<QCheckBox>(form->check);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QTest::mouseClick(Widget(form->picture), Qt::LeftButton);

    EXPECT_EQ(saves, 2) << "the window still answers after a failed click";
    EXPECT_EQ(form->check.Value(), CheckState::Checked) << "what the click did before failing stays";
    EXPECT_EQ(pictureClicks, 1) << "a failed press does not lose the release";
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "quillmere: button_Click failed: run-time error 75 (Settings): Cannot save the settings "
                  "file: read-only\n",
                  "quillmere: button_Click failed: run-time error 75 (Settings): Cannot save the settings "
                  "file: read-only\n",
                  "quillmere: check_Click failed: bad state\n",
                  "quillmere: window mouse press failed: run-time error 0: gone\n"}));
}

}  // namespace
}  // namespace qm::qt
