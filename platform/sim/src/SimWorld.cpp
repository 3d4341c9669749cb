#include "SimWorld.h"

#include "DefaultWorld.h"
#include "Guarded.h"
#include "WorldParser.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace kqsim {

namespace {

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string &s) {
    const size_t b = s.find_first_not_of(" \t");
    const size_t e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// A card's converters are off by a little until calibrated; the amount is fixed per card
// and channel so that a test can see calibration remove it.
void initialErrors(uint32_t serial, int channel, ChannelSetup &setup) {
    const uint32_t h = (serial ^ 0x9E3779B9u) * 2654435761u + static_cast<uint32_t>(channel) * 40503u;
    const double sign = (h & 1u) ? 1.0 : -1.0;
    setup.offsetError = sign * (0.2e-3 + ((h >> 8) % 1000) * 1.5e-6); // 0.2 .. 1.7 mV
    setup.gainError = -sign * (2e-4 + ((h >> 20) % 1000) * 1.0e-6);   // 0.02 .. 0.12 %
}

ViStatus setVoltRefOutput(void *libEnv, ViReal64 volts) {
    return guarded([&]() -> ViStatus {
        SimWorld &world = SimWorld::instance();
        char args[64];
        std::snprintf(args, sizeof args, "volts=%.6g", volts);
        world.log().record("setVoltRefOutput", args);
        if (ViStatus s = world.faults().check("setVoltRefOutput"))
            return s;
        auto *carrier = static_cast<Carrier *>(libEnv);
        if (!carrier || carrier->vrefs.empty())
            return kq7150_ERROR_NO_VREF;
        if (!(volts >= -ChannelSignal::kFullScale && volts <= ChannelSignal::kFullScale))
            return kq7150_ERROR_PARAMETER;
        std::lock_guard<std::mutex> lock(world.stateMutex());
        carrier->vrefOutput = volts;
        return VI_SUCCESS;
    });
}

ViStatus getVoltRefOutput(void *libEnv, ViReal64 *volts) {
    return guarded([&]() -> ViStatus {
        SimWorld &world = SimWorld::instance();
        world.log().record("getVoltRefOutput", "");
        if (ViStatus s = world.faults().check("getVoltRefOutput"))
            return s;
        auto *carrier = static_cast<Carrier *>(libEnv);
        if (!carrier || carrier->vrefs.empty() || !volts)
            return kq7150_ERROR_NO_VREF;
        std::lock_guard<std::mutex> lock(world.stateMutex());
        *volts = carrier->vrefOutput;
        return VI_SUCCESS;
    });
}

} // namespace

Card *Carrier::cardInSlot(int slot) const {
    for (const auto &c : cards)
        if (c->config->slot == slot)
            return c.get();
    return nullptr;
}

SimWorld &SimWorld::instance() {
    static SimWorld world;
    return world;
}

SimWorld::SimWorld() {
    load();
}

// Callback threads hold their sessions; they must end before the world goes away.
SimWorld::~SimWorld() {
    for (auto &entry : sessions_)
        if (entry.second.kind == Session::Kind::Multi && entry.second.multi)
            entry.second.multi->acquisition->stop();
}

void SimWorld::load() {
    config_ = DefaultWorld::make();
    loadError_.clear();
    if (const char *path = std::getenv("KQ7150_SIM_CONFIG"); path && *path) {
        WorldConfig fromFile;
        if (WorldParser::loadWorldFile(path, fromFile, loadError_))
            config_ = fromFile;
        else
            config_ = WorldConfig(); // nothing to find: the program says no card was found
    }
    if (const char *path = std::getenv("KQ7150_SIM_FAULTS"); path && *path && loadError_.empty())
        WorldParser::loadFaultFile(path, config_, loadError_);
    if (!loadError_.empty())
        std::fprintf(stderr, "kq7150 simulation: %s\n", loadError_.c_str());
    faults_.reset(config_.faults);
    clock_ = std::make_unique<CardClock>(config_.utcOffset);
    build();
}

