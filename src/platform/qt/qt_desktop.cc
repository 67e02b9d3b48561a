#include "platform/qt/qt_desktop.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "platform/qt/qt_renderer.h"
#include "ports/desktop.h"

namespace qm::qt {

namespace {

constexpr std::int16_t kKeyDown = static_cast<std::int16_t>(0x8000);

}  // namespace

ScreenPoint QtDesktop::GetCursorPos() {
    const QPoint p = QCursor::pos();
    const ScreenPoint own{p.x(), p.y()};
    if (renderer_.WindowFromPoint(own).form) {
        return own;
    }
    return pages_.GetCursorPos();
}

std::int16_t QtDesktop::GetAsyncKeyState(int virtualKey) {
    bool down = false;
    if (virtualKey == kVkControl) {
        down = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    } else if (virtualKey == kVkLeftButton) {
        down = QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
    }
    return static_cast<std::int16_t>((down ? kKeyDown : 0) | pages_.GetAsyncKeyState(virtualKey));
}

std::int32_t QtDesktop::ScreenWidthPixels() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : pages_.ScreenWidthPixels();
}

std::int32_t QtDesktop::ScreenHeightPixels() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : pages_.ScreenHeightPixels();
}

std::int32_t QtDesktop::TwipsPerPixel() {
    return kTwipsPerPixel;
}

int QtDesktop::MessageBox(const std::string& text, const std::string& title, int style) {
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    switch (style & 0xF0) {
        case mb::kIconStop:
            box.setIcon(QMessageBox::Critical);
            break;
        case mb::kIconExclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    if ((style & 0xF) == mb::kYesNo) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        box.setDefaultButton((style & 0xF00) == mb::kDefaultButton2 ? no : yes);
        // Esc and the close box answer No, the safe choice.
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? mb::kAnswerYes : mb::kAnswerNo;
    }
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return mb::kAnswerOk;
}

std::intptr_t QtDesktop::ShellExecute(const std::string& verb,
                                      const std::string& file,
                                      const std::string& parameters,
                                      const std::string& directory,
                                      int showCommand) {
    return pages_.ShellExecute(verb, file, parameters, directory, showCommand);
}

bool QtDesktop::GetComputerName(std::string& name, std::size_t bufferSize) {
    return pages_.GetComputerName(name, bufferSize);
}

}  // namespace qm::qt
