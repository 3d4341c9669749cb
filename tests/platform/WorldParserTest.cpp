#include "WorldParser.h"
#include "DefaultWorld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>

namespace kqsim {
namespace {

// The default world as a user would write it, from its description rather than from the code.
const char *const kDefaultWorldJson = R"({
  "carriers": [
    {"resources": ["VXI0::5::INSTR"], "interface": "VXI", "board": 0, "slot": 3, "logicalAddress": 5,
     "model": 7005, "slots": 6, "referenceVoltages": [0.0, 1.0, 2.5, 5.0, 9.5],
     "cards": [{"slot": 2, "code": "0x7150", "variant": "BB", "serial": "0x71500217", "firmware": "2.4.1"},
               {"slot": 3, "code": 28992, "serial": "0x71400102"},
               {"slot": 5, "variant": "BA", "serial": 1901069061, "firmware": "2.4.1"}]},
    {"resources": ["TCPIP0::192.0.2.17::INSTR", "TCPIP0::kq7000-lxi::INSTR"], "interface": "TCPIP",
     "ipAddress": "192.0.2.17", "hostName": "kq7000-lxi", "model": 7014, "slots": 2, "probeDelayMs": 300,
     "cards": [{"slot": 1, "variant": "BB", "serial": "0x71500411", "firmware": "2.5.0",
                "signal": {"frequency": 250, "amplitude": 2},
                "channels": {"3": {"amplitude": 0.5, "harmonics": [-90]}, "8": {"type": "ramp"}}}]}],
  "otherResources": ["ASRL1::INSTR"]
})";

TEST(WorldParserTest, HandWrittenDefaultWorldMatchesTheBuiltInOne) {
    WorldConfig parsed, builtIn = DefaultWorld::make();
    std::string error;
    ASSERT_TRUE(WorldParser::parse(kDefaultWorldJson, "w.json", parsed, error)) << error;
    ASSERT_EQ(parsed.carriers.size(), builtIn.carriers.size());
    for (std::size_t i = 0; i < parsed.carriers.size(); ++i) {
        const CarrierConfig &p = parsed.carriers[i], &b = builtIn.carriers[i];
        EXPECT_EQ(p.resources, b.resources);
        EXPECT_EQ(p.interface, b.interface);
        EXPECT_EQ(std::tie(p.slot, p.logicalAddress, p.model, p.slots, p.probeDelayMs, p.registerInterface),
                  std::tie(b.slot, b.logicalAddress, b.model, b.slots, b.probeDelayMs, b.registerInterface));
        EXPECT_EQ(std::tie(p.ipAddress, p.hostName, p.deviceName),
                  std::tie(b.ipAddress, b.hostName, b.deviceName));
        EXPECT_EQ(p.referenceVoltages, b.referenceVoltages);
        ASSERT_EQ(p.cards.size(), b.cards.size());
        for (std::size_t k = 0; k < p.cards.size(); ++k) {
            const CardConfig &pc = p.cards[k], &bc = b.cards[k];
            EXPECT_EQ(std::tie(pc.slot, pc.code, pc.variant, pc.serial, pc.subType, pc.firmware),
                      std::tie(bc.slot, bc.code, bc.variant, bc.serial, bc.subType, bc.firmware))
                << "carrier " << i << " card " << k;
        }
    }
    EXPECT_EQ(parsed.otherResources, builtIn.otherResources);
}

TEST(WorldParserTest, ChannelEntriesOverrideOnlyTheKeysTheyName) {
    WorldConfig w;
    std::string error;
    ASSERT_TRUE(WorldParser::parse(kDefaultWorldJson, "w.json", w, error)) << error;
    const CardConfig &card = w.carriers[1].cards[0];
    EXPECT_EQ(card.signalOf(1).frequency, 250.0);
    EXPECT_EQ(card.signalOf(1).amplitude, 2.0);
    EXPECT_EQ(card.signalOf(3).frequency, 250.0);
    EXPECT_EQ(card.signalOf(3).amplitude, 0.5);
    EXPECT_EQ(card.signalOf(3).harmonics, std::vector<double>{-90.0});
    EXPECT_EQ(card.signalOf(8).type, SignalConfig::Type::Ramp);
    EXPECT_EQ(card.signalOf(8).amplitude, 2.0);
    EXPECT_EQ(w.carriers[0].cards[2].variant, 0x4241);
    EXPECT_EQ(w.carriers[0].cards[2].subType, "BA");
    EXPECT_EQ(w.carriers[1].cards[0].code, 0x7150); // default
    EXPECT_EQ(w.fifoSamples, WorldConfig{}.fifoSamples);
}

struct Refusal {
    const char *name;
    std::string text;
    std::string expected; // what the message holds after "w.json: "
};
void PrintTo(const Refusal &r, std::ostream *os) {
    *os << r.name;
}

