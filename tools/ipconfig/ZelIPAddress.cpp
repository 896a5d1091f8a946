#include "ZelIPAddress.h"

#include "ZelDialogs.h"
#include "ZelIPWidget.h"

namespace ZelIPAddress {

namespace {

bool hostRange(uint32_t ip)
{
    const uint32_t first = ip >> 24;
    return first != 0 && first != 127 && first < 224;
}

bool contiguous(uint32_t mask)
{
    const uint32_t hosts = ~mask;
    return mask != 0 && (hosts & (hosts + 1)) == 0;
}

// The network and broadcast addresses exist as such only with two or more
// host bits.
bool networkOrBroadcast(uint32_t ip, uint32_t mask)
{
    const uint32_t hosts = ~mask;
    if (hosts < 3)
        return false;
    return (ip & hosts) == 0 || (ip & hosts) == hosts;
}

const char* refusalText(Refusal refusal)
{
    switch (refusal) {
    case Refusal::Ip: return "Invalid IP";
    case Refusal::Subnet: return "Invalid subnet";
    case Refusal::Gateway: return "Invalid gateWay";
    case Refusal::None: break;
    }
    return "";
}

} // namespace

QString dotted(uint32_t value)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(value >> 24)
        .arg((value >> 16) & 0xFF)
        .arg((value >> 8) & 0xFF)
        .arg(value & 0xFF);
}

Refusal check(std::optional<uint32_t> ip, std::optional<uint32_t> mask, std::optional<uint32_t> gateway)
{
    if (!ip || !hostRange(*ip))
        return Refusal::Ip;
    if (!mask || !contiguous(*mask))
        return Refusal::Subnet;
    if (networkOrBroadcast(*ip, *mask))
        return Refusal::Ip;
    if (!gateway || (*gateway != 0 && (*gateway & *mask) != (*ip & *mask)))
        return Refusal::Gateway;
    return Refusal::None;
}

bool readEditors(QWidget* parent, const ZelIPWidget* ip, const ZelIPWidget* mask, const ZelIPWidget* gateway,
                 uint32_t* ipOut, uint32_t* maskOut, uint32_t* gatewayOut)
{
    auto read = [](const ZelIPWidget* editor) {
        uint32_t value = 0;
        return editor->address(&value) ? std::optional<uint32_t>(value) : std::nullopt;
    };
    const std::optional<uint32_t> values[3] = {read(ip), read(mask), read(gateway)};
    Refusal refusal = check(values[0], values[1], values[2]);
    if (refusal != Refusal::None) {
        ZelDialogs::critical(parent, QStringLiteral("Netvane"), QLatin1String(refusalText(refusal)));
        return false;
    }
    *ipOut = *values[0];
    *maskOut = *values[1];
    *gatewayOut = *values[2];
    return true;
}

} // namespace ZelIPAddress
