// Demo mode: no cards, the demo signals of two function cards in the waveform view.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

static Registration demoMode{{"demo_mode", "", nullptr, [](Gui &gui) {
    answerConnection(gui, "Run In Demo Mode");
    waitMainWindow(gui);
    gui.shot("window");
    closeProgram(gui);
}, nullptr}};