std::string carrier(const std::string &fields) {
    return R"({"utcOffset": 1, "carriers": [{"resources": ["VXI0::1::INSTR"], "interface": "VXI")" + fields +
           "}]}";
}
std::string card(const std::string &fields) {
    return carrier(R"(, "cards": [{"slot": 2)" + fields + "}]");
}

class WorldRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(WorldRefusal, NamesSourceAndPlaceAndLeavesWorldUnchanged) {
    WorldConfig w = DefaultWorld::make();
    w.utcOffset = 12345;
    std::string error;
    ASSERT_FALSE(WorldParser::parse(GetParam().text, "w.json", w, error));
    EXPECT_EQ(error.rfind("w.json: ", 0), 0u) << error;
    EXPECT_NE(error.find(GetParam().expected), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(w.utcOffset, 12345);
    EXPECT_EQ(w.carriers.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WorldRefusal,
    testing::ValuesIn(std::vector<Refusal>{
        {"SyntaxLine", "{\n  \"utcOffset\": 1,\n  \"calibrationMs\": 2,\n}", "w.json: line 4, column 1: "},
        {"SyntaxColumn", "{\"utcOffset\": 1,\n \"x\" 2}", "w.json: line 2, column 6: syntax error"},
        {"NumberOverflow", "{\"utcOffset\": 1,\n \"calibrationMs\": 1e999}", "line 2, column"},
        {"UnknownTopKey", R"({"carrier": []})",
         "carrier: unknown key, expected one of: carriers, otherResources,"},
        {"UnknownCardKey", card(R"(, "serail": 1)"), "carriers[0].cards[0].serail: unknown key"},
        {"WrongType", R"({"fifoSamples": "big"})", "fifoSamples: expected an integer >= 1024, found \"big\""},
        {"FractionForInteger", R"({"calibrationMs": 2.5})", "calibrationMs: expected an integer >= 0"},
        {"SlotOutOfRange", carrier(R"(, "cards": [{"slot": 1}, {"slot": 9}])"),
         "w.json: carriers[0].cards[1].slot: expected an integer from 1 to 6, found 9"},
        {"SlotBeyondSmallCarrier", carrier(R"(, "slots": 2, "cards": [{"slot": 3}])"),
         "carriers[0].cards[0].slot: expected an integer from 1 to 2, found 3"},
        {"DuplicateSlot", card(R"(}, {"slot": 2)"), "carriers[0].cards[1].slot: expected a slot not used by"},
        {"ResourceOfTwoCarriers", carrier(R"(}, {"resources": ["vxi0::1::instr"], "interface": "VXI")"),
         "carriers[1].resources[0]: expected a resource name not used before"},
        {"TcpipWithoutIp", R"({"carriers": [{"resources": ["TCPIP0::h::INSTR"], "interface": "TCPIP"}]})",
         "carriers[0].ipAddress: missing"},
        {"UnknownInterface", R"({"carriers": [{"resources": ["A"], "interface": "GPIB"}]})",
         "carriers[0].interface: expected \"VXI\" or \"TCPIP\", found \"GPIB\""},
        {"VariantTooLong", card(R"(, "variant": "BBB")"), "cards[0].variant: expected 2 printable"},
        {"VariantNotAscii", card(R"(, "variant": "B\u00e9")"), "cards[0].variant: expected 2 printable"},
        {"CodeZero", card(R"(, "code": "0x0")"), "cards[0].code: expected an integer or"},
        {"BadHexSerial", card(R"(, "serial": "0x7150021G")"), "cards[0].serial: expected"},
        {"ZeroFrequency", card(R"(, "signal": {"frequency": 0})"),
         "signal.frequency: expected a finite number > 0"},
        {"NegativeAmplitude", card(R"(, "channels": {"3": {"amplitude": -1}})"),
         "cards[0].channels.3.amplitude: expected a finite number >= 0"},
        {"ChannelNine", card(R"(, "channels": {"9": {}})"), "cards[0].channels.9: unknown key"},
        {"ZeroFaultStatus", R"({"faults": [{"call": "viOpen", "status": 0}]})", "faults[0].status: expected"},
        {"TopLevelArray", "[]", "w.json: top level: expected an object, found []"}}),
    [](const testing::TestParamInfo<Refusal> &info) { return info.param.name; });

class WorldFiles : public testing::Test {
protected:
    std::string write(const std::string &name, const std::string &text) {
        std::string path = testing::TempDir() + name;
        std::ofstream(path) << text;
        return path;
    }
    WorldConfig world = DefaultWorld::make();
    std::string error;
};

TEST_F(WorldFiles, MissingOrMalformedFileIsNamedInTheMessage) {
    std::string missing = testing::TempDir() + "no-such-world.json";
    EXPECT_FALSE(WorldParser::loadWorldFile(missing, world, error));
    EXPECT_EQ(error, "cannot read '" + missing + "': " + std::strerror(ENOENT));
    std::string bad = write("bad-world.json", "{\"carriers\": [}");
    EXPECT_FALSE(WorldParser::loadWorldFile(bad, world, error));
    EXPECT_EQ(error.rfind(bad + ": line 1, column 15: ", 0), 0u) << error;
}

TEST_F(WorldFiles, FaultFileReplacesOnlyTheFaults) {
    world.faults = {FaultRule{"viOpen", -1, 1, 1, -1, -1, false}};
    world.stall.afterBlocks = 4;
    std::string path =
        write("faults.json", R"({"faults": [{"call": "kq7150_multConfig", "status": "0xBFFC0800",
        "from": 2, "count": 0, "cardIndex": 1, "channel": 3, "inCallback": true}],
        "errorWord": {"bits": "0x0800", "afterScans": 1000}})");
    ASSERT_TRUE(WorldParser::loadFaultFile(path, world, error)) << error;
    ASSERT_EQ(world.faults.size(), 1u);
    const FaultRule &f = world.faults[0];
    EXPECT_EQ(f.call, "kq7150_multConfig");
    EXPECT_EQ(f.status, static_cast<int32_t>(0xBFFC0800u));
    EXPECT_EQ(std::tie(f.from, f.count, f.cardIndex, f.channel, f.inCallback),
              std::make_tuple(2, 0, 1, 3, true));
    EXPECT_EQ(std::tie(world.errorWord.bits, world.errorWord.afterScans), std::make_tuple(0x0800, 1000));
    EXPECT_EQ(world.stall.afterBlocks, -1); // a fault file states all faults of the run
    EXPECT_EQ(world.carriers.size(), 2u);
    EXPECT_EQ(world.otherResources, DefaultWorld::make().otherResources);
    EXPECT_FALSE(WorldParser::parseFaults(R"({"carriers": []})", "f.json", world, error));
    EXPECT_EQ(error.rfind("f.json: carriers: unknown key", 0), 0u) << error;
}

