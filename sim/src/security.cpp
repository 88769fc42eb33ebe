// Security descriptors from their string form.  The simulator keeps the
// string itself: a descriptor is a LocalAlloc block that the caller frees
// with LocalFree, and a mutex created with it records the string.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "machine_state.h"
#include "text.h"
#include "win32_result.h"

using namespace simwin::detail;

namespace {

// A descriptor string starts with one of its components: owner, group,
// DACL or SACL.
bool LooksLikeDescriptor(const std::string& text) {
    return text.size() >= 2 && text[1] == ':' && std::strchr("OGDS", text[0]) != nullptr;
}

// Every ACE, "(type;flags;rights;object;inherited object;account)", has its
// six fields, and its type, rights and account are given.
bool AcesWellFormed(const std::string& text) {
    for (std::size_t open = text.find('('); open != std::string::npos;
         open = text.find('(', open + 1)) {
        const std::size_t close = text.find(')', open);
        if (close == std::string::npos) return false;
        std::vector<std::string> fields(1);
        for (std::size_t i = open + 1; i < close; ++i) {
            if (text[i] == '(') return false;
            if (text[i] == ';')
                fields.emplace_back();
            else
                fields.back() += text[i];
        }
        if (fields.size() != 6 || fields[0].empty() || fields[2].empty() || fields[5].empty())
            return false;
    }
    // Each '(' found its own ')'; no other ')' may stand alone.
    return std::count(text.begin(), text.end(), '(') == std::count(text.begin(), text.end(), ')');
}

}  // namespace

extern "C" {

BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(
    LPCWSTR StringSecurityDescriptor, DWORD StringSDRevision,
    PSECURITY_DESCRIPTOR* SecurityDescriptor, PULONG SecurityDescriptorSize) {
    auto m = Access();
    if (DWORD fault = CountCall(*m, "ConvertStringSecurityDescriptorToSecurityDescriptorW"))
        return FailWith(fault);
    if (!StringSecurityDescriptor || !SecurityDescriptor) return FailWith(ERROR_INVALID_PARAMETER);
    if (StringSDRevision != SDDL_REVISION_1) return FailWith(ERROR_UNKNOWN_REVISION);
    const std::string text = NarrowName(StringSecurityDescriptor);
    if (!LooksLikeDescriptor(text)) return FailWith(ERROR_INVALID_PARAMETER);
    if (!AcesWellFormed(text)) return FailWith(ERROR_INVALID_ACL);

    // A self-relative descriptor starts with a 20-byte header.
    const std::size_t size = 20 + text.size();
    void* block = std::calloc(1, size);
    if (!block) return FailWith(ERROR_NOT_ENOUGH_MEMORY);
    m->allocations.emplace(block, size);
    m->securityDescriptors.emplace(block, text);
    *SecurityDescriptor = block;
    if (SecurityDescriptorSize) *SecurityDescriptorSize = static_cast<ULONG>(size);
    return TRUE;
}
}
