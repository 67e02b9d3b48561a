#include "platform/qt/qt_renderer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "monitor/ie_close_delay.h"
#include "platform/qt/qt_drawing.h"
#include "platform/qt/qt_test_platform.h"
#include "settings/language_class.h"
#include "shell/main_window.h"
#include "shell/win_system.h"
#include "system/check_spy.h"
#include "ui/about_window.h"
#include "ui/ie_set.h"
#include "ui/whats_msg_popup.h"
#include "watch/ie_top_watcher.h"

namespace qm::qt {
namespace {

using testing::QtTestPlatform;

QRect Pixels(int left, int top, int width, int height) {
    return QRect(left, top, width, height);
}

// Acts on the next modal window that comes up, from inside its own loop.
void OnNextModal(std::function<void(QWidget*)> act) {
    auto attempt = std::make_shared<std::function<void()>>();
    const std::weak_ptr<std::function<void()>> weak = attempt;
    *attempt = [act = std::move(act), weak] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) {
            // The pending timer holds the only strong reference, so nothing is left once it is done.
            if (const auto self = weak.lock()) {
                QTimer::singleShot(10, [self] { (*self)(); });
            }
            return;
        }
        act(modal);
    };
    QTimer::singleShot(10, [attempt] { (*attempt)(); });
}

class QtWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app.Main();
        ASSERT_TRUE(app.Running());
    }
    void TearDown() override { QtTestPlatform::Flush(); }

    // Opens the settings window from the tray icon, as a click with `reason` does.
    IESet& OpenSettings(QSystemTrayIcon::ActivationReason reason = QSystemTrayIcon::Trigger) {
        q.tray.Activate(reason);
        IESet* settings = app.GetMainWindow()->SettingsWindow();
        EXPECT_NE(settings, nullptr);
        return *settings;
    }
    QWidget* Widget(const Form& form) { return q.renderer.WidgetOf(form); }
    QWidget* Widget(const Control& control) { return q.renderer.WidgetOf(control); }
    void Click(const Control& control) {
        QWidget* w = Widget(control);
        ASSERT_NE(w, nullptr) << control.Name();
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
    }
    // A click on a control drawn into its window (a label).
    void ClickDrawn(const Control& control) {
        QWidget* window = Widget(control.Owner());
        const QPoint centre(static_cast<int>(control.Left() + control.Width() / 2),
                            static_cast<int>(control.Top() + control.Height() / 2));
        QTest::mouseClick(window, Qt::LeftButton, {}, centre);
    }

    QtTestPlatform q;
    WinSystem app{q.platform};
};

TEST_F(QtWindowsTest, StartUpShowsNothingButTheTrayIconWithTheTitle) {
    ASSERT_NE(q.tray.Icon(), nullptr);
    EXPECT_EQ(q.tray.Icon()->toolTip().toStdString(), kAppTitle);
    EXPECT_FALSE(q.tray.Icon()->icon().isNull());
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(w->isVisible()) << w->windowTitle().toStdString();
    }
}

TEST_F(QtWindowsTest, AnyButtonOnTheIconShowsOneSettingsWindowCentredWithItsTable) {
    IESet& settings = OpenSettings(QSystemTrayIcon::Context);
    QWidget* window = Widget(settings);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle().toStdString(), kAppTitle);
    EXPECT_EQ(window->size(), QSize(720, 511));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_NEAR(window->geometry().center().x(), screen.center().x(), 4);  // frames differ a little
    // A fixed border with a close box and neither a minimise nor a maximise button.
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    // Places in pixels, as the window's table gives them.
    EXPECT_EQ(Widget(settings.checkEnable)->geometry(), Pixels(128, 80, 105, 17));
    EXPECT_EQ(Widget(settings.listKilled)->geometry(), Pixels(384, 232, 305, 173));
    EXPECT_EQ(Widget(settings.buttonOK)->geometry(), Pixels(528, 485, 81, 21));
    EXPECT_EQ(Widget(settings.buttonCancel)->geometry(), Pixels(624, 485, 81, 21));
    EXPECT_EQ(static_cast<QPushButton*>(Widget(settings.buttonOK))->text(), "OK");
    EXPECT_TRUE(static_cast<QPushButton*>(Widget(settings.buttonOK))->isDefault());
    EXPECT_FALSE(Widget(settings.buttonOpen)->isEnabled());
    // Labels are drawn into the window: they have no widget of their own.
    EXPECT_EQ(Widget(settings.labelTitle), nullptr);

    // Another button on the icon brings the same window, not a second one.
    q.tray.Activate(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(app.GetMainWindow()->SettingsWindow(), &settings);
    EXPECT_EQ(Widget(settings), window);
}