class DefaultWorldTest : public testing::Test {
protected:
    WorldConfig world = DefaultWorld::make();
    const CarrierConfig *find(CarrierConfig::Interface interface) {
        for (const CarrierConfig &c : world.carriers)
            if (c.interface == interface)
                return &c;
        return nullptr;
    }
};

TEST_F(DefaultWorldTest, LxiBoxHasTwoNamesNoReferenceAndASlowProbe) {
    const CarrierConfig *lxi = find(CarrierConfig::Interface::Tcpip);
    ASSERT_NE(lxi, nullptr);
    ASSERT_EQ(lxi->resources.size(), 2u);
    EXPECT_NE(lxi->resources[0].find(lxi->ipAddress), std::string::npos);
    EXPECT_NE(lxi->resources[1].find(lxi->hostName), std::string::npos);
    EXPECT_TRUE(lxi->referenceVoltages.empty());
    EXPECT_GE(lxi->probeDelayMs, 100);
    EXPECT_LE(lxi->probeDelayMs, 1000);
    ASSERT_EQ(lxi->cards.size(), 1u);
    EXPECT_EQ(lxi->cards[0].code, 0x7150);
}

TEST_F(DefaultWorldTest, VxiCarrierHasGapsAnotherModelAndBothVariants) {
    const CarrierConfig *vxi = find(CarrierConfig::Interface::Vxi);
    ASSERT_NE(vxi, nullptr);
    std::vector<int> slots7150;
    std::set<int> used;
    bool otherModel = false, gainOneOnly = false, fullVariant = false;
    for (const CardConfig &card : vxi->cards) {
        used.insert(card.slot);
        otherModel |= card.code != 0x7150;
        if (card.code == 0x7150) {
            slots7150.push_back(card.slot);
            gainOneOnly |= (card.variant & 0xFF) == 'A';
            fullVariant |= card.variant == 0x4242;
        }
    }
    ASSERT_EQ(slots7150.size(), 2u);
    EXPECT_GT(slots7150[1] - slots7150[0], 1);
    EXPECT_LT(int(used.size()), vxi->slots);
    EXPECT_TRUE(otherModel && gainOneOnly && fullVariant);
    EXPECT_EQ(std::count(vxi->referenceVoltages.begin(), vxi->referenceVoltages.end(), 0.0), 1);
}

TEST_F(DefaultWorldTest, ChannelsShowDistinctSinesInsideTheRange) {
    for (const CarrierConfig &carrier : world.carriers)
        for (const CardConfig &card : carrier.cards) {
            std::set<std::pair<double, double>> shapes;
            for (int channel = 1; channel <= 8; ++channel) {
                const SignalConfig &s = card.signalOf(channel);
                EXPECT_EQ(s.type, SignalConfig::Type::Sine);
                EXPECT_LT(std::abs(s.offset) + 1.01 * s.amplitude + 6 * s.noiseRms, 10.0);
                shapes.insert({s.frequency * (s.amplitude > 0), s.amplitude});
            }
            EXPECT_EQ(shapes.size(), 8u) << "card in slot " << card.slot;
        }
}

} // namespace
} // namespace kqsim
