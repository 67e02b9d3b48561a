#pragma once

#include <string>

#include "forms/control.h"
#include "forms/form.h"

namespace qm {

class WinSystem;

// The about box's own texts: who makes the program and what it promises.
inline constexpr char kAboutPublisher[] = "Varrow Quillmere is made by the Quillmere developers.";
inline constexpr char kAboutNotice1[] =
    "This program is provided as it is, without warranty of any kind, to the extent permitted by law.";
inline constexpr char kAboutNotice2[] =
    "It changes only the browser windows it watches, and it collects and sends nothing about you.";

// The modal about box: the application title, the program's version, the publisher and its notices, and
// a link to the publisher's home page. OK (Enter and Esc alike) closes it. English only. Always owned by
// a std::shared_ptr. User-interface thread only.
class AboutWindow final : public Form {
  public:
    explicit AboutWindow(WinSystem& app);
    ~AboutWindow() override;

    // The controls, in the window's control order. Places in pixels.
    Control imageIcon;
    Control lblTitle;
    Control lblVersion;
    Control Label1;
    Control Label2;
    Control Label3;
    Control labelHomePage;
    Control cmdOK;

  protected:
    // Form:
    void Form_Load() override;

  private:
    void cmdOK_Click();
    void labelHomePage_Click();

    WinSystem& app_;
};

// "major.minor.revision" of the program, plain decimal numbers.
std::string VersionText();

}  // namespace qm