void SimWorld::build() {
    carriers_.clear();
    for (const CarrierConfig &cc : config_.carriers) {
        auto carrier = std::make_unique<Carrier>();
        carrier->config = &cc;
        carrier->vrefs = cc.referenceVoltages;
        carrier->vrefCount = static_cast<ViInt32>(carrier->vrefs.size());
        carrier->ifVref.count = &carrier->vrefCount;
        carrier->ifVref.voltages = carrier->vrefs.data();
        carrier->ifVref.setVoltRefOutput = setVoltRefOutput;
        carrier->ifVref.getVoltRefOutput = getVoltRefOutput;
        for (const CardConfig &kc : cc.cards) {
            auto card = std::make_unique<Card>();
            card->config = &kc;
            card->carrier = carrier.get();
            for (int ch = 0; ch < kq7150_CHANNELS; ++ch)
                initialErrors(kc.serial, ch, card->channels[ch]);
            card->env.head.libEnv = carrier.get();
            card->env.head.ifVref = carrier->vrefs.empty() ? nullptr : &carrier->ifVref;
            card->env.variant = kc.variant;
            card->env.fcNumber = static_cast<ViInt16>(kc.slot);
            carrier->cards.push_back(std::move(card));
        }
        carriers_.push_back(std::move(carrier));
    }
}

void SimWorld::reload() {
    std::map<ViSession, Session> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing.swap(sessions_);
    }
    for (auto &entry : closing)
        if (entry.second.kind == Session::Kind::Multi && entry.second.multi)
            entry.second.multi->acquisition->stop();
    closing.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    load();
}

std::string SimWorld::loadError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return loadError_;
}

int SimWorld::calibrationMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return config_.calibrationMs;
}

ViSession SimWorld::add(Session session) {
    std::lock_guard<std::mutex> lock(mutex_);
    const ViSession id = nextId_++;
    if (session.multi && session.kind == Session::Kind::Multi)
        session.multi->id = id;
    sessions_[id] = std::move(session);
    return id;
}

bool SimWorld::find(ViSession id, Session &out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end())
        return false;
    out = it->second;
    return true;
}

// Closing a resource manager closes what was opened through it; closing a multi-card
// session stops its acquisition and closes its card sessions.
bool SimWorld::close(ViSession id) {
    std::vector<std::shared_ptr<MultiSession>> stopping;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = sessions_.find(id);
        if (it == sessions_.end())
            return false;
        if (it->second.multi && it->second.kind == Session::Kind::Multi)
            stopping.push_back(it->second.multi);
        sessions_.erase(it);
        for (auto c = sessions_.begin(); c != sessions_.end();) {
            if (c->second.owner == id)
                c = sessions_.erase(c);
            else
                ++c;
        }
    }
    for (auto &m : stopping)
        m->acquisition->stop();
    return true;
}

bool SimWorld::popFound(ViSession findList, std::string &name) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(findList);
    if (it == sessions_.end() || it->second.kind != Session::Kind::FindList || it->second.found.empty())
        return false;
    name = it->second.found.front();
    it->second.found.erase(it->second.found.begin());
    return true;
}

size_t SimWorld::openSessions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sessions_.size();
}

std::vector<std::string> SimWorld::resourceNames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> names;
    for (const CarrierConfig &c : config_.carriers)
        names.insert(names.end(), c.resources.begin(), c.resources.end());
    names.insert(names.end(), config_.otherResources.begin(), config_.otherResources.end());
    return names;
}

Carrier *SimWorld::carrierByName(const std::string &name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string wanted = upper(trim(name));
    for (const auto &c : carriers_)
        for (const std::string &r : c->config->resources)
            if (upper(r) == wanted)
                return c.get();
    return nullptr;
}

bool SimWorld::isOtherResource(const std::string &name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string wanted = upper(trim(name));
    return std::any_of(config_.otherResources.begin(), config_.otherResources.end(),
                       [&](const std::string &r) { return upper(r) == wanted; });
}

