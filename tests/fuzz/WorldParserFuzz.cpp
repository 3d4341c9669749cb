// Feeds arbitrary bytes to the world and fault-file parsers. Each must refuse with one line
// that names the file, or accept a world whose sizes stay within what the simulation
// allocates by. Any breach traps, and so does a crash or an exception, so libFuzzer keeps
// the input.
#include "DefaultWorld.h"
#include "WorldParser.h"

#include "kq7000.h"
#include "kq7150.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

void requireBounded(const kqsim::WorldConfig &world) {
    require(world.fifoSamples >= 1024 && world.fifoSamples <= kqsim::kCardMemorySamples);
    require(world.carriers.size() <= kq7150_MAX_CARDS && world.faults.size() <= 256);
    for (const kqsim::CarrierConfig &carrier : world.carriers) {
        require(carrier.slots >= 1 && carrier.slots <= kq7000_MAX_SLOTS);
        require(carrier.cards.size() <= std::size_t(carrier.slots));
        for (const kqsim::CardConfig &card : carrier.cards)
            require(card.defaultSignal.harmonics.size() <= 32);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(bytes), size);
    for (const bool faultFile : {false, true}) {
        kqsim::WorldConfig world = kqsim::DefaultWorld::make();
        std::string error;
        const bool accepted = faultFile ? kqsim::WorldParser::parseFaults(text, "f.json", world, error)
                                        : kqsim::WorldParser::parse(text, "w.json", world, error);
        if (accepted)
            requireBounded(world);
        else
            require(error.rfind(faultFile ? "f.json: " : "w.json: ", 0) == 0 &&
                    error.find('\n') == std::string::npos);
    }
    return 0;
}
