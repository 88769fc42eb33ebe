// From a COM number to the adapter that carries the port: the friendly-name
// and instance-ID parsers, the port match shared with the control channel,
// and the product-ID lookup with its family and capability rules.
#ifndef PORTOPT_PORT_IDENTITY_H
#define PORTOPT_PORT_IDENTITY_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "portopt.h"
#include "win32.h"

namespace portopt {

// The COM numbers the calls take, as the public header states them.
inline constexpr int kMinComNumber = PO_MIN_PORT;
inline constexpr int kMaxComNumber = PO_MAX_PORT;
inline constexpr int kNoChannel = -1;

// Product IDs that mean "did not resolve".
inline constexpr int kNoMatchingPort = -1;
inline constexpr int kNoDeviceLists = 0;

// Size of the buffer an instance ID is read back into; an ID of 200
// characters or more does not fit.
inline constexpr DWORD kInstanceIdBufferSize = 200;
// Size of the buffer CM_Get_Device_IDA fills.
inline constexpr ULONG kDeviceIdBufferSize = 261;

bool IsValidComNumber(int port);

// The COM number a friendly name carries (0 when none) and, through
// `channel`, the port's 0-based channel index on its adapter (-1 when the
// name has no "Port " number).  `channel` is always written.
int ParseFriendlyName(std::string_view name, int& channel);

// The friendly name with the COM number the parser reads in it (the
// digits after its last "COM") replaced by `number`: "Port 2 (COM7)" with
// 12 gives "Port 2 (COM12)".  nullopt when the name carries no COM number.
std::optional<std::string> WithComNumber(std::string_view name, int number);

// The adapter identity in an instance ID: vendor in bits 16-31, product in
// bits 0-15; 0 when the ID yields nothing.
std::uint32_t ParseInstanceId(std::string_view instanceId);

bool IsTovelserFamily(int productId);
int CapabilityCode(int productId);
// The interface modes an adapter of this product accepts (PO_MODES_...):
// capability 0x30 refuses mode 0, capability 0x10 has mode 0 only, every
// other product (the unresolved ones too) takes all four.
int AcceptedInterfaceModes(int productId);
inline bool AcceptsInterfaceMode(int modes, int mode) { return (modes >> mode) & 1; }

// What the port match learns about a device that carries the COM number.
struct PortMatch {
    DEVINST parent = 0;
    std::string parentInstanceId;
};

// The port match: a device carries COM `port` when its friendly name reads
// and parses to `port` (the caller's test), and then, tested here, its
// node's status flags are not 13 and its parent and the parent's instance
// ID can be read.
std::optional<PortMatch> MatchParent(DEVINST node);

// The product ID an adapter's instance ID yields: its identity's low 16 bits.
int ProductIdOf(std::string_view adapterInstanceId);

}  // namespace portopt

#endif