ViStatus SimWorld::resolveCards(const std::string &list, const ViInt16 *cardNumbers,
                                std::vector<Card *> &cards) const {
    std::vector<std::string> names;
    size_t from = 0;
    while (true) {
        const size_t comma = list.find(',', from);
        names.push_back(
            trim(list.substr(from, comma == std::string::npos ? std::string::npos : comma - from)));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    if (std::any_of(names.begin(), names.end(), [](const std::string &n) { return n.empty(); }))
        return kq7150_ERROR_RSRC_LIST;
    if (names.size() > kq7150_MAX_CARDS)
        return kq7150_ERROR_TOO_MANY_CARDS;
    for (size_t i = 0; i < names.size(); ++i) {
        Carrier *carrier = carrierByName(names[i]);
        if (!carrier)
            return VI_ERROR_RSRC_NFOUND;
        Card *card = carrier->cardInSlot(cardNumbers[i]);
        if (!card)
            return kq7150_ERROR_NO_CARD;
        if (card->config->code != 0x7150)
            return kq7150_ERROR_WRONG_MODEL;
        if (std::find(cards.begin(), cards.end(), card) != cards.end())
            return kq7150_ERROR_DUPLICATE_CARD;
        cards.push_back(card);
    }
    return VI_SUCCESS;
}

ViStatus SimWorld::openMulti(const std::string &list, const ViInt16 *cardNumbers, bool reset, ViSession *vi) {
    auto m = std::make_shared<MultiSession>();
    if (ViStatus s = resolveCards(list, cardNumbers, m->cards))
        return s;
    m->acquisition = std::make_unique<Acquisition>(*clock_);
    for (size_t j = 0; j < m->cards.size(); ++j) {
        const Card &card = *m->cards[j];
        const CarrierConfig &cc = *card.carrier->config;
        kq7150_multCard &rec = m->env.cards[j];
        rec.intfType = cc.interface == CarrierConfig::Interface::Tcpip ? VI_INTF_TCPIP : VI_INTF_VXI;
        rec.fcNumber = static_cast<ViInt16>(card.config->slot);
        rec.intfNum = static_cast<ViUInt16>(cc.board);
        rec.vxiLa =
            cc.interface == CarrierConfig::Interface::Vxi ? static_cast<ViInt16>(cc.logicalAddress) : -1;
    }
    if (reset)
        resetChannels(*m);
    Session multiSession;
    multiSession.kind = Session::Kind::Multi;
    multiSession.multi = m;
    const ViSession id = add(multiSession);
    for (size_t j = 0; j < m->cards.size(); ++j) {
        Session cardSession;
        cardSession.kind = Session::Kind::Card;
        cardSession.owner = id;
        cardSession.carrier = m->cards[j]->carrier;
        cardSession.multi = m;
        cardSession.cardIndex = static_cast<int>(j);
        m->cardSessions.push_back(add(cardSession));
    }
    *vi = id;
    return VI_SUCCESS;
}

std::shared_ptr<MultiSession> SimWorld::multi(ViSession id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end() || it->second.kind != Session::Kind::Multi)
        return nullptr;
    return it->second.multi;
}

Card *SimWorld::card(ViSession id, int *index, std::shared_ptr<MultiSession> *owner) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end() || it->second.kind != Session::Kind::Card)
        return nullptr;
    if (index)
        *index = it->second.cardIndex;
    if (owner)
        *owner = it->second.multi;
    return it->second.multi->cards[it->second.cardIndex];
}

void SimWorld::resetChannels(const MultiSession &m) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    for (Card *card : m.cards) {
        for (ChannelSetup &s : card->channels) {
            ChannelSetup fresh;
            fresh.calibrated = s.calibrated;
            fresh.offsetError = s.offsetError;
            fresh.gainError = s.gainError;
            s = fresh;
        }
        card->voltRefOn = false;
    }
}

