#include "forms/control.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "forms/form.h"
#include "platform/sim/sim_platform.h"

namespace qm {
namespace {

// A control that counts how often its size changed, and whether its window had heard of the change by
// then.
class SizedControl final : public Control {
  public:
    SizedControl(Form& owner, const sim::SimRenderer& renderer)
        : Control(owner, "Sized", ControlKind::PictureBox), renderer_(renderer) {}

    int resizes = 0;
    int changesSeenAtResize = -1;

  protected:
    void OnResize() override {
        ++resizes;
        changesSeenAtResize = renderer_.RecordOf(Owner())->controlChanges;
    }

  private:
    const sim::SimRenderer& renderer_;
};

// A shown window whose controls the tests make as they need them.
class ControlForm final : public Form {
  public:
    explicit ControlForm(sim::SimPlatform& sim) : Form(sim.loop, &sim.renderer) {
        SetDesign(ScaleUnit::Twips, BorderStyle::FixedSingle, 6000, 4000);
    }

    Control& Add(const std::string& name, ControlKind kind) { return Make<Control>(name, kind); }
    // A control of the window, made now and owned by the window for as long as it lives.
    template <typename C, typename... Args>
    C& Make(Args&&... args) {
        auto control = std::make_unique<C>(*this, std::forward<Args>(args)...);
        C& made = *control;
        made_.push_back(std::move(control));
        return made;
    }
    void UseFont(const FontSpec& font) { SetFont(font); }

  private:
    std::vector<std::unique_ptr<Control>> made_;
};

class ControlTest : public ::testing::Test {
  protected:
    ControlTest() { form->Show(); }

    int ChangesSeen() const { return sim.renderer.RecordOf(*form)->controlChanges; }

