#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPoint>

#include "forms/renderer.h"
#include "platform/qt/qt_drawing.h"

class QWidget;

namespace qm::qt {

class QtWindowPeer;

// The program's windows as Qt widgets: one top-level widget per loaded window, placed absolutely from
// the window's table in twips or pixels; a standard widget for each control that has a window of its
// own (push button, check box, radio button, line edit, list, group box), the image button and picture
// boxes as small painted widgets, and labels and images drawn into the window itself, as they are on
// Windows. Pictures are the files of that name in the asset folders, tried in order. Everything runs on
// the thread of the QApplication, which must exist for as long as the renderer.
class QtRenderer final : public Renderer {
  public:
    explicit QtRenderer(std::vector<std::string> assetFolders);
    ~QtRenderer() override;

    // Renderer:
    std::unique_ptr<WindowPeer> CreatePeer(Form& form) override;
    WindowAtPoint WindowFromPoint(ScreenPoint point) override;
    std::int32_t TextHeight(const std::string& text, const FontSpec& font, std::int32_t widthPixels) override;

    // The top-level widget of a loaded window, null when the window has none (tests and the smoke test
    // look at it).
    QWidget* WidgetOf(const Form& form) const;
    // The widget of a control with a window of its own; null for the drawn ones.
    QWidget* WidgetOf(const Control& control) const;

    // Shared by the peers.
    QFont FontFor(const FontSpec& font) const;
    // Lays out and draws a control's text as LayOutText does, in the control's font and with the line
    // pitch the font has on the program's home platform.
    int LayOut(const QString& text,
               const FontSpec& font,
               const QRect& box,
               Qt::Alignment alignment,
               QPainter* painter) const;
    const QPixmap& PictureFor(const std::string& name);
    // The path of an asset, or "" when no folder holds it.
    std::string AssetPath(const std::string& name) const;
    void Register(QtWindowPeer* peer);
    void Unregister(QtWindowPeer* peer);
    // A window came to the front: it stands above the others of its layer from now on.
    std::uint64_t NextStackOrder() { return ++stackOrder_; }

  private:
    QtWindowPeer* PeerOf(const Form& form) const;

    std::vector<std::string> assetFolders_;
    std::map<std::string, QPixmap> pictures_;
    std::vector<QtWindowPeer*> peers_;
    std::uint64_t stackOrder_ = 0;
};

}  // namespace qm::qt
