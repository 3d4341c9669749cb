#include "WorldParser.h"
#include "DefaultWorld.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kqsim {
namespace {

TEST(WorldParserTest, ChannelEntriesOverrideOnlyTheKeysTheyName) {
    WorldConfig w;
    std::string error;
    ASSERT_TRUE(WorldParser::parse(R"({"carriers": [{"resources": ["VXI0::1::INSTR"], "interface": "VXI",
        "cards": [{"slot": 1, "variant": "BA", "signal": {"frequency": 250, "amplitude": 2},
                   "channels": {"3": {"amplitude": 0.5, "harmonics": [-90]}, "8": {"type": "ramp"}}}]}]})",
                                   "w.json", w, error))
        << error;
    const CardConfig &card = w.carriers[0].cards[0];
    const auto signal = [&](int channel) {
        const SignalConfig &s = card.signalOf(channel);
        return std::tuple(s.type == SignalConfig::Type::Ramp, s.frequency, s.amplitude, s.harmonics);
    };
    EXPECT_EQ(signal(1), std::tuple(false, 250.0, 2.0, std::vector<double>{}));
    EXPECT_EQ(signal(3), std::tuple(false, 250.0, 0.5, std::vector<double>{-90.0}));
    EXPECT_EQ(signal(8), std::tuple(true, 250.0, 2.0, std::vector<double>{}));
    EXPECT_EQ(std::tuple(card.variant, card.subType, card.code),
              std::tuple(0x4241, "BA", 0x7150)); // code: default
    EXPECT_EQ(w.fifoSamples, WorldConfig{}.fifoSamples);
}

std::string carrier(const std::string &fields) {
    return R"({"utcOffset": 1, "carriers": [{"resources": ["VXI0::1::INSTR"], "interface": "VXI")" + fields +
           "}]}";
}
std::string repeated(const std::string &text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}
// fifoSamples as arrays in arrays, depth levels deep with the document itself.
std::string nested(int depth) {
    return "{\"fifoSamples\":\n" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}
std::string card(const std::string &fields) {
    return carrier(R"(, "cards": [{"slot": 2)" + fields + "}]");
}

// One case of each kind of refusal: the one-line message names the source and the place, and
// the world is left as it was. Numbers are read by one strict routine with its own table test;
// one row shows that the parser refuses through it, naming what it found.
TEST(WorldParserTest, RefusesEachKindOfMistakeNamingThePlace) {
    for (const auto &[text, expected] : std::vector<std::pair<std::string, std::string>>{
             {"{\n  \"utcOffset\": 1,\n  \"calibrationMs\": 2,\n}", "w.json: line 4, column 1: "},
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
        std::string error;
        ASSERT_FALSE(WorldParser::parse(text, "w.json", w, error)) << expected;
        EXPECT_EQ(error.rfind("w.json: ", 0), 0u) << error;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(w.utcOffset, 12345) << expected;
        EXPECT_EQ(w.carriers.size(), 2u) << expected;
    }
}

} // namespace
} // namespace kqsim
