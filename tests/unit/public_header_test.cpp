// Every last-error code the calls are seen to set is one the public header
// tells its callers about, by number and name.
#include <fstream>
#include <sstream>
#include <string>

#include "portopt.h"
#include "sim_machine_test.h"

namespace portopt {
namespace {

class PublicHeader : public SimMachineTest {};

TEST_F(PublicHeader, NamesEveryCodeTheCallsSet) {
    AddAdapter(kKarbendAdapter);
    AddPort("USB\\PORT\\3", kKarbendAdapter, "Serial Port 1 (COM3)");
    AddPort("USB\\PORT\\4", kKarbendAdapter, "Serial Port 2 (COM4)");
    PoPortInfo records[1];
    records[0].size = sizeof(PoPortInfo);
    int count = 0;
    const struct {
        const char* how;
        int (*call)(PoPortInfo*, int*);
        DWORD code;
        const char* name;
    } cases[] = {
        {"a query with nothing stored", [](PoPortInfo*, int*) { return PoGetTxMode(3); }, 2,
         "ERROR_FILE_NOT_FOUND"},
        {"a COM number out of range", [](PoPortInfo*, int*) { return PoGetTxMode(0); }, 87,
         "ERROR_INVALID_PARAMETER"},
        {"a change with nothing stored", [](PoPortInfo*, int*) { return PoSetTxMode(3, 1); }, 1016,
         "ERROR_REGISTRY_IO_FAILED"},
        {"too few records", [](PoPortInfo* r, int* n) { return PoGetAllPortInfo(r, 1, n); }, 122,
         "ERROR_INSUFFICIENT_BUFFER"},
    };
    std::ifstream file(PORTOPT_PUBLIC_HEADER);
    std::ostringstream header;
    header << file.rdbuf();
    for (const auto& c : cases) {
        SetLastError(kUntouched);
        c.call(records, &count);
        ASSERT_EQ(GetLastError(), c.code) << c.how;
        const std::string documented = std::to_string(c.code) + " (" + c.name;
        EXPECT_NE(header.str().find(documented), std::string::npos)
            << c.how << " sets " << c.code << ", which portopt.h does not give as " << documented;
    }
}

}  // namespace
}  // namespace portopt
