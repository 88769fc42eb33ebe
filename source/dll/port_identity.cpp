// The port match and the product-ID lookup: which adapter carries a COM
// number, and what its product ID says about the driver family and model.
#include "port_identity.h"

#include <new>

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

int ScanForProductId(HDEVINFO ports, HDEVINFO allDevices, int port) {
    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD index = 0; platform::EnumDevice(ports, index, device); ++index) {
        int channel = kNoChannel;
        const std::optional<PortMatch> match = MatchPort(ports, device, port, channel);
        if (!match) continue;
        const std::optional<std::string> adapterId = AdapterInstanceId(allDevices, *match);
        if (!adapterId) continue;
        return ProductIdOf(*adapterId);
    }
    return kNoMatchingPort;
}

}  // namespace

bool IsValidComNumber(int port) { return port >= kMinComNumber && port <= kMaxComNumber; }

bool IsTovelserFamily(int productId) {
    return (productId & kTovelserFamilyMask) == kTovelserFamilyId;
}

int CapabilityCode(int productId) { return productId & kCapabilityMask; }

int ProductIdOf(std::string_view adapterInstanceId) {
    return static_cast<int>(ParseInstanceId(adapterInstanceId) & kProductIdMask);
}

std::optional<std::string> AdapterInstanceId(HDEVINFO allDevices, const PortMatch& match) {
    SP_DEVINFO_DATA adapter = platform::NewDeviceRecord();
    if (!platform::OpenDeviceInfo(allDevices, match.parentInstanceId, adapter)) {
        return std::nullopt;
    }
    return platform::ReadDeviceInstanceId(allDevices, adapter, kInstanceIdBufferSize);
}

std::optional<PortMatch> MatchPort(HDEVINFO list, SP_DEVINFO_DATA& device, int port,
                                   int& channel) {
    try {
        const std::optional<std::string> name = platform::ReadFriendlyName(list, device);
        if (!name || ParseFriendlyName(*name, channel) != port) return std::nullopt;
        return MatchParent(device.DevInst);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<PortMatch> MatchParent(DEVINST node) {
    try {
        const std::optional<ULONG> status = platform::ReadDevNodeStatus(node);
        if (!status || *status == kHiddenPortStatus) return std::nullopt;

        const std::optional<DEVINST> parent = platform::ReadParentNode(node);
        if (!parent) return std::nullopt;

        std::optional<std::string> parentId =
            platform::ReadNodeInstanceId(*parent, kDeviceIdBufferSize);
        if (!parentId) return std::nullopt;

        return PortMatch{*parent, std::move(*parentId)};
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

int LookupProductId(int port) {
    try {
        const platform::DeviceList ports = platform::GetDeviceList(
            &platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
        if (!ports) return kNoDeviceLists;
        const platform::DeviceList allDevices =
            platform::GetDeviceList(nullptr, platform::kPresentInterfacesAnyClass);
        if (!allDevices) return kNoDeviceLists;
        return ScanForProductId(ports.get(), allDevices.get(), port);
    } catch (const std::bad_alloc&) {
        // Treated like lists that cannot be built: not resolved.
        return kNoDeviceLists;
    }
}

}  // namespace portopt
