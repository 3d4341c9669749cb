// The VISA subset over the simulated world.
#include "Guarded.h"
#include "SimWorld.h"

#include "visa.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <thread>

using namespace kqsim;

namespace {

SimWorld &world() {
    return SimWorld::instance();
}

// VISA search expressions: '?' is any one character, '*' any run; case does not matter.
bool matches(const char *expr, const char *name) {
    if (*expr == '\0')
        return *name == '\0';
    if (*expr == '*')
        return matches(expr + 1, name) || (*name && matches(expr, name + 1));
    if (*name == '\0')
        return false;
    if (*expr == '?' ||
        std::toupper(static_cast<unsigned char>(*expr)) == std::toupper(static_cast<unsigned char>(*name)))
        return matches(expr + 1, name + 1);
    return false;
}

void copyText(const std::string &text, ViChar *out) {
    std::strncpy(out, text.c_str(), VI_FIND_BUFLEN - 1);
    out[VI_FIND_BUFLEN - 1] = '\0';
}

bool isResourceManager(ViSession id) {
    Session s;
    return world().find(id, s) && s.kind == Session::Kind::ResourceManager;
}

// Attributes of the carrier a session reaches.
ViStatus carrierAttribute(const CarrierConfig &c, ViAttr attr, void *value) {
    const bool tcpip = c.interface == CarrierConfig::Interface::Tcpip;
    switch (attr) {
    case VI_ATTR_INTF_TYPE:
        *static_cast<ViUInt16 *>(value) = tcpip ? VI_INTF_TCPIP : VI_INTF_VXI;
        return VI_SUCCESS;
    case VI_ATTR_INTF_NUM:
        *static_cast<ViUInt16 *>(value) = static_cast<ViUInt16>(c.board);
        return VI_SUCCESS;
    case VI_ATTR_RSRC_NAME:
        copyText(c.resources.front(), static_cast<ViChar *>(value));
        return VI_SUCCESS;
    case VI_ATTR_SLOT:
    case VI_ATTR_VXI_LA:
        if (tcpip)
            return VI_ERROR_NSUP_ATTR; // an LXI box has no VXI slot
        *static_cast<ViInt16 *>(value) =
            static_cast<ViInt16>(attr == VI_ATTR_SLOT ? c.slot : c.logicalAddress);
        return VI_SUCCESS;
    case VI_ATTR_TCPIP_ADDR:
    case VI_ATTR_TCPIP_HOSTNAME:
    case VI_ATTR_TCPIP_DEVICE_NAME:
        if (!tcpip)
            return VI_ERROR_NSUP_ATTR;
        copyText(attr == VI_ATTR_TCPIP_ADDR       ? c.ipAddress
                 : attr == VI_ATTR_TCPIP_HOSTNAME ? c.hostName
                                                  : c.deviceName,
                 static_cast<ViChar *>(value));
        return VI_SUCCESS;
    default:
        return VI_ERROR_NSUP_ATTR;
    }
}

} // namespace

