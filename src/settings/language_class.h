#pragma once

#include <string>

namespace qm {

class Form;

// The two interface languages the program knows.
inline constexpr char kLanguageEnglish[] = "English";
inline constexpr char kLanguageChinese[] = "Chinese";

// The font the Chinese interface gives its texts: its name and character set (GB2312).
inline constexpr char kChineseFontName[] = "宋体";
inline constexpr int kChineseCharset = 134;

// The interface language of the run, AppLanguage, and the adaptation of windows to it. Start-up sets the
// language once; nothing changes it afterwards. Only the exact text "Chinese" is Chinese; anything else
// (empty, "English", "chinese") leaves every window as it was designed. User-interface thread only.
class LanguageClass {
  public:
    // The interface language; empty until start-up sets it.
    std::string Language;

    // In Chinese, gives every frame, label, option button, text box and image button of `Form` the
    // Chinese font at its size rounded up to a whole point; check boxes, command buttons, lists,
    // pictures and the rest keep their fonts. In any other language it changes nothing.
    void SetFormFont(Form& Form) const;
};

}  // namespace qm
