// Configuring channels on the "Function Cards" tab with two cards on a carrier with a reference
// module: source, coupling, gain and filters of one channel, the reference output, and the one
// motherboard reference that a second channel (on the other card) may take only once it is free.
// Every accepted choice must reach the card as one configuration call with the whole setting.
#include "Gui.h"
#include "Steps.h"
#include "Workflow.h"

#include "kqsim_control.h"

#include <QComboBox>
#include <QMessageBox>

#include <cmath>
#include <functional>
#include <map>

namespace {

// Both cards of the normal variant, so that every gain is offered.
const char kWorld[] = R"({"carriers":[{"resources":["VXI0::7::INSTR"],"interface":"VXI","slot":2,
  "logicalAddress":7,"model":7005,"slots":4,"referenceVoltages":[0.0,2.5,5.0],
  "cards":[{"slot":1,"variant":"BB"},{"slot":2,"variant":"BB"}]}]})";

const QString kInfoTitle = "Movara 7150 SFP Info message";

// The configuration the card received last, and that it was one more call than before.
void expectSent(int &calls, int channel, int source, int gain, int highPass, int antiRinging) {
    E2E_CHECK(kqsim_callCount("kq7150_setMultChanConfig") == ++calls, "configuration calls ",
              kqsim_callCount("kq7150_setMultChanConfig"), ", expected ", calls);
    auto sent = callArguments(lastCall("kq7150_setMultChanConfig"));
    const std::map<std::string, std::string> expected{{"channel", std::to_string(channel)},
                                                      {"source", std::to_string(source)},
                                                      {"gain", std::to_string(gain)},
                                                      {"highPass", std::to_string(highPass)},
                                                      {"antiRinging", std::to_string(antiRinging)}};
    for (const auto &[name, value] : expected)
        E2E_CHECK(sent[name] == value, name, "=", sent[name], ", expected ", value);
}

// The coupling choice of a page as the person sees it: its text and whether it can be changed.
bool couplingShows(QWidget *page, const QString &text, bool enabled) {
    QComboBox *coupling = Gui::comboWith(page, "AC");
    return coupling->currentText() == text && coupling->isEnabled() == enabled;
}

// The choice on a channel's page that offers this item, found afresh at each look.
std::function<QComboBox *()> choiceOf(int card, int channel, const QString &item) {
    return [=] { return Gui::comboWith(channelPage(card, channel), item); };
}

void configureChannels(Gui &gui) {
    takeEveryCard(gui, 2);
    showChannel(gui, 1, 1);
    kqsim_clearCallLog();
    int calls = 0;

    // Card 1, channel 1 (driver channel 1) starts as "Front Panel Diff", AC, gain 1, no filters.
    gui.choose(choiceOf(1, 1, "Front Panel Diff"), "Front Panel Single");
    expectSent(calls, 1, 1, 1, 0, 0);
    gui.choose(choiceOf(1, 1, "AC"), "DC");
    expectSent(calls, 1, 3, 1, 0, 0);
    gui.choose(choiceOf(1, 1, "1000"), "100");
    expectSent(calls, 1, 3, 100, 0, 0);
    gui.run([] { Gui::tick(channelPage(1, 1), "High-Pass Filter"); });
    expectSent(calls, 1, 3, 100, 1, 0);
    gui.run([] { Gui::tick(channelPage(1, 1), "Anti-Ringing Filter"); });
    expectSent(calls, 1, 3, 100, 1, 1);

    // The reference as input: DC is the only coupling that makes sense, so it is fixed.
    gui.choose(choiceOf(1, 1, "Front Panel Diff"), "MB Voltage Reference");
    expectSent(calls, 1, 4, 100, 1, 1);
    E2E_CHECK(gui.run([] { return couplingShows(channelPage(1, 1), "DC", false); }),
              "coupling not fixed to DC");
    gui.choose([] { return Gui::child<QComboBox>(channelTabs(1)->parentWidget(), "vrefChoice"); },
               "2.5000 V");
    E2E_CHECK(std::fabs(std::stod(callArguments(lastCall("setVoltRefOutput"))["volts"]) - 2.5) < 1e-6,
              "output not 2.5 V");
    E2E_CHECK(callArguments(lastCall("kq7150_setVoltRef"))["state"] == "1",
              "the card's reference switch is not on");
    gui.shot("card1-reference");

    // Card 2, channel 5 (driver channel 13) asks for the reference card 1 holds: refused.
    showChannel(gui, 2, 5);
    gui.run([] { Gui::tick(channelPage(2, 5), "Enabled"); });
    gui.choose(choiceOf(2, 5, "Front Panel Diff"), "MB Voltage Reference");
    gui.waitUntil("the refusal", [] {
        auto *box = qobject_cast<QMessageBox *>(Gui::window(kInfoTitle));
        return box && box->text() == "Only one channel can be connected to the Voltage Reference";
    });
    gui.shot("refused");
    gui.press(kInfoTitle, "OK");
    gui.waitNoWindow(kInfoTitle);
    E2E_CHECK(kqsim_callCount("kq7150_setMultChanConfig") == calls, "the refused choice reached the card");
    E2E_CHECK(gui.run([] {
        return choiceOf(2, 5, "Front Panel Diff")()->currentText() == "Front Panel Diff" &&
               couplingShows(channelPage(2, 5), "AC", true);
    }),
              "the refused choice did not revert");

    // Card 1 lets go of it (TEDS: AC only); now card 2 gets it.
    showChannel(gui, 1, 1);
    gui.choose(choiceOf(1, 1, "Front Panel Diff"), "TEDS");
    expectSent(calls, 1, 6, 100, 1, 1);
    E2E_CHECK(gui.run([] { return couplingShows(channelPage(1, 1), "AC", false); }),
              "coupling not fixed to AC");
    showChannel(gui, 2, 5);
    gui.choose(choiceOf(2, 5, "Front Panel Diff"), "MB Voltage Reference");
    expectSent(calls, 13, 4, 1, 0, 0);
    gui.shot("card2-reference");

    closeProgram(gui);
}

} // namespace

static Registration configureChannelsWorkflow{
    {"configure_channels", kWorld, nullptr, configureChannels, nullptr}};
