// What a user without hardware meets after "Auto Find". It is built to reach every path of
// the card tree: two 7150 cards with a gap between them, a card of another model, an empty
// slot, a card limited to gain 1, and an LXI box known under two names whose probe is slow.
#include "DefaultWorld.h"

#include <utility>

namespace kqsim {
namespace {

SignalConfig sine(double frequency, double amplitude, double noiseRms, std::vector<double> harmonics = {}) {
    SignalConfig s;
    s.frequency = frequency;
    s.amplitude = amplitude;
    s.noiseRms = noiseRms;
    s.harmonics = std::move(harmonics);
    return s;
}

// A bench of sources a test engineer might wire up: a distorted 1 kHz reference, a mains
// hum riding on a DC level (shows what AC coupling removes), a large tone that needs a low
// gain, a small one that needs a high gain and an open input with only noise. The phase
// differs per card so that the same channel of two cards does not draw one curve.
std::map<int, SignalConfig> benchSignals(int cardOrdinal) {
    std::map<int, SignalConfig> signals;
    signals[1] = sine(1000.0, 1.0, 5e-6, {-95.0, -105.0});
    signals[2] = sine(250.0, 2.5, 5e-6);
    signals[3] = sine(5000.0, 0.5, 5e-6, {-88.0});
    signals[4] = sine(50.0, 0.1, 10e-6);
    signals[4].offset = 1.5;
    signals[5] = sine(10000.0, 3.0, 5e-6);
    signals[6] = sine(400.0, 7.0, 20e-6, {-80.0, -92.0, -110.0});
    signals[7] = sine(2200.0, 0.02, 2e-6);
    signals[8] = sine(1000.0, 0.0, 20e-6);
    for (auto &entry : signals)
        entry.second.phase = 0.4 * cardOrdinal;
    return signals;
}

CardConfig card(int slot, uint16_t code, const char *variant, uint32_t serial, const char *firmware,
                int cardOrdinal) {
    CardConfig c;
    c.slot = slot;
    c.code = code;
    c.variant = static_cast<uint16_t>((variant[0] << 8) | variant[1]);
    c.subType = std::string(variant, 2);
    c.serial = serial;
    c.firmware = firmware;
    c.signals = benchSignals(cardOrdinal);
    c.defaultSignal = c.signals[1];
    return c;
}

CarrierConfig vxiCarrier() {
    CarrierConfig c;
    c.resources = {"VXI0::5::INSTR"};
    c.interface = CarrierConfig::Interface::Vxi;
    c.board = 0;
    c.slot = 3;
    c.logicalAddress = 5;
    c.model = 7005;
    c.slots = 6;
    c.registerInterface = true;
    // 0.0 V lets a calibration check the offset alone.
    c.referenceVoltages = {0.0, 1.0, 2.5, 5.0, 9.5};
    c.cards.push_back(card(2, 0x7150, "BB", 0x71500217, "2.4.1", 0));
    c.cards.push_back(card(3, 0x7140, "BB", 0x71400102, "1.0.0", 1));
    // Slot 4 stays empty. The low byte 'A' of slot 5's variant limits that card to gain 1.
    c.cards.push_back(card(5, 0x7150, "BA", 0x71500305, "2.4.1", 2));
    return c;
}

CarrierConfig lxiCarrier() {
    CarrierConfig c;
    c.resources = {"TCPIP0::192.0.2.17::INSTR", "TCPIP0::kq7000-lxi::INSTR"};
    c.interface = CarrierConfig::Interface::Tcpip;
    c.ipAddress = "192.0.2.17";
    c.hostName = "kq7000-lxi";
    c.deviceName = "inst0";
    c.model = 7014;
    c.slots = 2;
    c.registerInterface = true;
    // A network probe is slow enough that probing carriers one after the other would show.
    c.probeDelayMs = 300;
    c.cards.push_back(card(1, 0x7150, "BB", 0x71500411, "2.5.0", 3));
    return c;
}

} // namespace

WorldConfig DefaultWorld::make() {
    WorldConfig world;
    world.carriers = {vxiCarrier(), lxiCarrier()};
    world.otherResources = {"ASRL1::INSTR"};
    return world;
}

} // namespace kqsim
