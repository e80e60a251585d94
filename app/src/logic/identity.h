// The program's identity texts: fixed for the whole run, shown in the window
// title, tray tip, status bar, log lines, About box and message box captions.
#pragma once

#include "tw/version.h"

namespace tickwell {

inline constexpr char kProgramName[] = TW_PRODUCT_NAME;
inline constexpr char kVersionText[] = "v" TW_VERSION_TEXT;
inline constexpr char kCredit1[] = "Internet time for your PC";
inline constexpr char kCredit2[] = "The Tickwell developers";
inline constexpr char kWebAddress[] = "https://tickwell.example.org/";
// The status bar's resting text: the two credits joined by " - ".
inline constexpr char kCreditLine[] = "Internet time for your PC - The Tickwell developers";
// The title of the main window and the tray icon chooser.
inline constexpr char kMainWindowTitle[] = TW_PRODUCT_NAME " - v" TW_VERSION_TEXT;
// Names the single-instance mutex and the program's window class.
inline constexpr char kInstanceName[] = "TICKWELL";

} // namespace tickwell
