// IPv4 values as the IP tool shows and checks them: 32-bit numbers with the
// first dotted octet in the most significant byte.
#ifndef ZELIPADDRESS_H
#define ZELIPADDRESS_H

#include <QString>

#include <cstdint>
#include <optional>

class QWidget;
class ZelIPWidget;

namespace ZelIPAddress {

QString dotted(uint32_t value);

enum class Refusal { None, Ip, Subnet, Gateway };

// Whether a camera can take this configuration. Refused: an address in
// 0.0.0.0/8, 127.0.0.0/8 or from 224.0.0.0 up (multicast, reserved,
// broadcast), or the network or broadcast address of its subnet; a mask that
// is zero or not contiguous; a gateway outside the subnet other than 0.0.0.0.
// An empty value is a text that does not parse. The first refusal counts.
Refusal check(std::optional<uint32_t> ip, std::optional<uint32_t> mask, std::optional<uint32_t> gateway);

// Reads the three editors and checks them in the order IP, subnet, gateway;
// the first refusal shows its box ("Invalid IP", "Invalid subnet",
// "Invalid gateWay") and gives false. An empty field is not an address.
bool readEditors(QWidget* parent, const ZelIPWidget* ip, const ZelIPWidget* mask, const ZelIPWidget* gateway,
                 uint32_t* ipOut, uint32_t* maskOut, uint32_t* gatewayOut);

} // namespace ZelIPAddress

#endif // ZELIPADDRESS_H
