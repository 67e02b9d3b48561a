#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm {

class Form;

// The kinds of control the program's windows are made of.
enum class ControlKind {
    Label,
    CommandButton,
    CheckBox,
    OptionButton,
    TextBox,
    ListBox,
    PictureBox,
    Image,
    Frame,
    ImageButton,  // the program's own DOptionButton
};

enum class TextAlignment { Left, Right, Center };
enum class CheckState { Unchecked = 0, Checked = 1, Grayed = 2 };
enum class MousePointer { Default, Hand };

// Mouse buttons and shift keys as the platform reports them with mouse events.
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

struct FontSpec {
    std::string name = "MS Sans Serif";
    double size = 8.25;  // points
    bool bold = false;
    int charset = 0;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// Colours are 0x00BBGGRR.
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16);
}

// One control of a window: its name, kind, place and size (in the units of its window's scale mode),
// texts, font, colours and state, and the handlers its window attached to its events. The control belongs
// to its window, which tells the window's native side of every change; the native side reports the
// user's input through the window (Form::Fire... calls), never straight into a handler.
class Control {
  public:
    Control(Form& owner, std::string name, ControlKind kind);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    const std::string& Name() const { return name_; }
    ControlKind Kind() const { return kind_; }
    Form& Owner() const { return owner_; }

    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    void Move(double left, double top, double width, double height);

    // The caption of labels, buttons and check boxes; the text of a text box. A control that arranges
    // itself around its caption (the image button) does so whenever it is set.
    const std::string& Caption() const { return caption_; }
    virtual void SetCaption(const std::string& caption);
    const std::string& Text() const { return caption_; }
    void SetText(const std::string& text) { SetCaption(text); }

    const FontSpec& Font() const { return font_; }
    void SetFont(const FontSpec& font);
    std::uint32_t ForeColor() const { return foreColor_; }
    void SetForeColor(std::uint32_t colour);
    // Whether the control paints its own background (false: transparent over the window's picture).
    bool HasBackColor() const { return hasBackColor_; }
    std::uint32_t BackColor() const { return backColor_; }
    void SetBackColor(std::uint32_t colour);
    void SetTransparent();

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    TextAlignment Alignment() const { return alignment_; }
    void SetAlignment(TextAlignment alignment);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wrap);
    MousePointer Pointer() const { return pointer_; }
    void SetPointer(MousePointer pointer);

    // Command buttons: the one pressed by Enter, the one pressed by Esc.
    bool IsDefault() const { return default_; }
    void SetDefault(bool isDefault);
    bool IsCancel() const { return cancel_; }
    void SetCancel(bool isCancel);

    // Check boxes.
    CheckState Value() const { return value_; }
    void SetValue(CheckState value);

    // Pictures: the name of a picture of the program's assets ("" for none).
    const std::string& Picture() const { return picture_; }
    void SetPicture(const std::string& picture);

    // List boxes: lines, their selection, and whether several may be selected at once.
    const std::vector<std::string>& Items() const { return items_; }
    void AddItem(const std::string& item);
    void Clear();
    bool MultiSelect() const { return multiSelect_; }
    void SetMultiSelect(bool multi);
    bool Selected(std::size_t index) const;
    void SetSelected(std::size_t index, bool selected);
    // The line that has the focus, -1 for none.
    int ListIndex() const { return listIndex_; }
    void SetListIndex(int index);

    // Handlers the window attaches. Each runs with its window kept alive, only while it is loaded.
    std::function<void()> Click;
    std::function<void(int button, int shift, double x, double y)> MouseDown;
    std::function<void(int button, int shift, double x, double y)> MouseMove;
    std::function<void(int button, int shift, double x, double y)> MouseUp;

    // What the control does with the user's input. The window calls these (Form::Fire...) with itself
    // kept alive, only while it is loaded and the control enabled. By default each runs the handler the
    // window attached; a control with behaviour of its own (the image button) overrides them.
    virtual void OnClick();
    virtual void OnMouseDown(int button, int shift, double x, double y);
    virtual void OnMouseMove(int button, int shift, double x, double y);
    virtual void OnMouseUp(int button, int shift, double x, double y);

  protected:
    void Changed();
    // The control's width or height changed (Move); runs after the window has been told.
    virtual void OnResize() {}

  private:
    Form& owner_;
    std::string name_;
    ControlKind kind_;
    double left_ = 0;
    double top_ = 0;
    double width_ = 0;
    double height_ = 0;
    std::string caption_;
    FontSpec font_;
    std::uint32_t foreColor_ = kBlack;
    bool hasBackColor_ = false;
    std::uint32_t backColor_ = kWhite;
    bool enabled_ = true;
    bool visible_ = true;
    TextAlignment alignment_ = TextAlignment::Left;
    bool wordWrap_ = true;
    MousePointer pointer_ = MousePointer::Default;
    bool default_ = false;
    bool cancel_ = false;
    CheckState value_ = CheckState::Unchecked;
    std::string picture_;
    std::vector<std::string> items_;
    std::vector<bool> selected_;
    bool multiSelect_ = false;
    int listIndex_ = -1;
};

}  // namespace qm
