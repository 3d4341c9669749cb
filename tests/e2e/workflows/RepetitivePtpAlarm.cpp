// A repetitive acquisition that starts at a PTP alarm, on an LXI box: the window counts down to
// the alarm, takes the first block at the alarm time, and then goes on taking blocks, one after
// the other, until the person stops it. A start at a time keeps no scans before it, whatever
// trigger position was chosen before.
#include "Steps.h"

namespace {

const char kLxiWorld[] = R"({"carriers":[{"resources":["TCPIP0::192.0.2.7::INSTR"],"interface":"TCPIP",
  "ipAddress":"192.0.2.7","hostName":"lxi7","slots":1,"cards":[{"slot":1}]}]})";

int reads() {
    return kqsim_callCount("kq7150_readMultAcquisition");
}

void run(Gui &gui) {
    connectOneCard(gui);
    gui.showTab(kMainWindow, "Acquisition");
    pick(gui, kMainWindow, "Channel 1"); // the position is offered for a channel's trigger
    pick(gui, kMainWindow, "50%");
    pick(gui, kMainWindow, "PTP Alarm");
    gui.press(kMainWindow, "Now+10s");
    gui.showTab(kMainWindow, "Waveforms");

    kqsim_clearCallLog();
    gui.click(kMainWindow, "repetitiveButton");
    gui.waitUntil("the countdown", [] {
        const QString status = statusLineText();
        return status.startsWith("Ready   -   ") && status.contains("Time to PTP Alarm: -");
    });
    gui.shot("countdown");
    gui.waitUntil("five blocks", [] { return reads() >= 5; });
    std::vector<Curve> before = gui.run([] { return curvesOn("Waveforms"); });
    gui.waitUntil("a sixth block", [] { return reads() >= 6; });
    gui.waitUntil("the plot to change", [&before] { return curvesOn("Waveforms")[0].y != before[0].y; });

    E2E_EQ(lastCall("kq7150_setMultTrigConfig", {"preTrigger"}), "preTrigger=0");
    E2E_EQ(kqsim_callCount("kq7150_startMultAcquisitionTimed64"), 1);

    gui.click(kMainWindow, "repetitiveButton");
    gui.waitUntil("the stop", startButtonsReleased);
    expectNoReadsAfterStop();
    closeProgram(gui);
}

Registration repetitivePtp{{"repetitive_ptp_alarm", kLxiWorld, nullptr, run, nullptr}};

} // namespace
