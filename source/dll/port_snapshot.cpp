// The one-pass reading behind PortSnapshot.  It applies the same rules as
// the product lookup, the settings store and the query calls, through the
// same parsers, matches and readers, so that each COM number's answers are
// what the exported queries would give on the same machine.
#include "port_snapshot.h"

#include <array>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "device_setup.h"
#include "guids.h"
#include "port_identity.h"
#include "settings_store.h"
#include "store_layouts.h"

namespace portopt {

namespace {

enum Setting { kSer, kMode, kFlush, kTx, kFifo, kSettingCount };
constexpr const char* kSettingNames[kSettingCount] = {kSerInterface, kInterfaceMode, kFastFlush,
                                                      kTxMode, kDisableFiFo};

Setting SettingNamed(const char* name) {
    int setting = 0;
    while (setting + 1 < kSettingCount && std::strcmp(kSettingNames[setting], name) != 0) ++setting;
    return static_cast<Setting>(setting);
}

// One device of the ports list, in enumeration order.
struct PortDevice {
    int comNumber = 0;  // 0 when the name cannot be read or carries none
    int channel = kNoChannel;
    // Set when the device passes the port match and its adapter's instance
    // ID reads back from the all-devices list.
    std::optional<std::string> adapterId;
    // The values its hardware key holds (nothing when the key cannot be
    // opened for reading).
    std::optional<std::uint32_t> values[kSettingCount];
};

struct DeviceTree {
    bool portsListBuilt = false;
    bool allDevicesBuilt = false;
    std::vector<PortDevice> devices;
    // The devices whose names carry each COM number, in list order.
    std::array<std::vector<const PortDevice*>, kMaxComNumber> claimants;
};

PortDevice ReadPortDevice(HDEVINFO ports, HDEVINFO allDevices, SP_DEVINFO_DATA& device) {
    PortDevice port;
    const std::optional<std::string> name = platform::ReadFriendlyName(ports, device);
    if (!name) return port;
    port.comNumber = ParseFriendlyName(*name, port.channel);
    if (!IsValidComNumber(port.comNumber)) return port;

    if (allDevices != nullptr) {
        if (const std::optional<PortMatch> match = MatchParent(device.DevInst)) {
            port.adapterId = AdapterInstanceId(allDevices, *match);
        }
    }
    if (const platform::RegistryKey key = platform::OpenHardwareKey(ports, device, KEY_READ)) {
        for (int s = 0; s < kSettingCount; ++s) {
            port.values[s] = ReadHardwareValue(key.get(), kSettingNames[s]);
        }
    }
    return port;
}

DeviceTree ReadDeviceTree() {
    DeviceTree tree;
    const platform::DeviceList ports =
        platform::GetDeviceList(&platform::kPortsClassGuid, platform::kPresentInterfacesOfClass);
    if (!ports) return tree;
    tree.portsListBuilt = true;
    const platform::DeviceList allDevices =
        platform::GetDeviceList(nullptr, platform::kPresentInterfacesAnyClass);
    tree.allDevicesBuilt = allDevices.valid();

    SP_DEVINFO_DATA device = platform::NewDeviceRecord();
    for (DWORD index = 0; platform::EnumDevice(ports.get(), index, device); ++index) {
        tree.devices.push_back(
            ReadPortDevice(ports.get(), allDevices ? allDevices.get() : nullptr, device));
    }
    for (const PortDevice& port : tree.devices) {
        if (IsValidComNumber(port.comNumber)) tree.claimants[port.comNumber - 1].push_back(&port);
    }
    return tree;
}

// The settings store as ReadPortSetting sees it, over the tree read once;
// switches and shared tables are read when first needed.
class Store {
public:
    explicit Store(const DeviceTree& tree) : tree_(tree) {}

    // `resolved` is the port the product was looked up on, whose key alone
    // holds the per-port values; without one, the first port whose name
    // carries the COM number and whose value reads.
    int Read(int port, int productId, const PortDevice* resolved, Setting setting) {
        const char* switchKey = SwitchKeyPath(productId);
        if (Switch(switchKey) != 0) {
            const auto& table = Table(switchKey, setting);
            return table ? TableValue(*table, port) : kNotStored;
        }
        if (resolved) return PerPortValue(resolved->values[setting]);
        for (const PortDevice* device : tree_.claimants[port - 1]) {
            if (device->values[setting]) return PerPortValue(device->values[setting]);
        }
        return kNotStored;
    }

private:
    std::uint32_t Switch(const char* switchKey) {
        auto found = switches_.find(switchKey);
        if (found == switches_.end()) {
            found = switches_.emplace(switchKey, ReadSwitchAt(switchKey)).first;
        }
        return found->second;
    }

    const std::optional<std::vector<std::uint8_t>>& Table(const char* switchKey, Setting setting) {
        const auto id = std::make_pair(switchKey, setting);
        auto found = tables_.find(id);
        if (found == tables_.end()) {
            found = tables_.emplace(id, ReadStoredTable(switchKey, kSettingNames[setting])).first;
        }
        return found->second;
    }

    const DeviceTree& tree_;
    // By the switch key SwitchKeyPath gives, one of two constants.
    std::map<const char*, std::uint32_t> switches_;
    std::map<std::pair<const char*, Setting>, std::optional<std::vector<std::uint8_t>>> tables_;
};

// The product lookup's answer for COM `port`, and the device it found.
const PortDevice* ResolvedDevice(const DeviceTree& tree, int port) {
    for (const PortDevice* device : tree.claimants[port - 1]) {
        if (device->adapterId) return device;
    }
    return nullptr;
}

PortAnswers Answer(const DeviceTree& tree, Store& store, int port) {
    PortAnswers answers;
    const PortDevice* device = ResolvedDevice(tree, port);
    if (!tree.portsListBuilt || !tree.allDevicesBuilt) {
        answers.productId = kNoDeviceLists;
    } else if (device) {
        answers.adapterId = *device->adapterId;
        answers.identity = ParseInstanceId(answers.adapterId);
        answers.productId = ProductIdOf(answers.adapterId);
        answers.channel = device->channel;
    } else {
        answers.productId = kNoMatchingPort;
    }

    AnswerOptions(answers, [&](const char* name) {
        return store.Read(port, answers.productId, device, SettingNamed(name));
    });
    return answers;
}

}  // namespace

PortSnapshot PortSnapshot::Read() {
    const DeviceTree tree = ReadDeviceTree();
    Store store(tree);
    PortSnapshot snapshot;
    snapshot.listBuilt_ = tree.portsListBuilt;
    for (int port = kMinComNumber; port <= kMaxComNumber; ++port) {
        if (tree.claimants[port - 1].empty()) continue;
        snapshot.carried_.set(port - 1);
        snapshot.answers_[port - 1] = Answer(tree, store, port);
    }
    return snapshot;
}

std::vector<int> PortSnapshot::CarriedComNumbers() const {
    std::vector<int> numbers;
    for (int port = kMinComNumber; port <= kMaxComNumber; ++port) {
        if (carried_.test(port - 1)) numbers.push_back(port);
    }
    return numbers;
}

const PortAnswers& PortSnapshot::Answers(int port) const {
    static const PortAnswers kNone{};
    return IsValidComNumber(port) ? answers_[port - 1] : kNone;
}

}  // namespace portopt
