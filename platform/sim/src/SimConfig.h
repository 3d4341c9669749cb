// The description of a simulated world: carriers, cards, channel signals, timing and
// faults. Plain data, filled by WorldParser or DefaultWorld and read by the simulation.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kqsim {

struct SignalConfig {
    enum class Type { Sine, Ramp };
    Type type = Type::Sine;
    double offset = 0.0;           // volts, the DC part (removed by AC coupling)
    double frequency = 1000.0;     // Hz
    double amplitude = 1.0;        // volts, peak
    double phase = 0.0;            // radians at scan 0
    std::vector<double> harmonics; // dBc of the 2nd, 3rd, ... harmonic
    double noiseRms = 0.0;         // volts of white Gaussian noise
};

struct CardConfig {
    int slot = 1;              // from 1
    uint16_t code = 0x7150;    // identification code in the carrier slot
    uint16_t variant = 0x4242; // two ASCII characters, high byte first
    uint32_t serial = 0;
    std::string subType = "BB";
    std::string firmware = "1.0.0";
    SignalConfig defaultSignal;
    std::map<int, SignalConfig> signals; // by channel 1..8, overriding the default
    const SignalConfig &signalOf(int channel) const {
        auto it = signals.find(channel);
        return it == signals.end() ? defaultSignal : it->second;
    }
};

struct CarrierConfig {
    enum class Interface { Vxi, Tcpip };
    std::vector<std::string> resources; // VISA resource names that reach this carrier
    Interface interface = Interface::Vxi;
    int board = 0;          // VISA board number
    int slot = 1;           // VXI mainframe slot
    int logicalAddress = 1; // VXI logical address
    std::string ipAddress;  // TCP/IP
    std::string hostName;
    std::string deviceName = "inst0";
    uint32_t model = 7005;
    int slots = 6;
    bool registerInterface = true;
    std::vector<double> referenceVoltages; // empty: no reference module
    int probeDelayMs = 0;                  // extra time viOpen takes on this carrier
    std::vector<CardConfig> cards;
};

// Makes a named call return a status. Calls are counted per rule among those that match its
// card and channel filters; the calls numbered from..from+count-1 fail (count 0: every call
// from `from` on).
struct FaultRule {
    std::string call; // function name, e.g. "kq7150_multConfig" or "viOpen"
    int32_t status = 0;
    int from = 1;
    int count = 1;
    int cardIndex = -1;      // card of the multi-card session (0-based), -1 = any
    int channel = -1;        // channel of that card (1..8), -1 = any
    bool inCallback = false; // only calls made from inside a block callback
};

struct CallbackStall {
    int afterBlocks = -1; // stall before calling back block number afterBlocks+1; -1 = never
    int milliseconds = 0;
};

struct ErrorWordFault {
    uint16_t bits = 0;       // ORed into the error word
    int64_t afterScans = -1; // once this many scans have been acquired; -1 = never
};

// The card memory of a 7150: samples over its enabled channels.
constexpr int64_t kCardMemorySamples = 2 * 1024 * 1024;

struct WorldConfig {
    std::vector<CarrierConfig> carriers;
    std::vector<std::string> otherResources;  // found by the search, but not carriers
    int64_t fifoSamples = kCardMemorySamples; // per card, over its enabled channels
    int frontPanelTriggerPeriodMs = 500;      // 0: the front-panel trigger never fires
    int calibrationMs = 300;
    int utcOffset = 37; // card clock (TAI) minus UTC, seconds
    std::vector<FaultRule> faults;
    CallbackStall stall;
    ErrorWordFault errorWord;
};

} // namespace kqsim