ViStatus SimWorld::setChannel(const MultiSession &m, int globalChannel, const ChannelSetup &setup) {
    const int cardIndex = (globalChannel - 1) / kq7150_CHANNELS;
    const int channel = (globalChannel - 1) % kq7150_CHANNELS;
    if (globalChannel < 1 || cardIndex >= static_cast<int>(m.cards.size()))
        return kq7150_ERROR_CHANNEL;
    if (setup.source > kq7150_SRC_TEDS)
        return kq7150_ERROR_SOURCE;
    static const int kGains[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
    Card &card = *m.cards[cardIndex];
    const bool gainOneOnly = (card.config->variant & 0xFF) == 'A';
    if (std::find(std::begin(kGains), std::end(kGains), setup.gain) == std::end(kGains) ||
        (gainOneOnly && setup.gain != 1))
        return kq7150_ERROR_GAIN;
    std::lock_guard<std::mutex> lock(stateMutex_);
    ChannelSetup &s = card.channels[channel];
    s.source = setup.source;
    s.gain = setup.gain;
    s.highPass = setup.highPass;
    s.antiRinging = setup.antiRinging;
    return VI_SUCCESS;
}

ViStatus SimWorld::calibrate(Card &card, int channel, double *offsetError, double *gainError) {
    if (card.carrier->vrefs.empty())
        return kq7150_ERROR_NO_VREF;
    // The card takes its time, as the real one does, and the caller's thread waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(calibrationMs()));
    std::lock_guard<std::mutex> lock(stateMutex_);
    ChannelSetup &s = card.channels[channel - 1];
    s.calibrated = true;
    if (offsetError)
        *offsetError = s.offsetError;
    if (gainError)
        *gainError = s.gainError;
    return VI_SUCCESS;
}

ChannelPlan SimWorld::planOf(const Card &card, int cardIndex, int channel) const {
    const ChannelSetup &s = card.channels[channel];
    ChannelPlan p;
    p.globalChannel = cardIndex * kq7150_CHANNELS + channel;
    p.seed = (static_cast<uint64_t>(card.config->serial) << 8) + static_cast<uint64_t>(channel) + 1;
    p.frontEnd.gain = s.gain;
    if (!s.calibrated) {
        p.frontEnd.offsetError = s.offsetError;
        p.frontEnd.gainError = s.gainError;
    }
    SignalConfig sensor;
    sensor.noiseRms = 20e-6;
    switch (s.source) {
    case kq7150_SRC_FP_DIFF_AC:
    case kq7150_SRC_FP_SINGLE_AC:
        p.signal = card.config->signalOf(channel + 1);
        p.frontEnd.removeDc = true;
        break;
    case kq7150_SRC_VREF:
        p.signal.amplitude = 0.0;
        p.signal.offset = card.voltRefOn ? card.carrier->vrefOutput : 0.0;
        p.signal.noiseRms = 2e-6;
        break;
    case kq7150_SRC_ICP: // an accelerometer on a 159.2 Hz, 1 g calibrator
        sensor.frequency = 159.2;
        sensor.amplitude = 0.1;
        p.signal = sensor;
        p.frontEnd.removeDc = true;
        break;
    case kq7150_SRC_TEDS:
        sensor.frequency = 1000.0;
        sensor.amplitude = 0.25;
        sensor.harmonics = {-80.0};
        p.signal = sensor;
        p.frontEnd.removeDc = true;
        break;
    default: // DC coupled front panel inputs
        p.signal = card.config->signalOf(channel + 1);
        p.frontEnd.removeDc = s.highPass;
        break;
    }
    return p;
}

StartPlan SimWorld::startPlan(const MultiSession &m) const {
    StartPlan plan;
    const std::vector<uint16_t> masks = m.acquisition->masks();
    std::lock_guard<std::mutex> lock(stateMutex_);
    for (size_t c = 0; c < m.cards.size() && c < masks.size(); ++c)
        for (int ch = 0; ch < kq7150_CHANNELS; ++ch)
            if (masks[c] & (1u << ch))
                plan.channels.push_back(planOf(*m.cards[c], static_cast<int>(c), ch));
    const int source = m.acquisition->triggerSource();
    if (source >= 1 && source <= kq7150_CHANNELS)
        plan.trigger = planOf(*m.cards[0], 0, source - 1);
    std::lock_guard<std::mutex> worldLock(mutex_);
    const size_t perCard = masks.empty() ? 1 : std::max<size_t>(1, std::bitset<16>(masks[0]).count());
    plan.fifoScans = static_cast<size_t>(config_.fifoSamples) / perCard;
    plan.frontPanelPeriodMs = config_.frontPanelTriggerPeriodMs;
    plan.errorWord = config_.errorWord;
    plan.stall = config_.stall;
    return plan;
}

} // namespace kqsim
