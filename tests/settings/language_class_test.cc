#include "settings/language_class.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/d_option_button.h"
#include "forms/form.h"
#include "platform/sim/sim_platform.h"
#include "shell/win_system.h"

namespace qm {
namespace {

// A window with one control of each kind, all at the window's font (MS Sans Serif 8.25) except the
// frame, at a bold 12.1, and the text box, at 9.
class MixedForm final : public Form {
  public:
    explicit MixedForm(Platform& platform)
        : Form(platform.loop, &platform.renderer),
          labelCaption(*this, "labelCaption", ControlKind::Label),
          frameOptions(*this, "frameOptions", ControlKind::Frame),
          optionFast(*this, "optionFast", ControlKind::OptionButton),
          textAddress(*this, "textAddress", ControlKind::TextBox),
          buttonGo(*this, "buttonGo", platform),
          checkBanner(*this, "checkBanner", ControlKind::CheckBox),
          buttonOK(*this, "buttonOK", ControlKind::CommandButton),
          listKilled(*this, "listKilled", ControlKind::ListBox),
          picture(*this, "picture", ControlKind::PictureBox) {
        textAddress.SetFont({.size = 9});
        frameOptions.SetFont({.size = 12.1, .bold = true});
    }

    Control labelCaption;
    Control frameOptions;
    Control optionFast;
    Control textAddress;
    DOptionButton buttonGo;
    Control checkBanner;
    Control buttonOK;
    Control listKilled;
    Control picture;
};

class LanguageClassTest : public ::testing::Test {
  protected:
    std::vector<FontSpec> Fonts() const {
        std::vector<FontSpec> fonts;
        for (const Control* control : form->Controls()) {
            fonts.push_back(control->Font());
        }
        return fonts;
    }

    sim::SimPlatform sim;
    std::shared_ptr<MixedForm> form = std::make_shared<MixedForm>(sim.platform);
    LanguageClass language;
};

FontSpec Chinese(double size, bool bold = false) {
    return {.name = kChineseFontName, .size = size, .bold = bold, .charset = kChineseCharset};
}

TEST_F(LanguageClassTest, ChineseGivesTheTextControlsTheChineseFontRoundedUp) {
    language.Language = "Chinese";
    language.SetFormFont(*form);

    EXPECT_EQ(form->labelCaption.Font(), Chinese(9));
    EXPECT_EQ(form->frameOptions.Font(), Chinese(13, true)) << "12.1 rounds up; the rest of the font stays";
    EXPECT_EQ(form->optionFast.Font(), Chinese(9));
    EXPECT_EQ(form->textAddress.Font(), Chinese(9)) << "a whole size stays";
    EXPECT_EQ(form->buttonGo.Font(), Chinese(9));
    for (const Control* kept : {&form->checkBanner, &form->buttonOK, &form->listKilled, &form->picture}) {
        EXPECT_EQ(kept->Font(), FontSpec{}) << kept->Name();
    }
}

class OtherLanguageTest : public LanguageClassTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(OtherLanguageTest, ChangesNothing) {
    const auto fonts = Fonts();
    language.Language = GetParam();
    language.SetFormFont(*form);
    EXPECT_EQ(Fonts(), fonts);
}

INSTANTIATE_TEST_SUITE_P(Languages,
                         OtherLanguageTest,
                         ::testing::Values("English", "chinese", "CHINESE", "Chinese ", ""));

TEST(AppLanguageTest, StartUpFixesEnglishAndKeepsTheEnglishTitle) {
    sim::SimPlatform sim;
    WinSystem app(sim.platform);
    app.AppLanguage().Language = "Chinese";  // whatever came before, start-up sets its own language
    app.Main();
    EXPECT_EQ(app.AppLanguage().Language, "English");
    EXPECT_EQ(app.AppTitle(), "Varrow Quillmere 4.13");
}

}  // namespace
}  // namespace qm
