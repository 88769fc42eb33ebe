// The port match and the adapter's product ID: which adapter carries a COM
// number, and what its product ID says about the driver family and model.
#include "port_identity.h"

#include "device_setup.h"
#include "guids.h"

namespace portopt {

namespace {

// Status flags that hide a port from the lookup (compared for equality).
constexpr ULONG kHiddenPortStatus = 13;

constexpr int kTovelserFamilyMask = 0xFF00;
constexpr int kTovelserFamilyId = 0x1100;
constexpr int kCapabilityMask = 0x00F0;
constexpr std::uint32_t kProductIdMask = 0xFFFF;

}  // namespace

bool IsValidComNumber(int port) { return port >= kMinComNumber && port <= kMaxComNumber; }

bool IsTovelserFamily(int productId) {
    return (productId & kTovelserFamilyMask) == kTovelserFamilyId;
}

int CapabilityCode(int productId) { return productId & kCapabilityMask; }

int AcceptedInterfaceModes(int productId) {
    constexpr int kNoModeZero = 0x30;
    constexpr int kModeZeroOnly = 0x10;
    switch (CapabilityCode(productId)) {
        case kNoModeZero: return PO_MODES_NOT_ZERO;
        case kModeZeroOnly: return PO_MODES_ZERO_ONLY;
        default: return PO_MODES_ALL;
    }
}

int ProductIdOf(std::string_view adapterInstanceId) {
    return static_cast<int>(ParseInstanceId(adapterInstanceId) & kProductIdMask);
}

std::optional<PortMatch> MatchParent(DEVINST node) {
    const std::optional<ULONG> status = platform::ReadDevNodeStatus(node);
    if (!status || *status == kHiddenPortStatus) return std::nullopt;

    const std::optional<DEVINST> parent = platform::ReadParentNode(node);
    if (!parent) return std::nullopt;

    std::optional<std::string> parentId =
        platform::ReadNodeInstanceId(*parent, kDeviceIdBufferSize);
    if (!parentId) return std::nullopt;

    return PortMatch{*parent, std::move(*parentId)};
}

}  // namespace portopt
