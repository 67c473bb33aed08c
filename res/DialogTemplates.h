#pragma once

#include "DialogTemplate.h"

namespace qk::res {

inline constexpr int kAboutDialogId = 100;
inline constexpr int kMainDialogId = 102;
inline constexpr int kAppIconId = 128;
inline constexpr int kAdvancedDialogId = 129;

// The "宋体" (SimSun) face the templates name, as GBK bytes.
inline constexpr std::string_view kSongFace = "\xCB\xCE\xCC\xE5";

// Template 100: the About box.
const DialogTemplate& AboutDialogTemplate();
// Template 102: the main window.
const DialogTemplate& MainDialogTemplate();
// Template 129: the Advanced Parameters dialog.
const DialogTemplate& AdvancedDialogTemplate();

}  // namespace qk::res
