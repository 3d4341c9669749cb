#include "LegendHeading.h"

#include "DriverErrorReporter.h"

#include "visa.h"

#include <cstdio>

namespace {

std::string format(const char *pattern, int card, const std::string &address, int fcNumber) {
    char buf[kq7150_TEXT_BUFLEN + 256];
    std::snprintf(buf, sizeof buf, pattern, card + 1, address.c_str(), fcNumber);
    return buf;
}

bool succeeded(ViStatus status, const char *call) {
    if (status >= VI_SUCCESS)
        return true;
    DriverErrorReporter::report(status, call);
    return false;
}

} // namespace

std::string LegendHeading::text(int card, bool demo, ViSession d_vi, const kq7150_multEnv *env) {
    if (demo || !env) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "<html><font size='2'>Function Card #%d Channels:</font></html>",
                      card + 1);
        return buf;
    }
    const kq7150_multCard &record = env->cards[card];
    ViSession fc = 0;
    succeeded(kq7150_getMultFCsession(d_vi, static_cast<ViInt16>(card), &fc),
              "kq7150_getMultFCsession(d_vi, j, &fcVi)");
    if (record.intfType == VI_INTF_TCPIP) {
        char address[kq7150_TEXT_BUFLEN] = "";
        if (!succeeded(viGetAttribute(fc, VI_ATTR_TCPIP_ADDR, address),
                       "viGetAttribute(fcVi, VI_ATTR_TCPIP_ADDR , buf)"))
            address[0] = '\0';
        address[sizeof address - 1] = '\0';
        return format("<html><font size='2'><b>FC #%d</b>: TCPIP::%s::INSTR (FC %d) Channels:</font></html>",
                      card, address, record.fcNumber);
    }
    ViUInt16 ifNum = 0;
    ViInt16 la = 0;
    succeeded(viGetAttribute(fc, VI_ATTR_INTF_NUM, &ifNum), "viGetAttribute(fcVi, VI_ATTR_INTF_NUM, &ifNum)");
    succeeded(viGetAttribute(fc, VI_ATTR_VXI_LA, &la), "viGetAttribute(fcVi, VI_ATTR_VXI_LA, &la)");
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "<html><font size='2'><b>FC #%d</b>: VXI%u::%d::INSTR (FC %d) Channels:</font></html>",
                  card + 1, static_cast<unsigned>(ifNum), static_cast<int>(la),
                  static_cast<int>(record.fcNumber));
    return buf;
}
