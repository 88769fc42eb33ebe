// The simulated registry below HKEY_LOCAL_MACHINE: a tree of keys whose
// names compare case-insensitively, each holding typed values as raw bytes.
// All functions here expect the machine lock to be held.
#ifndef SIMWIN_SRC_REGISTRY_TREE_H
#define SIMWIN_SRC_REGISTRY_TREE_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "text.h"

namespace simwin::detail {

struct RegKey {
    std::string path;  // canonical: components joined by '\\', as first created
    bool deleted = false;
    std::map<std::string, std::shared_ptr<RegKey>, NameLess> subkeys;
    std::map<std::string, RegValue, NameLess> values;
};

// Splits a '\\'-separated path into its non-empty components.
std::vector<std::string> SplitPath(const std::string& path);
std::string JoinPath(const std::string& base, const std::string& sub);

std::shared_ptr<RegKey> NewRegistryRoot();
// The key at `path` below `from`, or null when some component is missing.
std::shared_ptr<RegKey> FindKey(const std::shared_ptr<RegKey>& from, const std::string& path);
std::shared_ptr<RegKey> CreateKeyPath(const std::shared_ptr<RegKey>& from, const std::string& path);

}  // namespace simwin::detail

#endif
