#include "security_descriptor.h"

#include <string_view>
#include <vector>

namespace platform {

LocalBlock SecurityDescriptorFromString(const char* text) {
    const std::string_view ascii(text);
    std::vector<WCHAR> wide(ascii.begin(), ascii.end());
    wide.push_back(0);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(wide.data(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return LocalBlock();
    }
    return LocalBlock(static_cast<HLOCAL>(descriptor));
}

}  // namespace platform
