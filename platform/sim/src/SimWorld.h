// The one simulated world behind the three libraries: its carriers and cards as they are
// now, and every open session. All VISA and driver entry points go through it.
#pragma once

#include "Acquisition.h"
#include "CallLog.h"
#include "CardClock.h"
#include "FaultPlan.h"
#include "SimConfig.h"

#include "kq7000.h"
#include "kq7150.h"

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kqsim {

struct ChannelSetup {
    uint16_t source = kq7150_SRC_FP_DIFF_DC;
    int gain = 1;
    bool highPass = false;
    bool antiRinging = false;
    bool calibrated = false;
    double offsetError = 0.0; // what calibration removes
    double gainError = 0.0;
};

struct Carrier;

// A card in a carrier slot; its state outlives sessions (calibration stays done).
struct Card {
    const CardConfig *config = nullptr;
    Carrier *carrier = nullptr;
    std::array<ChannelSetup, kq7150_CHANNELS> channels;
    bool voltRefOn = false;
    kq7150_instEnv env{};
};

struct Carrier {
    const CarrierConfig *config = nullptr;
    std::vector<std::unique_ptr<Card>> cards;
    double vrefOutput = 0.0;
    std::vector<double> vrefs;
    ViInt32 vrefCount = 0;
    kq7000_ifVref ifVref{};
    Card *cardInSlot(int slot) const;
};

struct MultiSession {
    ViSession id = 0;
    std::vector<Card *> cards;
    std::vector<ViSession> cardSessions;
    kq7150_multEnv env{};
    std::unique_ptr<Acquisition> acquisition;
};

struct Session {
    enum class Kind { ResourceManager, FindList, Resource, Multi, Card };
    Kind kind = Kind::ResourceManager;
    ViSession owner = 0;            // the resource manager, or the multi-card session of a card
    Carrier *carrier = nullptr;     // Resource and Card sessions on a carrier
    std::string name;               // Resource sessions
    std::vector<std::string> found; // FindList: names not yet handed out
    std::shared_ptr<MultiSession> multi;
    int cardIndex = -1; // Card sessions
};

class SimWorld {
public:
    static SimWorld &instance();

    // Closes every session and reads the world again from the environment.
    void reload();
    std::string loadError() const;

    CallLog &log() { return log_; }
    FaultPlan &faults() { return faults_; }
    const CardClock &clock() const { return *clock_; }
    int calibrationMs() const;

    // Sessions.
    ViSession add(Session session);
    bool find(ViSession id, Session &out) const;
    bool close(ViSession id);
    // Hands out the next name of a find list; false when none is left.
    bool popFound(ViSession findList, std::string &name);
    size_t openSessions() const;

    // VISA resources.
    std::vector<std::string> resourceNames() const;
    Carrier *carrierByName(const std::string &name) const;
    bool isOtherResource(const std::string &name) const;

    // Driver.
    ViStatus openMulti(const std::string &list, const ViInt16 *cardNumbers, bool reset, ViSession *vi);
    std::shared_ptr<MultiSession> multi(ViSession id) const;
    // The card of a card session, with its index in the multi-card session.
    Card *card(ViSession id, int *index = nullptr, std::shared_ptr<MultiSession> *owner = nullptr) const;
    void resetChannels(const MultiSession &m);
    ViStatus setChannel(const MultiSession &m, int globalChannel, const ChannelSetup &setup);
    ViStatus calibrate(Card &card, int channel, double *offsetError, double *gainError);
    StartPlan startPlan(const MultiSession &m) const;

    std::mutex &stateMutex() { return stateMutex_; }

private:
    SimWorld();
    ~SimWorld();
    void load();
    void build();
    ViStatus resolveCards(const std::string &list, const ViInt16 *cardNumbers,
                          std::vector<Card *> &cards) const;
    ChannelPlan planOf(const Card &card, int cardIndex, int channel) const;

    mutable std::mutex mutex_;      // sessions and the world's structure
    mutable std::mutex stateMutex_; // channel setups, reference outputs
    WorldConfig config_;
    std::string loadError_;
    std::vector<std::unique_ptr<Carrier>> carriers_;
    std::map<ViSession, Session> sessions_;
    ViSession nextId_ = 0x1000;
    CallLog log_;
    FaultPlan faults_;
    std::unique_ptr<CardClock> clock_;
};

} // namespace kqsim
