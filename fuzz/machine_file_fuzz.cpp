// The simulator's JSON machine-file reader on arbitrary bytes: it answers
// with a terminated message or loads a machine, and a machine it loaded
// can be written out and read back.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "simwin/machine_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> json(data, data + size);  // exactly the input, unterminated
    char error[128];
    std::memset(error, 'x', sizeof error);
    if (simwin_load_machine_json(json.data(), json.size(), error, sizeof error) != 0) {
        FUZZ_CHECK(std::memchr(error, 0, sizeof error) != nullptr);
        return 0;
    }
    const std::size_t length = simwin_machine_json(nullptr, 0);
    if (length == 0) return 0;  // a name that is not UTF-8 text cannot be written
    std::string saved(length + 1, '\0');
    FUZZ_CHECK(simwin_machine_json(saved.data(), saved.size()) == length);
    FUZZ_CHECK(simwin_load_machine_json(saved.data(), length, error, sizeof error) == 0);
    return 0;
}