TEST_F(QtWindowsTest, CheckBoxClicksReachTheWindowAndOkWritesTheOptions) {
    IESet& settings = OpenSettings();
    const bool enabledBefore = settings.checkEnable.Value() == CheckState::Checked;
    Click(settings.checkEnable);
    EXPECT_EQ(settings.checkEnable.Value() == CheckState::Checked, !enabledBefore);
    // The window's own handler ran: Notify Me follows Kill IE Popups.
    EXPECT_EQ(Widget(settings.checkNotify)->isEnabled(), !enabledBefore);
    EXPECT_EQ(settings.checkNotify.Enabled(), !enabledBefore);

    Click(settings.checkKillFlash);
    const bool flash = settings.checkKillFlash.Value() == CheckState::Checked;
    QTest::keyClick(Widget(settings), Qt::Key_Return);  // Enter is OK
    EXPECT_FALSE(settings.Loaded());
    EXPECT_EQ(q.settings.Value(kAppTitle, kAppTitle, "RecogEnable"), !enabledBefore ? "True" : "False");
    EXPECT_EQ(q.settings.Value(kAppTitle, kAppTitle, "KillFlash"), flash ? "True" : "False");
}

TEST_F(QtWindowsTest, EscapeAndTheCloseBoxCancelWithoutWriting) {
    IESet& first = OpenSettings();
    q.settings.ClearWrites();
    Click(first.checkKillBanner);
    QTest::keyClick(Widget(first.checkKillBanner), Qt::Key_Escape);
    EXPECT_FALSE(first.Loaded());
    EXPECT_TRUE(q.settings.Writes().empty());

    IESet& second = OpenSettings();
    EXPECT_NE(&second, &first);
    Widget(second)->close();
    EXPECT_FALSE(second.Loaded());
    EXPECT_TRUE(q.settings.Writes().empty());
}

TEST_F(QtWindowsTest, ShutDownAsksWithNoAsTheDefaultAndQuitsOnlyOnYes) {
    IESet& settings = OpenSettings();
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::string title;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        title = box->windowTitle().toStdString();
        // Enter answers with the default button, which is No.
        QTest::keyClick(box, Qt::Key_Return);
    });
    Click(settings.buttonExit);
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(title, kAppTitle);
    EXPECT_TRUE(app.Running());

    OnNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Yes)->click();
    });
    Click(settings.buttonExit);
    EXPECT_FALSE(app.Running());
}

