// The test API that builds the device tree, and the value-data helpers.
#include <atomic>
#include <stdexcept>

#include "machine_state.h"
#include "text.h"

namespace simwin {

using detail::Access;
using detail::DeviceOrThrow;

std::string HardwareKeyPath(const std::string& instanceId) {
    return "SYSTEM\\CurrentControlSet\\Enum\\" + instanceId + "\\Device Parameters";
}

Bytes Dword(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

Bytes Utf16z(const std::string& ascii) {
    Bytes out = detail::Widen(reinterpret_cast<const std::uint8_t*>(ascii.data()), ascii.size());
    out.push_back(0);
    out.push_back(0);
    return out;
}

Bytes Ascii(const std::string& s, bool terminate) {
    Bytes out(s.begin(), s.end());
    if (terminate) out.push_back(0);
    return out;
}

void AddDevice(const std::string& instanceId, const std::string& parent) {
    // Node numbers continue across resets, so a stale one never names a
    // device of a later machine.
    static std::atomic<DEVINST> nextDevInst{1};
    auto m = Access();
    if (instanceId.empty() || detail::FindDevice(*m, instanceId))
        throw std::invalid_argument("simwin: bad or duplicate device " + instanceId);
    if (!parent.empty()) DeviceOrThrow(*m, parent);
    detail::Device d;
    d.instanceId = instanceId;
    d.parentId = parent;
    d.devInst = nextDevInst++;
    detail::AppendDevice(*m, std::move(d));
}

void SetPresent(const std::string& instanceId, bool present) {
    auto m = Access();
    DeviceOrThrow(*m, instanceId).present = present;
}

void SetStatus(const std::string& instanceId, ULONG statusFlags) {
    auto m = Access();
    DeviceOrThrow(*m, instanceId).status = statusFlags;
}

void SetFriendlyName(const std::string& instanceId, const Bytes& raw) {
    auto m = Access();
    DeviceOrThrow(*m, instanceId).friendlyName = raw;
}

void SetFriendlyName(const std::string& instanceId, const std::string& name) {
    SetFriendlyName(instanceId, Ascii(name));
}

std::optional<Bytes> FriendlyName(const std::string& instanceId) {
    auto m = Access();
    return DeviceOrThrow(*m, instanceId).friendlyName;
}

void RemoveFriendlyName(const std::string& instanceId) {
    auto m = Access();
    DeviceOrThrow(*m, instanceId).friendlyName.reset();
}

void AddInterface(const std::string& instanceId, const GUID& interfaceClass,
                  const std::string& devicePath) {
    if (devicePath.empty()) throw std::invalid_argument("simwin: empty device path");
    auto m = Access();
    DeviceOrThrow(*m, instanceId).interfaces.push_back({interfaceClass, devicePath});
}

DEVINST DevInstOf(const std::string& instanceId) {
    auto m = Access();
    return DeviceOrThrow(*m, instanceId).devInst;
}

}  // namespace simwin
