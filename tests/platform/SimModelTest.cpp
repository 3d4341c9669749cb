// The simulation's model of the world: the world file's parser, the fault plan and the signal
// of one channel.
#include "ChannelSignal.h"
#include "DefaultWorld.h"
#include "FaultPlan.h"
#include "WorldParser.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <tuple>

namespace kqsim {
namespace {

std::string carrier(const std::string &fields) {
    return R"({"utcOffset": 1, "carriers": [{"resources": ["VXI0::1::INSTR"], "interface": "VXI")" + fields +
           "}]}";
}
// text times times over.
std::string repeated(const std::string &text, int times) {
    return std::regex_replace(std::string(times, '~'), std::regex("~"), text);
}
// fifoSamples as arrays in arrays, depth levels deep with the document itself.
std::string nested(int depth) {
    return "{\"fifoSamples\":\n" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}
std::string card(const std::string &fields) {
    return carrier(R"(, "cards": [{"slot": 2)" + fields + "}]");
}

// A card's channel entries override only the keys they name. Then one case of each kind of
// refusal: the one-line message names the source and the place, and the world is left as it was.
// Numbers are read by one strict routine with its own table test; one row shows that the parser
// refuses through it, naming what it found.
TEST(WorldParserTest, ReadsChannelEntriesAndRefusesEachKindOfMistakeNamingThePlace) {
    WorldConfig read;
    std::string error;
    ASSERT_TRUE(WorldParser::parse(card(R"(, "variant": "BA", "signal": {"frequency": 250, "amplitude": 2},
        "channels": {"3": {"amplitude": 0.5, "harmonics": [-90]}, "8": {"type": "ramp"}})"),
                                   "w.json", read, error))
        << error;
    const CardConfig &parsed = read.carriers[0].cards[0];
    const SignalConfig &three = parsed.signalOf(3), &eight = parsed.signalOf(8);
    EXPECT_EQ(std::tuple(three.type, three.frequency, three.amplitude, three.harmonics),
              std::tuple(SignalConfig::Type::Sine, 250.0, 0.5, std::vector<double>{-90.0}));
    EXPECT_EQ(std::tuple(eight.type, eight.frequency, eight.amplitude, eight.harmonics),
              std::tuple(SignalConfig::Type::Ramp, 250.0, 2.0, std::vector<double>{}));
    EXPECT_EQ(std::tuple(parsed.variant, parsed.subType, parsed.code), std::tuple(0x4241, "BA", 0x7150));

    for (const auto &[text, expected] : std::vector<std::pair<std::string, std::string>>{
             {card(R"(, "serail": 1)"), "carriers[0].cards[0].serail: unknown key"},
             {R"({"fifoSamples": "big"})",
              "fifoSamples: expected an integer from 1024 to 2097152, found \"big\""},
             {"{\"carriers\": [{}" + repeated(",{}", 64) + "]}",
              "carriers: expected an array of at most 64 carriers"},
             {card(R"(, "signal": {"harmonics": [-90)" + repeated(",-90", 32) + "]}"),
              "cards[0].signal.harmonics: expected an array of at most 32 dBc values"},
             {carrier(R"(}, {"resources": [")" + std::string(256, 'x') + R"("], "interface": "VXI")"),
              "carriers[1].resources[0]: expected a string of 1 to 255 characters"},
             {carrier(R"(, "slots": 2, "cards": [{"slot": 3}])"),
              "carriers[0].cards[0].slot: expected an integer from 1 to 2, found 3"},
             {card(R"(}, {"slot": 2)"), "carriers[0].cards[1].slot: expected a slot not used by"},
             {carrier(R"(}, {"resources": ["vxi0::1::instr"], "interface": "VXI")"),
              "carriers[1].resources[0]: expected a resource name not used before"},
             {R"({"carriers": [{"resources": ["TCPIP0::h::INSTR"], "interface": "TCPIP"}]})",
              "carriers[0].ipAddress: missing"},
             {card(R"(, "variant": "BBB")"), "cards[0].variant: expected 2 printable"},
             {"{\"utcOffset\": 1,\n \"utcOffset\": 2}",
              "w.json: line 2, column 12: key given twice in one object"},
             // Nesting is bounded while the document is built: whatever walks it later (a refusal
             // prints the value it found) can then not run out of stack on a hostile file.
             {nested(64), "w.json: fifoSamples: expected an integer"},
             {nested(65), "w.json: line 2, column 64: more than 64 nested arrays and objects"},
             {nested(200000), "w.json: line 2, column 64: more than 64 nested arrays and objects"}}) {
        WorldConfig w = DefaultWorld::make();
        w.utcOffset = 12345;
        ASSERT_FALSE(WorldParser::parse(text, "w.json", w, error)) << expected;
        EXPECT_TRUE(error.rfind("w.json: ", 0) == 0 && error.find(expected) != std::string::npos &&
                    error.find('\n') == std::string::npos)
            << error;
        EXPECT_EQ(std::pair(w.utcOffset, w.carriers.size()), std::pair(12345, size_t(2))) << expected;
    }
}

constexpr int32_t kFail = static_cast<int32_t>(0xBFFC0800u), kOther = static_cast<int32_t>(0xBFFC0A01u);
const char *const kRead = "kq7150_readMultAcquisition";

struct Call {
    int card = -1;
    int channel = -1;
    bool inCallback = false;
    const char *name = kRead;
};

// Rules {call, status, from, count (0: all on), card, channel, inCallback}, calls, and per call:
// 'F' kFail, 'O' kOther, '.' success.
TEST(FaultPlanTest, FailsExactlyTheSelectedCalls) {
    const Call card0{0}, card1{1}, inCallback{-1, -1, true}, open{-1, -1, false, "viOpen"},
        readEx{-1, -1, false, "kq7150_readMultAcquisitionEx"};
    using Case = std::tuple<std::vector<FaultRule>, std::vector<Call>, std::string>;
    for (const auto &[rules, calls, expected] : std::vector<Case>{
             {{{kRead, kFail}}, {{}, {}, {}}, "F.."},
             {{{kRead, kFail, 2, 2}}, {{}, {}, {}, {}, {}}, ".FF.."},
             {{{kRead, kFail, 3, 0}}, {{}, {}, {}, {}, {}}, "..FFF"},
             {{{kRead, kFail, 2}}, {open, readEx, {}, {}}, "...F"}, // other names neither fail nor count
             {{{kRead, kFail, 2, 1, 1}}, {card0, card1, {}, card1}, "...F"}, // only that card's calls count
             {{{kRead, kFail, 1, 0, -1, 3}}, {{0, 1}, {0, 3}, {}, {1, 3}}, ".F.F"},
             {{{kRead, kFail, 2, 2}}, {{4, 2}, inCallback, {}}, ".FF"}, // no filter: every call
             {{{kRead, kFail, 2, 0, -1, -1, true}}, {{}, inCallback, {}, inCallback}, "...F"},
             // The first rule to fire decides; all rules count.
             {{{kRead, kFail, 2}, {kRead, kOther, 1, 2}}, {{}, {}, {}}, "OF."}}) {
        FaultPlan plan;
        plan.reset(rules);
        std::string outcome;
        std::map<int32_t, char> symbol{{0, '.'}, {kFail, 'F'}, {kOther, 'O'}}; // any other: '\0'
        for (const Call &call : calls)
            outcome += symbol[plan.check(call.name, call.card, call.channel, call.inCallback)];
        EXPECT_EQ(outcome, expected) << rules.size() << " rules, " << calls.size() << " calls";
    }
}

// A ramp's counts are its scan numbers modulo 2^23, whatever the signal's other keys and the
// front end say.
TEST(ChannelSignal, RampCountsTheScansAcrossTheWrap) {
    std::vector<int32_t> q(6000);
    for (int gain : {1, 1000})
        for (uint64_t first : {(uint64_t{1} << 23) - 3000, (uint64_t{5} << 23) - 10}) {
            ChannelSignal ramp;
            ramp.configure({SignalConfig::Type::Ramp, 1.0, 1000.0, 4.0, 0.0, {}, 0.1}, 216000.0,
                           {gain, true, 1e-3, 0.01}, 1);
            EXPECT_FALSE(ramp.counts(first, q.size(), q.data()));
            for (size_t i = 0; i < q.size(); ++i)
                ASSERT_EQ(q[i], static_cast<int32_t>((first + i) % (1u << 23))) << gain << " " << first + i;
        }
}

} // namespace
} // namespace kqsim
