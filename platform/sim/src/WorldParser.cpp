// A world file is written by hand, so every value is checked where it is read and a refusal
// names the key path to fix. Unknown keys are refused too: in a hand-written file they are
// almost always a misspelt key whose intended value would otherwise silently keep its default.
#include "WorldParser.h"

#include "JsonDocument.h"

#include "StrictNumber.h"

#include "kq7000.h"
#include "kq7150.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <map>
#include <optional>
#include <utility>

namespace kqsim {
namespace {

using json = nlohmann::json;

constexpr int64_t kIntMax = std::numeric_limits<int>::max();
constexpr int64_t kIntMin = std::numeric_limits<int>::min();
constexpr int64_t kUint32Max = std::numeric_limits<uint32_t>::max();

// What a file may ask for is bounded by what the cards and carriers can be, and never so far
// that the simulation would allocate, wait or compute without end.
constexpr std::size_t kMaxCarriers = kq7150_MAX_CARDS; // a session's cards sit on as many at most
constexpr std::size_t kMaxResourcesPerCarrier = 16;
constexpr std::size_t kMaxOtherResources = 64;
constexpr std::size_t kMaxReferenceVoltages = 16;
constexpr std::size_t kMaxHarmonics = 32;
constexpr std::size_t kMaxFaults = 256;              // every call of the libraries looks at each rule
constexpr std::size_t kMaxName = VI_FIND_BUFLEN - 1; // VISA names and texts, without terminator
constexpr std::size_t kMaxText = kq7150_TEXT_BUFLEN - 1;
constexpr int64_t kMaxDelayMs = 60 * 1000;       // a probe or a calibration
constexpr int64_t kMaxPeriodMs = 60 * 60 * 1000; // the front-panel trigger, a callback stall
constexpr int64_t kMaxVxiSlot = 12;              // a VXI mainframe has slots 0 to 12
constexpr int64_t kMaxBoard = std::numeric_limits<ViUInt16>::max();    // as VISA reports it
constexpr int64_t kMinUtcOffset = std::numeric_limits<ViInt16>::min(); // as the driver reports it
constexpr int64_t kMaxUtcOffset = std::numeric_limits<ViInt16>::max();
constexpr double kMaxVolts = 1000.0;                        // about 100 times the card's full scale
constexpr double kMinFrequency = 1e-3, kMaxFrequency = 1e6; // Hz: up to about 5 times the fastest scan rate
constexpr double kMinDbc = -300.0, kMaxDbc = 40.0;
constexpr double kMaxPhase = 1e6; // radians

// The first bad value found; parsing stops there.
struct ValueError {
    std::string path;
    std::string message;
};

std::string hexText(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string rangeText(int64_t lo, int64_t hi, bool hex) {
    auto number = [hex](int64_t v) { return hex && v >= 0 ? hexText(v) : std::to_string(v); };
    return "from " + number(lo) + " to " + number(hi);
}

// "at most 8" or "1 to 8".
std::string countText(std::size_t lo, std::size_t hi) {
    return (lo == 0 ? "at most " : std::to_string(lo) + " to ") + std::to_string(hi);
}

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string describe(const json &j) {
    std::string text = j.dump(-1, ' ', false, json::error_handler_t::replace);
    return text.size() > 40 ? text.substr(0, 37) + "..." : text;
}

// "0x" followed by up to 8 hex digits: how codes, serial numbers and statuses are written in
// the manuals, so users copy them that way. The caller checks the range of what it reads.
std::optional<int64_t> hexValue(const std::string &text) {
    return StrictNumber::whole(text, {0, kUint32Max, StrictNumber::Base::prefixedHex, false, 8});
}

// One value of the document together with its key path, e.g. "carriers[1].cards[0].slot".
class Value {
public:
    Value(const json &j, std::string path) : j_(&j), path_(std::move(path)) {}

    const json &raw() const { return *j_; }

    [[noreturn]] void fail(const std::string &expected) const {
        throw ValueError{path_, "expected " + expected + ", found " + describe(*j_)};
    }

    void expectObject(std::initializer_list<const char *> keys) const {
        if (!j_->is_object())
            fail("an object");
        for (const auto &item : j_->items()) {
            auto same = [&](const char *key) { return item.key() == key; };
            if (std::none_of(keys.begin(), keys.end(), same))
                throw ValueError{child(item.key()), "unknown key, expected one of: " + join(keys)};
        }
    }

    std::optional<Value> find(const char *key) const {
        auto it = j_->find(key);
        if (it == j_->end())
            return std::nullopt;
        return Value(*it, child(key));
    }

    Value require(const char *key, const std::string &expected) const {
        auto value = find(key);
        if (!value)
            throw ValueError{child(key), "missing, expected " + expected};
        return *value;
    }

    // An array of minCount to maxCount items, e.g. "resource names".
    std::vector<Value> elements(std::size_t minCount, std::size_t maxCount, const std::string &items) const {
        if (!j_->is_array() || j_->size() < minCount || j_->size() > maxCount)
            fail("an array of " + countText(minCount, maxCount) + " " + items);
        std::vector<Value> values;
        for (std::size_t i = 0; i < j_->size(); ++i)
            values.emplace_back((*j_)[i], path_ + "[" + std::to_string(i) + "]");
        return values;
    }

    int64_t integer(int64_t lo, int64_t hi) const {
        auto value = asInteger();
        if (!value || *value < lo || *value > hi)
            fail("an integer " + rangeText(lo, hi, false));
        return *value;
    }

    int64_t integerOrHex(int64_t lo, int64_t hi) const {
        auto value = j_->is_string() ? hexValue(j_->get<std::string>()) : asInteger();
        if (!value || *value < lo || *value > hi)
            fail("an integer or \"0x\" hex string " + rangeText(lo, hi, true));
        return *value;
    }

    // Statuses are negative as int32 but written as their unsigned hex pattern.
    int32_t status() const {
        auto value = j_->is_string() ? hexValue(j_->get<std::string>()) : asInteger();
        bool fits = value && (j_->is_string() || (*value >= kIntMin && *value <= kIntMax));
        if (!fits || *value == 0)
            fail("a non-zero 32-bit status, an integer or a hex string such as \"0xBFFC0800\"");
        return static_cast<int32_t>(static_cast<uint32_t>(*value));
    }

    double number(double lo, double hi) const {
        if (j_->is_number()) {
            double v = j_->get<double>();
            if (v >= lo && v <= hi)
                return v;
        }
        fail("a number from " + numberText(lo) + " to " + numberText(hi));
    }

    std::string string(std::size_t minLength, std::size_t maxLength) const {
        if (!j_->is_string() || j_->get_ref<const std::string &>().size() < minLength ||
            j_->get_ref<const std::string &>().size() > maxLength)
            fail("a string of " + countText(minLength, maxLength) + " characters");
        return j_->get<std::string>();
    }

    bool boolean() const {
        if (!j_->is_boolean())
            fail("true or false");
        return j_->get<bool>();
    }

    template <class T> T choice(std::initializer_list<std::pair<const char *, T>> names) const {
        for (const auto &name : names)
            if (j_->is_string() && j_->get<std::string>() == name.first)
                return name.second;
        std::string expected;
        for (const auto &name : names)
            expected += (expected.empty() ? "" : " or ") + std::string("\"") + name.first + "\"";
        fail(expected);
    }

private:
    std::string child(const std::string &key) const { return path_.empty() ? key : path_ + "." + key; }

    static std::string join(std::initializer_list<const char *> keys) {
        std::string text;
        for (const char *key : keys)
            text += (text.empty() ? "" : ", ") + std::string(key);
        return text;
    }

    std::optional<int64_t> asInteger() const {
        if (!j_->is_number_integer())
            return std::nullopt;
        if (j_->is_number_unsigned() && j_->get<uint64_t>() > uint64_t(std::numeric_limits<int64_t>::max()))
            return std::nullopt;
        return j_->get<int64_t>();
    }

    const json *j_;
    std::string path_;
};

int toInt(int64_t value) {
    return static_cast<int>(value);
}

SignalConfig readSignal(const Value &v, SignalConfig s) {
    v.expectObject({"type", "offset", "frequency", "amplitude", "phase", "harmonics", "noiseRms"});
    using Type = SignalConfig::Type;
    if (auto type = v.find("type"))
        s.type = type->choice<Type>({{"sine", Type::Sine}, {"ramp", Type::Ramp}});
    if (auto offset = v.find("offset"))
        s.offset = offset->number(-kMaxVolts, kMaxVolts);
    if (auto frequency = v.find("frequency"))
        s.frequency = frequency->number(kMinFrequency, kMaxFrequency);
    if (auto amplitude = v.find("amplitude"))
        s.amplitude = amplitude->number(0.0, kMaxVolts);
    if (auto phase = v.find("phase"))
        s.phase = phase->number(-kMaxPhase, kMaxPhase);
    if (auto harmonics = v.find("harmonics")) {
        s.harmonics.clear();
        for (const Value &dbc : harmonics->elements(0, kMaxHarmonics, "dBc values"))
            s.harmonics.push_back(dbc.number(kMinDbc, kMaxDbc));
    }
    if (auto noise = v.find("noiseRms"))
        s.noiseRms = noise->number(0.0, kMaxVolts);
    return s;
}

// The variant word is two ASCII characters the driver shows as text; anything else could not
// have come from a card.
uint16_t readVariant(const Value &v, std::string &text) {
    if (v.raw().is_string()) {
        text = v.raw().get<std::string>();
        auto printable = [](char c) { return c >= 0x20 && c <= 0x7E; };
        if (text.size() == 2 && std::all_of(text.begin(), text.end(), printable))
            return static_cast<uint16_t>((static_cast<uint8_t>(text[0]) << 8) |
                                         static_cast<uint8_t>(text[1]));
    }
    v.fail("2 printable ASCII characters such as \"BB\"");
}

// A channel's entry overrides only the keys it names; the rest comes from the card's signal,
// so a file can vary one property per channel without repeating the others.
void readChannels(const Value &v, CardConfig &card) {
    v.expectObject({"1", "2", "3", "4", "5", "6", "7", "8"});
    for (const auto &item : v.raw().items()) {
        int channel = std::stoi(item.key());
        card.signals[channel] = readSignal(*v.find(item.key().c_str()), card.defaultSignal);
    }
}

CardConfig readCard(const Value &v, int slots) {
    v.expectObject({"slot", "code", "variant", "serial", "subType", "firmware", "signal", "channels"});
    CardConfig card;
    card.slot = toInt(v.require("slot", "an integer " + rangeText(1, slots, false)).integer(1, slots));
    if (auto code = v.find("code"))
        card.code = static_cast<uint16_t>(code->integerOrHex(1, 0xFFFF));
    std::string variantText = "BB";
    if (auto variant = v.find("variant"))
        card.variant = readVariant(*variant, variantText);
    card.subType = variantText;
    if (auto serial = v.find("serial"))
        card.serial = static_cast<uint32_t>(serial->integerOrHex(0, kUint32Max));
    if (auto subType = v.find("subType"))
        card.subType = subType->string(0, kMaxText);
    if (auto firmware = v.find("firmware"))
        card.firmware = firmware->string(0, kMaxText);
    if (auto signal = v.find("signal"))
        card.defaultSignal = readSignal(*signal, card.defaultSignal);
    if (auto channels = v.find("channels"))
        readChannels(*channels, card);
    return card;
}

void readCards(const Value &v, CarrierConfig &carrier) {
    std::map<int, std::size_t> cardInSlot;
    for (const Value &entry : v.elements(0, static_cast<std::size_t>(carrier.slots), "cards")) {
        CardConfig card = readCard(entry, carrier.slots);
        auto [it, inserted] = cardInSlot.emplace(card.slot, carrier.cards.size());
        if (!inserted)
            entry.require("slot", "").fail("a slot not used by cards[" + std::to_string(it->second) + "]");
        carrier.cards.push_back(std::move(card));
    }
}

void readAddress(const Value &v, CarrierConfig &c) {
    using Interface = CarrierConfig::Interface;
    c.interface = v.require("interface", "\"VXI\" or \"TCPIP\"")
                      .choice<Interface>({{"VXI", Interface::Vxi}, {"TCPIP", Interface::Tcpip}});
    if (auto board = v.find("board"))
        c.board = toInt(board->integer(0, kMaxBoard));
    if (auto slot = v.find("slot"))
        c.slot = toInt(slot->integer(0, kMaxVxiSlot));
    if (auto address = v.find("logicalAddress"))
        c.logicalAddress = toInt(address->integer(0, 255));
    if (auto ip = v.find("ipAddress"))
        c.ipAddress = ip->string(1, kMaxName);
    else if (c.interface == Interface::Tcpip)
        v.require("ipAddress", "the IP address of a TCPIP carrier");
    if (auto host = v.find("hostName"))
        c.hostName = host->string(0, kMaxName);
    if (auto device = v.find("deviceName"))
        c.deviceName = device->string(0, kMaxName);
}

CarrierConfig readCarrier(const Value &v) {
    v.expectObject({"resources", "interface", "board", "slot", "logicalAddress", "ipAddress", "hostName",
                    "deviceName", "model", "slots", "registerInterface", "referenceVoltages", "probeDelayMs",
                    "cards"});
    CarrierConfig c;
    Value resources = v.require("resources", "an array of resource names");
    for (const Value &name : resources.elements(1, kMaxResourcesPerCarrier, "resource names"))
        c.resources.push_back(name.string(1, kMaxName));
    readAddress(v, c);
    if (auto model = v.find("model"))
        c.model = static_cast<uint32_t>(model->integer(1, kIntMax));
    if (auto slots = v.find("slots"))
        c.slots = toInt(slots->integer(1, kq7000_MAX_SLOTS));
    if (auto registers = v.find("registerInterface"))
        c.registerInterface = registers->boolean();
    if (auto voltages = v.find("referenceVoltages"))
        for (const Value &volts : voltages->elements(0, kMaxReferenceVoltages, "voltages"))
            c.referenceVoltages.push_back(volts.number(-kMaxVolts, kMaxVolts));
    if (auto delay = v.find("probeDelayMs"))
        c.probeDelayMs = toInt(delay->integer(0, kMaxDelayMs));
    if (auto cards = v.find("cards"))
        readCards(*cards, c);
    return c;
}

FaultRule readFault(const Value &v) {
    v.expectObject({"call", "status", "from", "count", "cardIndex", "channel", "inCallback"});
    FaultRule rule;
    rule.call = v.require("call", "the name of a function").string(1, kMaxName);
    rule.status = v.require("status", "a non-zero status").status();
    if (auto from = v.find("from"))
        rule.from = toInt(from->integer(1, kIntMax));
    if (auto count = v.find("count"))
        rule.count = toInt(count->integer(0, kIntMax));
    if (auto card = v.find("cardIndex"))
        rule.cardIndex = toInt(card->integer(0, kq7150_MAX_CARDS - 1));
    if (auto channel = v.find("channel"))
        rule.channel = toInt(channel->integer(1, kq7150_CHANNELS));
    if (auto inCallback = v.find("inCallback"))
        rule.inCallback = inCallback->boolean();
    return rule;
}

// A fault description replaces all three fault members, also those it leaves out: the faults
// of a run are then exactly what the one file that was given describes.
void readFaultMembers(const Value &root, WorldConfig &w) {
    w.faults.clear();
    w.stall = CallbackStall{};
    w.errorWord = ErrorWordFault{};
    if (auto faults = root.find("faults"))
        for (const Value &fault : faults->elements(0, kMaxFaults, "faults"))
            w.faults.push_back(readFault(fault));
    if (auto stall = root.find("callbackStall")) {
        stall->expectObject({"afterBlocks", "milliseconds"});
        if (auto blocks = stall->find("afterBlocks"))
            w.stall.afterBlocks = toInt(blocks->integer(-1, kIntMax));
        if (auto ms = stall->find("milliseconds"))
            w.stall.milliseconds = toInt(ms->integer(0, kMaxPeriodMs));
    }
    if (auto word = root.find("errorWord")) {
        word->expectObject({"bits", "afterScans"});
        if (auto bits = word->find("bits"))
            w.errorWord.bits = static_cast<uint16_t>(bits->integerOrHex(0, 0xFFFF));
        if (auto scans = word->find("afterScans"))
            w.errorWord.afterScans = scans->integer(-1, std::numeric_limits<int64_t>::max());
    }
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// VISA resource names are case-insensitive; a name reaching two places would make the search
// and viOpen disagree about what is there.
void checkResourcesUnique(const WorldConfig &w) {
    std::map<std::string, std::string> firstUse;
    auto check = [&](const std::string &name, const std::string &path) {
        auto [it, inserted] = firstUse.emplace(lowerCase(name), path);
        if (!inserted)
            throw ValueError{path, "expected a resource name not used before, found \"" + name +
                                       "\", already at " + it->second};
    };
    for (std::size_t i = 0; i < w.carriers.size(); ++i)
        for (std::size_t k = 0; k < w.carriers[i].resources.size(); ++k)
            check(w.carriers[i].resources[k],
                  "carriers[" + std::to_string(i) + "].resources[" + std::to_string(k) + "]");
    for (std::size_t k = 0; k < w.otherResources.size(); ++k)
        check(w.otherResources[k], "otherResources[" + std::to_string(k) + "]");
}

void readWorld(const Value &root, WorldConfig &w) {
    root.expectObject({"carriers", "otherResources", "fifoSamples", "frontPanelTriggerPeriodMs",
                       "calibrationMs", "utcOffset", "faults", "callbackStall", "errorWord"});
    w = WorldConfig{};
    if (auto carriers = root.find("carriers"))
        for (const Value &carrier : carriers->elements(0, kMaxCarriers, "carriers"))
            w.carriers.push_back(readCarrier(carrier));
    if (auto others = root.find("otherResources"))
        for (const Value &name : others->elements(0, kMaxOtherResources, "resource names"))
            w.otherResources.push_back(name.string(1, kMaxName));
    if (auto fifo = root.find("fifoSamples"))
        w.fifoSamples = fifo->integer(1024, kCardMemorySamples);
    if (auto period = root.find("frontPanelTriggerPeriodMs"))
        w.frontPanelTriggerPeriodMs = toInt(period->integer(0, kMaxPeriodMs));
    if (auto calibration = root.find("calibrationMs"))
        w.calibrationMs = toInt(calibration->integer(0, kMaxDelayMs));
    if (auto offset = root.find("utcOffset"))
        w.utcOffset = toInt(offset->integer(kMinUtcOffset, kMaxUtcOffset));
    readFaultMembers(root, w);
    checkResourcesUnique(w);
}

void readFaultFile(const Value &root, WorldConfig &w) {
    root.expectObject({"faults", "callbackStall", "errorWord"});
    readFaultMembers(root, w);
}

// A key or value may hold a decoded newline; the message must stay one line.
std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](unsigned char c) { return c < 0x20; }, ' ');
    return text;
}

template <class Read>
bool parseWith(const std::string &text, const std::string &source, WorldConfig &world, std::string &error,
               Read read) {
    json document;
    if (!JsonDocument::parse(text, document, error)) {
        error = oneLine(source + ": " + error);
        return false;
    }
    WorldConfig result = world;
    try {
        read(Value(document, ""), result);
    } catch (const ValueError &e) {
        error = oneLine(source + ": " + (e.path.empty() ? "top level" : e.path) + ": " + e.message);
        return false;
    }
    world = std::move(result);
    return true;
}

bool readFile(const std::string &path, std::string &text, std::string &error) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    char buffer[16384];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    int readError = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (readError != 0)
        error = "cannot read '" + path + "': " + std::strerror(readError);
    return readError == 0;
}

} // namespace

bool WorldParser::parse(const std::string &text, const std::string &sourceName, WorldConfig &world,
                        std::string &error) {
    return parseWith(text, sourceName, world, error, readWorld);
}

bool WorldParser::parseFaults(const std::string &text, const std::string &sourceName, WorldConfig &world,
                              std::string &error) {
    return parseWith(text, sourceName, world, error, readFaultFile);
}

bool WorldParser::loadWorldFile(const std::string &path, WorldConfig &world, std::string &error) {
    std::string text;
    return readFile(path, text, error) && parse(text, path, world, error);
}

bool WorldParser::loadFaultFile(const std::string &path, WorldConfig &world, std::string &error) {
    std::string text;
    return readFile(path, text, error) && parseFaults(text, path, world, error);
}

} // namespace kqsim
