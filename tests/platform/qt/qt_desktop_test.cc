#include "platform/qt/qt_desktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <memory>

#include "platform/qt/qt_test_platform.h"
#include "shell/win_system.h"
#include "ui/about_window.h"

namespace qm::qt {
namespace {

using testing::QtTestPlatform;

struct Answered {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::string title;
    std::string text;
    std::string defaultButton;
    int buttons = 0;
};

// Answers the next message box with `key` and records how it looked.
void AnswerNextBox(Answered& seen, Qt::Key key) {
    QTimer::singleShot(20, [&seen, key] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.icon = box->icon();
        seen.title = box->windowTitle().toStdString();
        seen.text = box->text().toStdString();
        seen.defaultButton =
            box->defaultButton() ? box->defaultButton()->text().remove('&').toStdString() : "";
        seen.buttons = static_cast<int>(box->buttons().size());
        QTest::keyClick(box, key);
    });
}

TEST(QtDesktopTest, MessageBoxesHaveTheIconsAndDefaultButtonsAskedFor) {
    QtTestPlatform q;
    struct Case {
        int style;
        Qt::Key key;
        QMessageBox::Icon icon;
        const char* defaultButton;
        int buttons;
        int answer;
    };
    const Case cases[] = {
        // Shut Down: Yes/No, exclamation, No as default; Enter takes the default.
        {mb::kYesNo | mb::kIconExclamation | mb::kDefaultButton2, Qt::Key_Return, QMessageBox::Warning, "No",
         2, mb::kAnswerNo},
        // Without the second button as default, Enter says Yes.
        {mb::kYesNo | mb::kIconExclamation, Qt::Key_Return, QMessageBox::Warning, "Yes", 2, mb::kAnswerYes},
        // Esc is the safe No.
        {mb::kYesNo, Qt::Key_Escape, QMessageBox::NoIcon, "Yes", 2, mb::kAnswerNo},
        // Errors: OK with the stop icon.
        {mb::kOk | mb::kIconStop, Qt::Key_Escape, QMessageBox::Critical, "OK", 1, mb::kAnswerOk},
    };
    for (const Case& c : cases) {
        Answered seen;
        AnswerNextBox(seen, c.key);
        EXPECT_EQ(q.desktop.MessageBox("Are you sure?", kAppTitle, c.style), c.answer) << c.style;
        EXPECT_EQ(seen.icon, c.icon) << c.style;
        EXPECT_EQ(seen.title, kAppTitle);
        EXPECT_EQ(seen.text, "Are you sure?");
        EXPECT_EQ(seen.defaultButton, c.defaultButton) << c.style;
        EXPECT_EQ(seen.buttons, c.buttons) << c.style;
    }
}

TEST(QtDesktopTest, PointerOverTheProgramsWindowsIsQtsAndElsewhereThePagesReport) {
    QtTestPlatform q;
    WinSystem app(q.platform);
    app.Main();
    q.pages.MovePointer(-5000, -5000);
    // Away from every window of the program: the browser's report.
    QCursor::setPos(QPoint(1, 1));
    if (QCursor::pos() != QPoint(1, 1)) {
        GTEST_SKIP() << "this platform cannot place the pointer";
    }
    EXPECT_EQ(q.desktop.GetCursorPos(), (ScreenPoint{-5000, -5000}));

    auto about = std::make_shared<AboutWindow>(app);
    about->Load();
    about->Show(ShowStyle::Normal);
    QWidget* window = q.renderer.WidgetOf(*about);
    ASSERT_NE(window, nullptr);
    const QPoint inside = window->mapToGlobal(QPoint(10, 10));
    QCursor::setPos(inside);
    EXPECT_EQ(q.desktop.GetCursorPos(), (ScreenPoint{inside.x(), inside.y()}));
    about->Unload();
}

TEST(QtDesktopTest, KeysHeldInEitherSourceCount) {
    QtTestPlatform q;
    EXPECT_GE(q.desktop.GetAsyncKeyState(kVkControl), 0);
    q.pages.HoldKey(kVkControl);
    EXPECT_LT(q.desktop.GetAsyncKeyState(kVkControl), 0);
    q.pages.ReleaseKey(kVkControl);
    EXPECT_GE(q.desktop.GetAsyncKeyState(kVkControl), 0);
}

TEST(QtDesktopTest, ScreenIsQtsPrimaryScreenAtFifteenTwipsAPixel) {
    QtTestPlatform q;
    q.pages.SetScreenSize(1, 1);
    EXPECT_GT(q.desktop.ScreenWidthPixels(), 1);
    EXPECT_GT(q.desktop.ScreenHeightPixels(), 1);
    EXPECT_EQ(q.desktop.TwipsPerPixel(), 15);
}

TEST(QtTrayIconTest, EveryButtonReachesTheHandlerWithItsNumberAndTheIconsId) {
    QtTestPlatform q;
    std::vector<std::pair<int, int>> calls;
    q.tray.Show("quillmere.ico", "tip", [&](int button, int id) { calls.emplace_back(button, id); });
    q.tray.Activate(QSystemTrayIcon::Trigger);
    q.tray.Activate(QSystemTrayIcon::Context);
    q.tray.Activate(QSystemTrayIcon::MiddleClick);
    q.tray.Activate(QSystemTrayIcon::DoubleClick);
    const std::vector<std::pair<int, int>> expected = {{1, 1}, {2, 1}, {4, 1}, {1, 1}};
    EXPECT_EQ(calls, expected);

    // The icon file is the program's own; a missing one gives a drawn stand-in, never an empty icon.
    q.tray.Show("no-such-icon.ico", "tip", nullptr);
    EXPECT_FALSE(q.tray.Icon()->icon().isNull());

    q.tray.Remove();
    q.tray.Activate(QSystemTrayIcon::Trigger);
    EXPECT_EQ(calls.size(), expected.size());
    EXPECT_EQ(q.tray.Icon(), nullptr);
}

}  // namespace
}  // namespace qm::qt
