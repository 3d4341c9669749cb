// The front panel's window over simulated cards, opened as a person opens it: the world (and
// faults) of the test, the connection question answered, every card of the tree taken.
#pragma once

#include "kq7000fp_fcSelect.h"
#include "kq7150_fc.h"
#include "kq7150fp_App.h"
#include "kq7150fp_chCfg.h"

#include "../support/ScriptedBoxes.h"
#include "../support/SimWorldFiles.h"
#include "kqsim_control.h"

#include "../support/WidgetTest.h"

// One 7150: in slot 5 of a VXI carrier in mainframe slot 3 with a reference module, or in an LXI box.
inline const char kVxiWorld[] = R"({"carriers":[{"resources":["VXI0::5::INSTR"],"interface":"VXI","slot":3,
  "logicalAddress":5,"slots":6,"referenceVoltages":[0.0,2.5,5.0],"cards":[{"slot":5}]}]})";
inline const char kLxiWorld[] = R"({"carriers":[{"resources":["TCPIP0::192.0.2.7::INSTR"],"interface":"TCPIP",
  "ipAddress":"192.0.2.7","hostName":"lxi7","slots":1,"cards":[{"slot":1}]}]})";

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override { kq7150fp_chCfg::forgetReference(); }

    // An empty world is the built-in one; choice answers the connection question ("Run In Demo
    // Mode" shows demoCards cards). The boxes and the call log start empty afterwards;
    // openingBoxes and builtWith (session and channel configuration calls) keep what the
    // opening showed and called.
    void open(const std::string &world, const std::string &faults = "", const char *choice = "Auto Find",
              int demoCards = 1) {
        app.reset();
        ASSERT_NO_FATAL_FAILURE(world.empty() ? void() : sim.use(world));
        ASSERT_NO_FATAL_FAILURE(faults.empty() ? void() : sim.use(faults, "KQ7150_SIM_FAULTS"));
        boxes.press(choice);
        QTimer person;
        QObject::connect(&person, &QTimer::timeout, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *select = qobject_cast<kq7000fp_fcSelect *>(w); select && select->isVisible()) {
                    select->tree()->selectAll();
                    select->okPressed();
                }
        });
        person.start(10);
        kqsim_clearCallLog();
        app = std::make_unique<kq7150fp_App>(descriptor, demoCards, false);
        openingBoxes = boxes.texts;
        builtWith = {kqsim_callCount("kq7150_getMultFCsession"), kqsim_callCount("kq7150_setMultChanConfig")};
        boxes.texts.clear();
        kqsim_clearCallLog();
    }
    // What a person does: picks an item, which the page hears as activated().
    static void choose(QComboBox *c, int index) { c->setCurrentIndex(index), emit c->activated(index); }

    SimWorldFiles sim;
    ScriptedBoxes boxes; // closes boxes it has no answer for: an error box never ends the program
    kq7150_fc descriptor;
    std::unique_ptr<kq7150fp_App> app;
    QStringList openingBoxes;
    std::pair<int, int> builtWith;
};