    sim::SimPlatform sim;
    std::shared_ptr<ControlForm> form = std::make_shared<ControlForm>(sim);
};

TEST_F(ControlTest, JoinsItsWindowInOrderAndWearsTheWindowsFont) {
    const FontSpec tahoma{"Tahoma", 9, true, 0};
    form->UseFont(tahoma);
    Control& first = form->Add("First", ControlKind::Label);
    Control& second = form->Add("Second", ControlKind::CommandButton);
    EXPECT_EQ(form->Controls(), (std::vector<Control*>{&first, &second}));
    EXPECT_EQ(form->FindControl("Second"), &second);
    EXPECT_EQ(form->FindControl("second"), nullptr) << "names are matched exactly";
    EXPECT_EQ(&second.Owner(), form.get());
    EXPECT_EQ(first.Font(), tahoma) << "a new control takes its window's font";

    const FontSpec arial{"Arial", 12, false, 0};
    form->UseFont(arial);
    EXPECT_EQ(first.Font(), arial) << "and follows it when the window's font changes";
    EXPECT_EQ(second.Font(), arial);
}

// One change of a control, and how to see that it took.
struct ChangeCase {
    const char* what;
    std::function<void(Control&)> change;
    std::function<bool(const Control&)> took;
};

class ControlChangeTest : public ControlTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ControlChangeTest, EveryChangeReachesTheNativeWindowOnce) {
    Control& control = form->Add("List1", ControlKind::ListBox);
    control.AddItem("first");
    control.AddItem("second");
    const int before = ChangesSeen();
    GetParam().change(control);
    EXPECT_EQ(ChangesSeen(), before + 1) << GetParam().what;
    EXPECT_TRUE(GetParam().took(control)) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Setters,
    ControlChangeTest,
    ::testing::Values(
        ChangeCase{"Move", [](Control& c) { c.Move(10, 20, 300, 400); },
                   [](const Control& c) {
                       return c.Left() == 10 && c.Top() == 20 && c.Width() == 300 && c.Height() == 400;
                   }},
        ChangeCase{"SetCaption", [](Control& c) { c.SetCaption("Open"); },
                   [](const Control& c) { return c.Caption() == "Open" && c.Text() == "Open"; }},
        ChangeCase{"SetText", [](Control& c) { c.SetText("typed"); },
                   [](const Control& c) { return c.Caption() == "typed"; }},
        ChangeCase{"SetFont",
                   [](Control& c) {
                       c.SetFont({"Courier", 10, true, 1});
                   },
                   [](const Control& c) {
                       return c.Font() == FontSpec{"Courier", 10, true, 1};
                   }},
        ChangeCase{"SetForeColor", [](Control& c) { c.SetForeColor(Rgb(1, 2, 3)); },
                   [](const Control& c) { return c.ForeColor() == 0x030201u; }},
        ChangeCase{"SetBackColor", [](Control& c) { c.SetBackColor(Rgb(200, 0, 0)); },
                   [](const Control& c) { return c.HasBackColor() && c.BackColor() == 0x0000C8u; }},
        ChangeCase{"SetTransparent", [](Control& c) { c.SetTransparent(); },
                   [](const Control& c) { return !c.HasBackColor(); }},
        ChangeCase{"SetEnabled", [](Control& c) { c.SetEnabled(false); },
                   [](const Control& c) { return !c.Enabled(); }},
        ChangeCase{"SetVisible", [](Control& c) { c.SetVisible(false); },
                   [](const Control& c) { return !c.Visible(); }},
        ChangeCase{"SetAlignment", [](Control& c) { c.SetAlignment(TextAlignment::Center); },
                   [](const Control& c) { return c.Alignment() == TextAlignment::Center; }},
        ChangeCase{"SetWordWrap", [](Control& c) { c.SetWordWrap(false); },
                   [](const Control& c) { return !c.WordWrap(); }},
        ChangeCase{"SetPointer", [](Control& c) { c.SetPointer(MousePointer::Hand); },
                   [](const Control& c) { return c.Pointer() == MousePointer::Hand; }},
        ChangeCase{"SetDefault", [](Control& c) { c.SetDefault(true); },
                   [](const Control& c) { return c.IsDefault(); }},
        ChangeCase{"SetCancel", [](Control& c) { c.SetCancel(true); },
                   [](const Control& c) { return c.IsCancel(); }},
        ChangeCase{"SetValue", [](Control& c) { c.SetValue(CheckState::Grayed); },
                   [](const Control& c) { return c.Value() == CheckState::Grayed; }},
        ChangeCase{"SetPicture", [](Control& c) { c.SetPicture("lightover"); },
                   [](const Control& c) { return c.Picture() == "lightover"; }},
        ChangeCase{"AddItem", [](Control& c) { c.AddItem("third"); },
                   [](const Control& c) { return c.Items().size() == 3 && c.Items()[2] == "third"; }},
        ChangeCase{"Clear", [](Control& c) { c.Clear(); },
                   [](const Control& c) { return c.Items().empty(); }},
        ChangeCase{"SetMultiSelect", [](Control& c) { c.SetMultiSelect(true); },
                   [](const Control& c) { return c.MultiSelect(); }},
        ChangeCase{"SetSelected", [](Control& c) { c.SetSelected(1, true); },
                   [](const Control& c) { return c.Selected(1); }},
        ChangeCase{"SetListIndex", [](Control& c) { c.SetListIndex(1); },
                   [](const Control& c) { return c.ListIndex() == 1; }}),
    [](const ::testing::TestParamInfo<ChangeCase>& param) { return std::string(param.param.what); });

TEST_F(ControlTest, OnlyAChangeOfSizeCountsAsAResize) {
    SizedControl& control = form->Make<SizedControl>(sim.renderer);
    control.Move(0, 0, 100, 50);
    EXPECT_EQ(control.resizes, 1);
    EXPECT_EQ(control.changesSeenAtResize, ChangesSeen()) << "the window hears of the move first";
    control.Move(30, 40, 100, 50);
    EXPECT_EQ(control.resizes, 1) << "a move alone";
    control.Move(30, 40, 100, 60);
    EXPECT_EQ(control.resizes, 2);
}

TEST_F(ControlTest, ASingleSelectListHoldsOneSelectedLineAtMost) {
    Control& list = form->Add("List1", ControlKind::ListBox);
    for (const char* line : {"a", "b", "c"}) {
        list.AddItem(line);
    }
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_FALSE(list.Selected(0));
    list.SetSelected(0, true);
    list.SetSelected(2, true);
    EXPECT_FALSE(list.Selected(0));
    EXPECT_TRUE(list.Selected(2));
    list.SetListIndex(1);
    EXPECT_EQ(list.ListIndex(), 1);
    EXPECT_FALSE(list.Selected(2));
    EXPECT_TRUE(list.Selected(1)) << "the line with the focus is the selected one";
    list.SetSelected(1, false);
    EXPECT_FALSE(list.Selected(0) || list.Selected(1) || list.Selected(2));
}

TEST_F(ControlTest, AMultiSelectListKeepsEverySelectedLine) {
    Control& list = form->Add("List1", ControlKind::ListBox);
    list.SetMultiSelect(true);
    for (const char* line : {"a", "b", "c"}) {
        list.AddItem(line);
    }
    list.SetSelected(0, true);
    list.SetSelected(2, true);
    list.SetListIndex(1);
    EXPECT_TRUE(list.Selected(0));
    EXPECT_TRUE(list.Selected(2));
    list.SetSelected(0, false);
    EXPECT_FALSE(list.Selected(0));
    EXPECT_TRUE(list.Selected(2));
}

TEST_F(ControlTest, LinesOutsideTheListAreNeitherSelectedNorFocused) {
    Control& list = form->Add("List1", ControlKind::ListBox);
    list.AddItem("a");
    const int before = ChangesSeen();
    list.SetSelected(1, true);
    list.SetSelected(static_cast<std::size_t>(-1), true);
    EXPECT_EQ(ChangesSeen(), before) << "nothing changed, so the window hears nothing";
    EXPECT_FALSE(list.Selected(1));
    EXPECT_FALSE(list.Selected(0));
    list.SetListIndex(0);
    for (const int outside : {1, 7, -1, -5}) {
        list.SetListIndex(outside);
        EXPECT_EQ(list.ListIndex(), -1) << outside;
    }
}

TEST_F(ControlTest, ClearingAListLeavesNoSelectionForTheNextLines) {
    Control& list = form->Add("List1", ControlKind::ListBox);
    list.AddItem("old one");
    list.AddItem("old two");
    list.SetListIndex(1);
    list.Clear();
    EXPECT_TRUE(list.Items().empty());
    EXPECT_EQ(list.ListIndex(), -1);
    list.AddItem("new one");
    list.AddItem("new two");
    EXPECT_FALSE(list.Selected(0));
    EXPECT_FALSE(list.Selected(1)) << "the old second line's selection must not pass to the new one";
}

TEST_F(ControlTest, InputReachesTheHandlersTheWindowAttached) {
    Control& button = form->Add("Command1", ControlKind::CommandButton);
    std::vector<std::string> heard;
    button.Click = [&] { heard.push_back("click"); };
    button.MouseDown = [&](int b, int s, double x, double y) {
        heard.push_back("down " + std::to_string(b) + " " + std::to_string(s) + " " +
                        std::to_string(static_cast<int>(x)) + " " + std::to_string(static_cast<int>(y)));
    };
    button.MouseMove = [&](int, int, double, double) { heard.push_back("move"); };
    button.MouseUp = [&](int b, int, double, double) { heard.push_back("up " + std::to_string(b)); };
    form->FireMouseDown(button, kRightButton, 1, 15, 30);
    form->FireMouseMove(button, 0, 0, 16, 30);
    form->FireMouseUp(button, kRightButton, 0, 16, 30);
    form->FireClick(button);
    EXPECT_EQ(heard, (std::vector<std::string>{"down 2 1 15 30", "move", "up 2", "click"}));

    heard.clear();
    button.SetEnabled(false);
    form->FireClick(button);
    form->FireMouseDown(button, kLeftButton, 0, 1, 1);
    EXPECT_TRUE(heard.empty()) << "a disabled control hears nothing";
}

TEST_F(ControlTest, InputWithoutAHandlerIsDropped) {
    Control& label = form->Add("Label1", ControlKind::Label);
    EXPECT_NO_THROW({
        form->FireClick(label);
        form->FireMouseDown(label, kLeftButton, 0, 1, 1);
        form->FireMouseMove(label, kLeftButton, 0, 2, 2);
        form->FireMouseUp(label, kLeftButton, 0, 2, 2);
    });
}

TEST(ControlColourTest, RgbPacksRedGreenAndBlueIntoOneValueRedLowest) {
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(Rgb(255, 255, 255), kWhite);
    EXPECT_EQ(Rgb(0, 0, 0), kBlack);
    EXPECT_EQ(Rgb(255, 0, 0), 0x0000FFu);
    EXPECT_EQ(Rgb(0, 0, 255), 0xFF0000u);
}

}  // namespace
}  // namespace qm
