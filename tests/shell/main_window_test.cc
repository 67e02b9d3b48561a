#include "shell/main_window.h"

#include <gtest/gtest.h>

#include "base/platform_error.h"
#include "support/sim_scenario.h"
#include "ui/ie_set.h"

namespace qm {
namespace {

using sim::SimRenderer;
using testing::SimScenario;

class MainWindowTest : public ::testing::Test, protected SimScenario {
  protected:
    void SetUp() override { app.Main(); }

    std::size_t LoadedSettingsWindows() const {
        std::size_t count = 0;
        for (Form* form : sim.renderer.LoadedForms()) {
            count += dynamic_cast<IESet*>(form) != nullptr;
        }
        return count;
    }
};

TEST_F(MainWindowTest, IconIsUpWithTheTitleAsTooltip) {
    EXPECT_TRUE(sim.tray.Shown());
    EXPECT_EQ(sim.tray.ShowCount(), 1);
    EXPECT_EQ(sim.tray.Tooltip(), "Varrow Quillmere 4.13");
    EXPECT_EQ(sim.tray.Icon(), kTrayIconPicture);
    EXPECT_EQ(app.GetMainWindow()->SettingsWindow(), nullptr) << "made at the first use of the icon";
}

TEST_F(MainWindowTest, AnyButtonShowsOneSettingsWindowNonModal) {
    for (const int button : {kLeftButton, kRightButton, kMiddleButton, kLeftButton}) {
        sim.tray.Click(button);
        EXPECT_EQ(LoadedSettingsWindows(), 1u) << "button " << button;
    }
    IESet* window = app.GetMainWindow()->SettingsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Visible());
    const auto* record = sim.renderer.RecordOf(*window);
    EXPECT_EQ(record->shows, std::vector<ShowStyle>(4, ShowStyle::Normal));
    EXPECT_EQ(sim.renderer.VisibleForms(), std::vector<Form*>{window});
}

TEST_F(MainWindowTest, ClosedSettingsWindowIsMadeAgainWithAFreshLoad) {
    sim.tray.Click(kLeftButton);
    IESet* first = app.GetMainWindow()->SettingsWindow();
    SimRenderer::Click(*first, "buttonCancel");
    EXPECT_EQ(LoadedSettingsWindows(), 0u);

    app.Hub().AddKilledPopup("http://pop.example/");
    sim.tray.Click(kRightButton);
    IESet* second = app.GetMainWindow()->SettingsWindow();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->Loaded());
    EXPECT_EQ(second->listKilled.Items(), std::vector<std::string>{"http://pop.example/"});
}

TEST_F(MainWindowTest, ErrorsWhileShowingTheSettingsAreIgnored) {
    // The options cannot be read: the window's load fails half way, and the icon stays as it was.
    sim.settings.SetFailReads(true);
    EXPECT_NO_THROW(sim.tray.Click(kLeftButton));
    EXPECT_TRUE(sim.tray.Shown());
    sim.settings.SetFailReads(false);
    EXPECT_NO_THROW(sim.tray.Click(kLeftButton));
    EXPECT_LE(LoadedSettingsWindows(), 1u);
    EXPECT_TRUE(app.Running());
}

}  // namespace
}  // namespace qm
