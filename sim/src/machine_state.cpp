#include "machine_state.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>

#include "text.h"

namespace simwin::detail {
namespace {

std::mutex& MachineLock() {
    static std::mutex lock;
    return lock;
}

Machine& TheMachine() {
    static Machine machine;
    return machine;
}

}  // namespace

MachineAccess::MachineAccess() : lock_(MachineLock()), machine_(&TheMachine()) {}

std::uintptr_t NewHandleValue() {
    // Multiples of 4 like Windows handles, well below the predefined keys.
    static std::atomic<std::uintptr_t> next{0x10000};
    return next.fetch_add(4);
}

Device* FindDevice(Machine& m, const std::string& instanceId) {
    auto it = m.deviceById.find(Lower(instanceId));
    return it == m.deviceById.end() ? nullptr : &m.devices[it->second];
}

Device* FindDevice(Machine& m, DEVINST devInst) {
    auto it = m.deviceByNode.find(devInst);
    return it == m.deviceByNode.end() ? nullptr : &m.devices[it->second];
}

void AppendDevice(Machine& m, Device device) {
    m.deviceById.emplace(Lower(device.instanceId), m.devices.size());
    m.deviceByNode.emplace(device.devInst, m.devices.size());
    m.devices.push_back(std::move(device));
}

bool HandedOut(const DeviceList& list, DEVINST devInst) {
    return list.memberSlots.count(devInst) != 0 || list.parents.count(devInst) != 0;
}

bool NodeIssued(const Machine& m, DEVINST devInst) {
    for (const auto& [handle, list] : m.lists)
        if (HandedOut(list, devInst)) return true;
    return false;
}

Device& DeviceOrThrow(Machine& m, const std::string& instanceId) {
    Device* d = FindDevice(m, instanceId);
    if (!d) throw std::invalid_argument("simwin: no device " + instanceId);
    return *d;
}

}  // namespace simwin::detail

namespace simwin {

void Reset() {
    auto m = detail::Access();
    for (auto& [block, size] : m->allocations) std::free(block);
    *m = detail::Machine{};
}

}  // namespace simwin