extern "C" {

ViStatus _VI_FUNC viOpenDefaultRM(ViPSession vi) {
    return guarded([&]() -> ViStatus {
        world().log().record("viOpenDefaultRM", "");
        if (ViStatus s = world().faults().check("viOpenDefaultRM"))
            return s;
        if (!vi)
            return VI_ERROR_INV_PARAMETER;
        *vi = world().add(Session{});
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt,
                             ViChar desc[]) {
    return guarded([&]() -> ViStatus {
        world().log().record("viFindRsrc", CallLog::format("expr=%s", expr ? expr : "(null)"));
        if (ViStatus s = world().faults().check("viFindRsrc"))
            return s;
        if (!isResourceManager(sesn))
            return VI_ERROR_INV_OBJECT;
        if (!expr || !*expr)
            return VI_ERROR_INV_EXPR;
        std::vector<std::string> found;
        for (const std::string &name : world().resourceNames())
            if (matches(expr, name.c_str()))
                found.push_back(name);
        if (found.empty())
            return VI_ERROR_RSRC_NFOUND;
        if (desc)
            copyText(found.front(), desc);
        if (retCnt)
            *retCnt = static_cast<ViUInt32>(found.size());
        if (vi) {
            Session list;
            list.kind = Session::Kind::FindList;
            list.owner = sesn;
            list.found.assign(found.begin() + 1, found.end());
            *vi = world().add(list);
        }
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC viFindNext(ViFindList vi, ViChar desc[]) {
    return guarded([&]() -> ViStatus {
        world().log().record("viFindNext", "");
        if (ViStatus s = world().faults().check("viFindNext"))
            return s;
        Session s;
        if (!world().find(vi, s) || s.kind != Session::Kind::FindList)
            return VI_ERROR_INV_OBJECT;
        std::string name;
        if (!world().popFound(vi, name))
            return VI_ERROR_RSRC_NFOUND;
        if (desc)
            copyText(name, desc);
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode, ViUInt32, ViPSession vi) {
    return guarded([&]() -> ViStatus {
        world().log().record("viOpen", CallLog::format("name=%s", name ? name : "(null)"));
        if (ViStatus s = world().faults().check("viOpen"))
            return s;
        if (!isResourceManager(sesn))
            return VI_ERROR_INV_OBJECT;
        if (!name || !*name)
            return VI_ERROR_INV_RSRC_NAME;
        if (!vi)
            return VI_ERROR_INV_PARAMETER;
        Session s;
        s.kind = Session::Kind::Resource;
        s.owner = sesn;
        s.name = name;
        s.carrier = world().carrierByName(name);
        if (!s.carrier && !world().isOtherResource(name))
            return VI_ERROR_RSRC_NFOUND;
        // Reaching a network box takes a while; the caller's thread waits, nothing else does.
        if (s.carrier && s.carrier->config->probeDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(s.carrier->config->probeDelayMs));
        *vi = world().add(s);
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC viClose(ViObject vi) {
    return guarded([&]() -> ViStatus {
        world().log().record("viClose", "");
        if (ViStatus s = world().faults().check("viClose"))
            return s;
        if (vi == VI_NULL)
            return VI_SUCCESS;
        Session s;
        if (!world().find(vi, s))
            return VI_ERROR_INV_OBJECT;
        if (s.kind == Session::Kind::Card)
            return VI_SUCCESS; // card sessions belong to their multi-card session
        world().close(vi);
        return VI_SUCCESS;
    });
}

ViStatus _VI_FUNC viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue) {
    return guarded([&]() -> ViStatus {
        Session s;
        const bool known = world().find(vi, s);
        world().log().record("viGetAttribute", CallLog::format("attr=0x%08X", attrName));
        if (ViStatus st = world().faults().check("viGetAttribute", known ? s.cardIndex : -1))
            return st;
        if (!known)
            return VI_ERROR_INV_OBJECT;
        if (!attrValue)
            return VI_ERROR_INV_PARAMETER;
        if (attrName == VI_ATTR_USER_DATA) {
            ViAddr data = nullptr;
            if (s.kind == Session::Kind::Multi)
                data = &s.multi->env;
            else if (s.kind == Session::Kind::Card)
                data = &s.multi->cards[s.cardIndex]->env;
            *static_cast<ViAddr *>(attrValue) = data;
            return VI_SUCCESS;
        }
        const Carrier *carrier = s.carrier;
        if (s.kind == Session::Kind::Multi)
            carrier = s.multi->cards.front()->carrier; // the session speaks for its first card
        if (carrier)
            return carrierAttribute(*carrier->config, attrName, attrValue);
        if (s.kind == Session::Kind::Resource && attrName == VI_ATTR_RSRC_NAME) {
            copyText(s.name, static_cast<ViChar *>(attrValue));
            return VI_SUCCESS;
        }
        if (s.kind == Session::Kind::Resource && attrName == VI_ATTR_INTF_TYPE) {
            *static_cast<ViUInt16 *>(attrValue) = VI_INTF_ASRL;
            return VI_SUCCESS;
        }
        return VI_ERROR_NSUP_ATTR;
    });
}

} // extern "C"
