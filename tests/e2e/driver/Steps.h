// Steps many workflows share: the connection question, the main window, closing the program.
#pragma once

#include "Gui.h"

inline const QString kMainTitle = "Movara 7150 Soft Front Panel";
inline const QString kSelectTitle = "Movara 7150 SFP: Select Function Card";
inline const QString kBoxTitle = "Movara 7150 SFP"; // the program's message boxes

// Answers the connection question with one of its buttons ("Auto Find", "Run In Demo Mode",
// "Enter Address").
void answerConnection(Gui &gui, const QString &choice);
// Waits for the main window and for the splash to be gone.
void waitMainWindow(Gui &gui);
// "Close", then "Yes" to "Do you really want to exit?".
void closeProgram(Gui &gui);
