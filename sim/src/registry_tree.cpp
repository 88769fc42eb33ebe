// The registry tree and the test API that reads and shapes it.
#include "registry_tree.h"

#include <stdexcept>

#include "machine_state.h"

namespace simwin::detail {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string JoinPath(const std::string& base, const std::string& sub) {
    return base.empty() ? sub : base + "\\" + sub;
}

std::shared_ptr<RegKey> NewRegistryRoot() {
    auto root = std::make_shared<RegKey>();
    CreateKeyPath(root, "SYSTEM\\CurrentControlSet");
    return root;
}

std::shared_ptr<RegKey> FindKey(const std::shared_ptr<RegKey>& from, const std::string& path) {
    std::shared_ptr<RegKey> key = from;
    for (const std::string& part : SplitPath(path)) {
        auto it = key->subkeys.find(part);
        if (it == key->subkeys.end()) return nullptr;
        key = it->second;
    }
    return key;
}

std::shared_ptr<RegKey> CreateKeyPath(const std::shared_ptr<RegKey>& from,
                                      const std::string& path) {
    std::shared_ptr<RegKey> key = from;
    for (const std::string& part : SplitPath(path)) {
        std::shared_ptr<RegKey>& child = key->subkeys[part];
        if (!child) {
            child = std::make_shared<RegKey>();
            child->path = JoinPath(key->path, part);
        }
        key = child;
    }
    return key;
}

namespace {

// Handles still open on a deleted key see it as deleted.
void MarkDeleted(RegKey& key) {
    key.deleted = true;
    for (auto& [name, child] : key.subkeys) MarkDeleted(*child);
}

}  // namespace
}  // namespace simwin::detail

namespace simwin {

using detail::Access;

void CreateKey(const std::string& path) {
    auto m = Access();
    detail::CreateKeyPath(m->registry, path);
}

void DeleteKey(const std::string& path) {
    auto parts = detail::SplitPath(path);
    if (parts.empty()) throw std::invalid_argument("simwin: cannot delete HKEY_LOCAL_MACHINE");
    auto m = Access();
    std::string leaf = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const auto& p : parts) parentPath = detail::JoinPath(parentPath, p);
    auto parent = detail::FindKey(m->registry, parentPath);
    if (!parent) return;
    auto it = parent->subkeys.find(leaf);
    if (it == parent->subkeys.end()) return;
    detail::MarkDeleted(*it->second);
    parent->subkeys.erase(it);
}

bool KeyExists(const std::string& path) {
    auto m = Access();
    return detail::FindKey(m->registry, path) != nullptr;
}

void SetValue(const std::string& path, const std::string& name, DWORD type, const Bytes& data) {
    auto m = Access();
    detail::CreateKeyPath(m->registry, path)->values[name] = RegValue{type, data};
}

void SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
    SetValue(path, name, REG_DWORD, Dword(value));
}

void DeleteValue(const std::string& path, const std::string& name) {
    auto m = Access();
    if (auto key = detail::FindKey(m->registry, path)) key->values.erase(name);
}

std::optional<RegValue> GetValue(const std::string& path, const std::string& name) {
    auto m = Access();
    auto key = detail::FindKey(m->registry, path);
    if (!key) return std::nullopt;
    auto it = key->values.find(name);
    if (it == key->values.end()) return std::nullopt;
    return it->second;
}

void RestrictKey(const std::string& path, REGSAM allowed) {
    auto m = Access();
    std::string canonical;
    for (const auto& p : detail::SplitPath(path)) canonical = detail::JoinPath(canonical, p);
    m->restrictions[detail::Lower(canonical)] = allowed;
}

}  // namespace simwin
