#include "platform/qt/qt_renderer.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "forms/form.h"
#include "platform/qt/qt_window_peer.h"

namespace qm::qt {

namespace {

// The font of the Chinese interface, by either of its names.
bool IsChineseFont(const std::string& name) {
    return name == "宋体" || name == "SimSun";
}

}  // namespace

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
    // The Chinese interface's font. The stand-ins carry Chinese characters and Latin letters about as
    // narrow as its own, so that the English texts its labels keep still fit their places; without one
    // the desktop's default font takes over, wider, and cuts the labels short.
    const QStringList chinese{QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                              QStringLiteral("Droid Sans Fallback"), QStringLiteral("AR PL UMing CN")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), chinese);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), chinese);
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
    return LayOut(ToQString(text), font, QRect(0, 0, std::max<std::int32_t>(widthPixels, 1), 0),
                  Qt::AlignLeft, nullptr);
}

int QtRenderer::LayOut(const QString& text,
                       const FontSpec& font,
                       const QRect& box,
                       Qt::Alignment alignment,
                       QPainter* painter) const {
    const QFont qfont = FontFor(font);
    double pitch = 0;
    if (IsChineseFont(font.name)) {
        // The Chinese font's lines lie about its size apart (its ascent and descent make one em), and the
        // windows' tables give its labels room for that many lines; the stand-ins ask for a quarter more
        // and would lose a label's last line. A pixel more than the size keeps their strokes apart.
        pitch = QFontInfo(qfont).pixelSize() + 1;
    }
    return LayOutText(text, qfont, box, alignment, painter, pitch);
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
