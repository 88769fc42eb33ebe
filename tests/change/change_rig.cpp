#include "change_rig.h"

#include <stdexcept>

namespace change_test {

namespace {

std::int32_t LittleEndian32(const simwin::Bytes& bytes, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) bits |= std::uint32_t(bytes[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

std::int32_t Field(const simwin::Bytes& input, std::size_t offset) {
    if (input.size() != 8) throw std::runtime_error("control record is not 8 bytes");
    return LittleEndian32(input, offset);
}

bool IsTovelser(const std::string& adapterId) { return adapterId == kTovelserAdapter; }

}  // namespace

const char* LayoutName(Layout layout) {
    return layout == Layout::kSharedTable ? "SharedTable" : "PerPort";
}

std::string SwitchKeyOf(const std::string& adapterId) {
    return IsTovelser(adapterId) ? "SYSTEM\\CurrentControlSet\\Services\\tovelser\\FixComFunc"
                                 : "SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc";
}

std::string AdapterPath(const std::string& adapterId) {
    std::string name = adapterId;
    for (char& c : name) {
        if (c == '\\') c = '#';
    }
    return "\\\\?\\" + name + "#adapter";
}

void AddAdapter(const std::string& adapterId, Layout layout, bool withInterface) {
    simwin::AddDevice(adapterId);
    if (withInterface) simwin::AddInterface(adapterId, simwin::kPortsClass, AdapterPath(adapterId));
    simwin::SetDword(SwitchKeyOf(adapterId), "FixComFunc", layout == Layout::kSharedTable ? 1 : 0);
}

std::string AddPort(const std::string& adapterId, const std::string& friendlyName) {
    static int serial = 0;
    const std::string portId = "PORTS\\SERIAL\\" + std::to_string(++serial);
    simwin::AddDevice(portId, adapterId);
    simwin::SetFriendlyName(portId, friendlyName);
    simwin::AddInterface(portId, simwin::kPortsClass, "\\\\?\\port#" + std::to_string(serial));
    simwin::CreateKey(simwin::HardwareKeyPath(portId));
    return portId;
}

void StoreSetting(Layout layout, const std::string& adapterId, int com, const std::string& portId,
                  const std::string& name, std::uint8_t value) {
    if (layout == Layout::kPerPort) {
        simwin::SetDword(simwin::HardwareKeyPath(portId), name, value);
        return;
    }
    const std::string key = SwitchKeyOf(adapterId);
    const auto existing = simwin::GetValue(key, name);
    simwin::Bytes table = existing ? existing->data : simwin::Bytes(256, 0xFF);
    table.at(com - 1) = value;
    simwin::SetValue(key, name, REG_BINARY, table);
}

std::optional<std::uint32_t> StoredSetting(Layout layout, const std::string& adapterId, int com,
                                           const std::string& portId, const std::string& name) {
    if (layout == Layout::kPerPort) {
        const auto value = simwin::GetValue(simwin::HardwareKeyPath(portId), name);
        if (!value || value->data.size() != 4) return std::nullopt;
        return static_cast<std::uint32_t>(LittleEndian32(value->data, 0));
    }
    const auto table = simwin::GetValue(SwitchKeyOf(adapterId), name);
    if (!table || table->data.size() < static_cast<std::size_t>(com)) return std::nullopt;
    const std::uint8_t byte = table->data[com - 1];
    if (byte == 0xFF) return std::nullopt;
    return byte;
}

RecordFields ChannelFirst(const simwin::Request& request) {
    return {Field(request.input, 0), Field(request.input, 4)};
}

RecordFields ValueFirst(const simwin::Request& request) {
    return {Field(request.input, 4), Field(request.input, 0)};
}

}  // namespace change_test
