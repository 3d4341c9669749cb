#include "kq7000fp_resourceInfo.h"

#include "kq7000fp_genFC.h"

#include "kq7000.h"
#include "visa.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

std::string hexModel(ViUInt16 code) {
    char text[8];
    std::snprintf(text, sizeof text, "%4x", code);
    return text;
}

// "-" and the two characters of the card's variant word, for the models that have one.
std::string variantSuffix(const kq7000_carrier &carrier, int slot, ViUInt16 model) {
    if ((model != 0x7140 && model != 0x7150) || !carrier.regs)
        return std::string();
    ViUInt16 word = 0;
    if (carrier.regs->readWord(carrier.ctx, static_cast<ViUInt16>(slot + 1), kq7000_REG_VARIANT, &word) !=
        VI_SUCCESS)
        return std::string();
    return std::string("-") + static_cast<char>(word >> 8) + static_cast<char>(word & 0xFF);
}

void describeSystem(ViSession vi, const kq7000_carrier &carrier, resourceInfo &info) {
    ViUInt16 type = 0;
    char model[16];
    std::snprintf(model, sizeof model, "%u", carrier.model);
    if (viGetAttribute(vi, VI_ATTR_INTF_TYPE, &type) >= VI_SUCCESS && type == VI_INTF_TCPIP) {
        ViChar address[256] = {}, device[256] = {};
        viGetAttribute(vi, VI_ATTR_TCPIP_ADDR, address);
        viGetAttribute(vi, VI_ATTR_TCPIP_DEVICE_NAME, device);
        address[255] = '\0';
        info.systemRow = {std::string(address) + " - " + model + " LXI"};
        info.tcpipAddress = address;
    } else {
        ViInt16 slot = 0;
        viGetAttribute(vi, VI_ATTR_SLOT, &slot);
        info.systemRow = {"Slot " + std::to_string(slot) + " - " + model + " MB"};
        info.tcpipAddress.clear();
    }
}

void describeCards(const kq7000_carrier &carrier, const kq7000fp_genFC &descriptor, resourceInfo &info) {
    const int slots = carrier.slotCount < kq7000_MAX_SLOTS ? carrier.slotCount : kq7000_MAX_SLOTS;
    for (int s = 0; s < slots; ++s) {
        const ViUInt16 code = carrier.cardCodes[s];
        if (code == 0)
            continue;
        const ViUInt16 model = carrier.cardModels[s];
        info.cardRows.push_back(
            {"FC " + std::to_string(s + 1), hexModel(model) + variantSuffix(carrier, s, model)});
        info.cardNumbers.push_back(descriptor.isSupportedModel(code) ? s + 1 : 0);
    }
}

// Reads letters (either case), upper-cased.
std::string prefixOf(const std::string &name) {
    std::string p;
    for (char c : name) {
        if (!std::isalpha(static_cast<unsigned char>(c)))
            break;
        p += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return p;
}

// Reads a decimal number at pos; false (and pos unchanged) when there is none.
bool readNumber(const std::string &s, size_t &pos, long &value) {
    size_t end = pos;
    while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end])))
        ++end;
    if (end == pos)
        return false;
    value = std::strtol(s.c_str() + pos, nullptr, 10);
    pos = end;
    return true;
}

// Board number, then the four address bytes; what cannot be read counts as 0, so a name
// with a host name instead of an address sorts as 0.0.0.0.
std::array<long, 5> tcpipKey(const std::string &name) {
    std::array<long, 5> key{};
    size_t pos = prefixOf(name).size();
    if (!readNumber(name, pos, key[0]) || name.compare(pos, 2, "::") != 0)
        return key;
    pos += 2;
    for (int i = 1; i <= 4; ++i) {
        if (!readNumber(name, pos, key[i]))
            return key;
        if (i < 4) {
            if (pos >= name.size() || name[pos] != '.')
                return key;
            ++pos;
        }
    }
    return key;
}

long boardOf(const std::string &name) {
    size_t pos = prefixOf(name).size();
    long board = 0;
    readNumber(name, pos, board);
    return board;
}

} // namespace

void probeResource(getResourceInfo_params_t &params) {
    if (params.done)
        return;
    resourceInfo info = params.info;
    ViSession vi = 0;
    if (viOpen(params.resourceManager, info.name.c_str(), 0, 0, &vi) < VI_SUCCESS)
        return;
    kq7000_carrier *carrier = nullptr;
    if (kq7000_openCarrier(vi, &carrier) < VI_SUCCESS || !carrier) {
        viClose(vi);
        return;
    }
    describeSystem(vi, *carrier, info);
    describeCards(*carrier, *params.descriptor, info);
    kq7000_releaseCarrier(carrier);
    viClose(vi);
    params.info = info;
}

bool descriptorLessThan(const std::string &a, const std::string &b) {
    const std::string pa = prefixOf(a), pb = prefixOf(b);
    if (pa != pb)
        return a < b;
    if (pa == "TCPIP")
        return tcpipKey(a) < tcpipKey(b);
    static const char *const kBoards[] = {"VXI", "GPIB-VXI", "GPIB", "SOCKET", "BACKPLANE", "PXI", "ASRL"};
    for (const char *kind : kBoards)
        if (pa == kind)
            return boardOf(a) < boardOf(b);
    return a < b;
}

std::vector<resourceInfo> removeDuplicateAddresses(const std::vector<resourceInfo> &records) {
    std::vector<resourceInfo> kept;
    for (const resourceInfo &r : records) {
        bool seen = false;
        for (const resourceInfo &k : kept)
            seen = seen || (!r.tcpipAddress.empty() && r.tcpipAddress == k.tcpipAddress);
        if (!seen)
            kept.push_back(r);
    }
    return kept;
}
