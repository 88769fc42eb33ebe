// What the Wine fixture records about its device nodes for the
// configuration-manager stand-in: each port's parent and the status flags
// a node was given.  The records live in the prefix's registry, so the
// stand-in in any process of the prefix (a test, or a tool it starts) reads
// the same ones.  Instance IDs are matched without regard to case.
#ifndef TESTS_WINE_STANDIN_DEVICE_RECORDS_H
#define TESTS_WINE_STANDIN_DEVICE_RECORDS_H

#include <optional>
#include <string>

namespace standin {

void RecordParent(const std::string& instanceId, const std::string& parentId);
void RecordStatus(const std::string& instanceId, unsigned long statusFlags);
std::optional<std::string> RecordedParent(const std::string& instanceId);
std::optional<unsigned long> RecordedStatus(const std::string& instanceId);
// Removes every record.
void ForgetRecords();

}  // namespace standin

#endif
