#include "Steps.h"

#include <QLabel>
#include <QMessageBox>

void answerConnection(Gui &gui, const QString &choice)
{
    gui.waitWindow(kSelectTitle);
    gui.press(kSelectTitle, choice);
}

void waitMainWindow(Gui &gui)
{
    gui.waitWindow(kMainTitle, std::chrono::seconds(30));
    gui.waitNoWindow("Movara 7150 SFP: Starting");
}

void closeProgram(Gui &gui)
{
    gui.press(kMainTitle, "Close");
    gui.waitUntil("the exit question", [] {
        auto *box = qobject_cast<QMessageBox *>(Gui::window(kBoxTitle));
        return box && box->text() == "Do you really want to exit?";
    });
    gui.press(kBoxTitle, "Yes");
}