TEST_F(QtWindowsTest, AboutBoxIsModalOverTheSettingsWindowAndEnterClosesIt) {
    IESet& settings = OpenSettings();
    std::string caption;
    QSize size;
    bool settingsBlocked = false;
    OnNextModal([&](QWidget* modal) {
        caption = modal->windowTitle().toStdString();
        size = modal->size();
        settingsBlocked = modal->windowModality() == Qt::ApplicationModal;
        QTest::keyClick(modal, Qt::Key_Return);
    });
    Click(settings.buttonAbout);  // returns once the about box has closed
    EXPECT_EQ(caption, std::string("About ") + kAppTitle);
    EXPECT_EQ(size, QSize(400, 250));
    EXPECT_TRUE(settingsBlocked);
    EXPECT_TRUE(settings.Loaded());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(QtWindowsTest, LinkLabelsShowTheHandAndAClickOpensTheirWindow) {
    IESet& settings = OpenSettings();
    QWidget* window = Widget(settings);
    QTest::mouseMove(window, QPoint(140, 272));  // over "What's this?"
    EXPECT_EQ(window->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(window, QPoint(10, 300));
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);

    std::string caption;
    QSize size;
    OnNextModal([&](QWidget* modal) {
        caption = modal->windowTitle().toStdString();
        size = modal->size();
        // Its Close button unloads it from inside the button's own click.
        for (auto* button : modal->findChildren<QPushButton*>()) {
            if (button->text() == "Close") {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
    });
    ClickDrawn(settings.labelWhatsMsgPopup);
    EXPECT_EQ(caption, "What's this?");
    EXPECT_EQ(size, QSize(185, 129));
}

TEST_F(QtWindowsTest, SpywareCheckListsEntriesAllSelectedAndClicksChangeTheSelection) {
    q.startupList.Put("Bargains", "C:\\Program Files\\bargains.exe /run");
    q.startupList.Put("Clean", "C:\\Windows\\explorer.exe");
    q.startupList.Put("Xupiter", "xupiter.exe");
    IESet& settings = OpenSettings();
    int rows = 0;
    int selectedAtLoad = 0;
    int selectedAfterClick = 0;
    bool multi = false;
    OnNextModal([&](QWidget* modal) {
        auto* list = modal->findChild<QListWidget*>();
        ASSERT_NE(list, nullptr);
        rows = list->count();
        selectedAtLoad = static_cast<int>(list->selectedItems().size());
        multi = list->selectionMode() == QAbstractItemView::ExtendedSelection;
        // Ctrl+click takes the first entry out of the selection.
        const QRect first = list->visualItemRect(list->item(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, first.center());
        selectedAfterClick = static_cast<int>(list->selectedItems().size());
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    ClickDrawn(settings.labelCheckSpy);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(selectedAtLoad, 2);
    EXPECT_TRUE(multi);
    EXPECT_EQ(selectedAfterClick, 1);
    // Cancel deleted nothing.
    EXPECT_TRUE(q.startupList.Deleted().empty());
}

TEST_F(QtWindowsTest, KilledListClickEnablesOpenWhichOpensTheSelectedLine) {
    app.Hub().KilledPopups.push_back("http://one.example/");
    app.Hub().KilledPopups.push_back("http://two.example/");
    IESet& settings = OpenSettings();
    auto* list = static_cast<QListWidget*>(Widget(settings.listKilled));
    ASSERT_EQ(list->count(), 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(settings.listKilled.ListIndex(), 1);
    EXPECT_TRUE(Widget(settings.buttonOpen)->isEnabled());
    Click(settings.buttonOpen);
    ASSERT_FALSE(q.pages.ShellExecutes().empty());
    EXPECT_EQ(q.pages.ShellExecutes().back().file, "iexplore.exe");
    EXPECT_EQ(q.pages.ShellExecutes().back().parameters, "http://two.example/");
}

class QtCloseDelayTest : public QtWindowsTest {
  protected:
    std::shared_ptr<IECloseDelay> Blocked(const std::string& url) {
        auto delay = std::make_shared<IECloseDelay>(app);
        delay->Load();
        delay->Execute();
        delay->TextURL.SetText(url);
        return delay;
    }
};

TEST_F(QtCloseDelayTest, CountdownWindowIsShapedTopmostWithoutFocusAtTheTopOfTheScreen) {
    const auto delay = Blocked("http://popup.example/");
    QWidget* window = Widget(*delay);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(213, 70));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_LT(window->geometry().top(), 60);
    // The face's key colour is cut away: the window's corner is not part of it, its middle is.
    ASSERT_FALSE(window->mask().isEmpty());
    EXPECT_FALSE(window->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(window->mask().contains(QPoint(100, 35)));
    EXPECT_EQ(static_cast<QLineEdit*>(Widget(delay->TextURL))->text(), "http://popup.example/");

    // The window system's view respects the shape, and finds the controls with a window of their own.
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(q.renderer.WindowFromPoint({origin.x(), origin.y()}).form, nullptr);
    const QRect close = Widget(delay->buttonClose)->geometry().translated(origin);
    const WindowAtPoint onClose = q.renderer.WindowFromPoint({close.center().x(), close.center().y()});
    EXPECT_EQ(onClose.form, delay.get());
    EXPECT_EQ(onClose.control, &delay->buttonClose);
    const WindowAtPoint onLabel = q.renderer.WindowFromPoint({origin.x() + 60, origin.y() + 12});
    EXPECT_EQ(onLabel.form, delay.get());
    EXPECT_EQ(onLabel.control, nullptr);
}

TEST_F(QtCloseDelayTest, CountdownTicksEverySecond) {
    const auto delay = Blocked("http://popup.example/");
    EXPECT_EQ(delay->labelTime.Caption(), "10");
    EXPECT_TRUE(q.RunUntil([&] { return delay->labelTime.Caption() == "9"; }, 2500));
}

TEST_F(QtCloseDelayTest, ClickOnOpenOpensTheAddressAndClosesTheWindow) {
    const auto delay = Blocked("http://wanted.example/");
    QWidget* open = Widget(delay->buttonOpen);
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(open, QPoint(5, 5));
    QTest::mouseClick(open, Qt::LeftButton, {}, QPoint(20, 5));
    // The image button raises its click a moment after the platform's.
    EXPECT_TRUE(q.RunUntil([&] { return !delay->Loaded(); }));
    ASSERT_FALSE(q.pages.ShellExecutes().empty());
    EXPECT_EQ(q.pages.ShellExecutes().back().parameters, "http://wanted.example/");
    EXPECT_TRUE(app.Hub().KilledPopups.empty());
}

TEST_F(QtCloseDelayTest, ClickOnCloseLogsTheAddress) {
    const auto delay = Blocked("http://unwanted.example/");
    QTest::mouseClick(Widget(delay->buttonClose), Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_TRUE(q.RunUntil([&] { return !delay->Loaded(); }));
    ASSERT_EQ(app.Hub().KilledPopups.size(), 1u);
    EXPECT_EQ(app.Hub().KilledPopups[0], "http://unwanted.example/");
    EXPECT_TRUE(q.pages.ShellExecutes().empty());
}

TEST_F(QtCloseDelayTest, ImageButtonLightFollowsThePointer) {
    const auto delay = Blocked("http://popup.example/");
    QWidget* close = Widget(delay->buttonClose);
    QTest::mouseMove(close, QPoint(5, 5));
    EXPECT_EQ(delay->buttonClose.Picture(), kLightOverPicture);
    QTest::mousePress(close, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(delay->buttonClose.Picture(), kLightDownPicture);
    QTest::mouseRelease(close, Qt::LeftButton, {}, QPoint(500, 500));  // released outside: no click
    QtTestPlatform::Flush();
    EXPECT_TRUE(delay->Loaded());
}

// The settings window and the countdown window in each interface language: the Chinese one sets its
// labels in a Chinese font, one size up, in the same boxes.
class QtLabelFitTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        app.SetStartupLanguage(GetParam());
        app.Main();
        ASSERT_TRUE(app.Running());
    }
    void TearDown() override { QtTestPlatform::Flush(); }

    // The labels and image buttons of `form` whose text needs more room than their box gives it, with
    // the height it needs.
    std::string CutTexts(const Form& form) {
        const double unit = form.Scale() == ScaleUnit::Twips ? kTwipsPerPixel : 1.0;
        std::string cut;
        for (const Control* control : form.Controls()) {
            const bool label = control->Kind() == ControlKind::Label;
            if ((!label && control->Kind() != ControlKind::ImageButton) || control->Caption().empty()) {
                continue;
            }
            // An image button's caption starts right of its light.
            const int indent = label ? 0 : 240 / kTwipsPerPixel;
            const int width = static_cast<int>(control->Width() / unit) - indent;
            const int height = static_cast<int>(control->Height() / unit);
            const QString text = label ? LabelText(control->Caption()) : ToQString(control->Caption());
            const int needed =
                q.renderer.LayOut(text, control->Font(), QRect(0, 0, width, 0), Qt::AlignLeft, nullptr);
            if (needed > height) {
                cut += control->Name() + " needs " + std::to_string(needed) + " of " +
                       std::to_string(height) + "; ";
            }
        }
        return cut;
    }

    QtTestPlatform q;
    WinSystem app{q.platform};
};

TEST_P(QtLabelFitTest, EveryLabelOfTheSettingsAndCountdownWindowsShowsItsWholeText) {
    q.tray.Activate(QSystemTrayIcon::Trigger);
    IESet* settings = app.GetMainWindow()->SettingsWindow();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(CutTexts(*settings), "");

    const auto delay = std::make_shared<IECloseDelay>(app);
    delay->Load();
    EXPECT_EQ(CutTexts(*delay), "");
    delay->Unload();
}

INSTANTIATE_TEST_SUITE_P(Languages, QtLabelFitTest, ::testing::Values(kLanguageEnglish, kLanguageChinese));

TEST(QtRendererTextTest, TextHeightWrapsAtSpacesAndInsideLongWords) {
    QtRenderer renderer({});
    const FontSpec font{"Verdana", 8.25, false, 0};
    const std::int32_t line = renderer.TextHeight("Open", font, 200);
    EXPECT_GT(line, 0);
    EXPECT_EQ(renderer.TextHeight("", font, 200), line);
    EXPECT_EQ(renderer.TextHeight("one two three four", font, 2000), line);
    EXPECT_GE(renderer.TextHeight("one two three four", font, 40), 3 * line);
    // A width below one character still shows one character a line.
    EXPECT_EQ(renderer.TextHeight("abc", font, 1), 3 * line);
    EXPECT_EQ(renderer.TextHeight("abc", font, 0), 3 * line);
}

TEST(QtRendererTextTest, LabelsShowDoubledAmpersandsOnceAndHideAccessKeyMarks) {
    EXPECT_EQ(LabelText("Enhance && Protect").toStdString(), "Enhance & Protect");
    EXPECT_EQ(LabelText("&Open").toStdString(), "Open");
    EXPECT_EQ(LabelText("a&&&b&").toStdString(), "a&b");
}

TEST(QtRendererColourTest, ProgramColoursAreBlueGreenRed) {
    EXPECT_EQ(ToQColor(Rgb(16, 48, 223)), QColor(16, 48, 223));
    EXPECT_EQ(ToQColor(0x8000000F), QApplication::palette().color(QPalette::Button));
}

}  // namespace
}  // namespace qm::qt
