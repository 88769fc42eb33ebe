// portctl.exe run as a user runs it, on a Wine machine that the machine
// fixture builds in either store layout: the listing and `get` answer what
// the query calls answer in this process, an import of the tool's own
// export changes nothing (its JSON report and a check say so), and `set`
// is refused cleanly (Wine's own CM_Get_Parent fails, so the shipped tool
// reaches no adapter there).  The same code built with the configuration-manager
// stand-in (portctl_standin.exe) changes options through the test adapter
// driver, and renumbers ports with the stand-in for the COM port database.
#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "machine_fixture.h"

namespace {

using fixture::Driver;
using Json = nlohmann::json;

constexpr const char* kAdapter = "USB\\VID_1A2B&PID_2052\\PORTCTL";
struct WinePort {
    const char* id;
    const char* friendlyName;
    const char* name;
    int number;
};
// Listed out of natural order on purpose.
const WinePort kPorts[] = {{"PORTCTL\\SER\\1", "Wine Port 1 (COM10)", "COM10", 10},
                           {"PORTCTL\\SER\\2", "Wine Port 2 (COM3)", "COM3", 3},
                           {"PORTCTL\\SER\\3", "Wine Port 3 (COM4)", "COM4", 4}};
const char* const kSettings[] = {"InterfaceMode", "FastFlush", "TxMode", "DisableFiFo"};

struct ToolRun {
    DWORD status = 0;
    std::string out;
    std::string err;
};

std::string Directory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

HANDLE InheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs `program` (beside this program) with `args`.
ToolRun Run(const std::string& program, const std::string& args) {
    const std::string dir = Directory();
    const std::string outPath = dir + "portctl.out", errPath = dir + "portctl.err";
    HANDLE out = InheritableFile(outPath), err = InheritableFile(errPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + dir + program + "\" " + args;
    ToolRun run;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, dir.c_str(),
                        &startup, &process)) {
        ADD_FAILURE() << program << " does not start, error " << GetLastError();
        run.status = DWORD(-1);
    } else {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    // Text-mode output ends its lines in CR LF.
    run.out = WithoutCarriageReturns(ReadFile(outPath));
    run.err = WithoutCarriageReturns(ReadFile(errPath));
    return run;
}

ToolRun Portctl(const std::string& args) { return Run("portctl.exe", args); }
ToolRun PortctlWithStandIn(const std::string& args) { return Run("portctl_standin.exe", args); }

class PortctlOnWine : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        fx = fixture::MakeMachineFixture();
        fx->AddAdapter(kAdapter);
        for (const WinePort& port : kPorts) {
            fx->AddPort(port.id, kAdapter, port.friendlyName, port.name);
        }
        const bool shared = GetParam();
        fx->SetSwitch(Driver::kKarbend, shared ? 1 : 0);
        for (const char* setting : kSettings) {
            if (shared) {
                fx->SetTable(Driver::kKarbend, setting, fixture::Table({{3, 1}, {10, 0}}));
            } else {
                fx->SetPortDword(kPorts[1].id, setting, 1);  // COM3
                fx->SetPortDword(kPorts[0].id, setting, 0);  // COM10
            }
        }
    }

    // Every stored setting, to show that nothing changed.
    std::vector<std::string> Store() {
        std::vector<std::string> values;
        for (const char* setting : kSettings) {
            const auto table = fx->GetTable(Driver::kKarbend, setting);
            values.push_back(table ? std::string(table->begin(), table->end()) : "-");
            for (const WinePort& port : kPorts) {
                const auto value = fx->GetPortDword(port.id, setting);
                values.push_back(value ? std::to_string(*value) : "-");
            }
        }
        return values;
    }

    std::unique_ptr<fixture::MachineFixture> fx;
};

TEST_P(PortctlOnWine, ListAndGetAnswerWhatTheQueryCallsAnswer) {
    const ToolRun list = Portctl("list --json");
    ASSERT_EQ(list.status, 0u) << list.err;
    const Json ports = Json::parse(list.out);
    ASSERT_EQ(ports.size(), 3u) << list.out;
    const fixture::PortoptApi& api = fx->Portopt();
    const int inOrder[] = {3, 4, 10};
    for (int i = 0; i < 3; ++i) {
        const int com = inOrder[i];
        const Json& port = ports[i];
        EXPECT_EQ(port["port"], "COM" + std::to_string(com));
        EXPECT_EQ(port["adapter"], nullptr);
        const int mode = api.PoGetInterface(com);
        EXPECT_EQ(port["interface"], mode == -1 ? Json(nullptr) : Json(mode)) << com;
        const int tx = api.PoGetTxMode(com);
        EXPECT_EQ(port["txmode"], tx == -1 ? Json(nullptr) : Json(tx)) << com;
        EXPECT_EQ(port["fifo"], api.PoGetUARTFIFO(com) == 1) << com;

        const ToolRun get = Portctl("get " + std::to_string(com) + " --json");
        EXPECT_EQ(get.status, 0u) << get.err;
        EXPECT_EQ(Json::parse(get.out), port);
    }
    EXPECT_EQ(Portctl("get com3 interface").out, "2\n");  // stored 1, translated
    EXPECT_NE(Portctl("list").out.find("COM10"), std::string::npos);
}

TEST_P(PortctlOnWine, ImportOfItsOwnExportChangesNothing) {
    const std::vector<std::string> before = Store();
    const std::string backup = Directory() + "backup.json";
    const ToolRun exported = Portctl("export \"" + backup + "\"");
    ASSERT_EQ(exported.status, 0u) << exported.err;
    EXPECT_EQ(Json::parse(ReadFile(backup))["ports"]["COM3"]["interface"], 2);

    const ToolRun imported = Portctl("import \"" + backup + "\"");
    EXPECT_EQ(imported.status, 0u) << imported.err;
    EXPECT_NE(imported.out.find("COM3 interface: unchanged (2)"), std::string::npos)
        << imported.out;
    EXPECT_EQ(imported.out.find("applied"), std::string::npos) << imported.out;
    // The report for configuration tools says so too.
    const ToolRun report = Portctl("import --json \"" + backup + "\"");
    EXPECT_EQ(report.status, 0u) << report.err;
    EXPECT_EQ(Json::parse(report.out)["changed"], false) << report.out;
    // A check finds every option as the file gives it, in one line and
    // with nothing on standard error.
    const ToolRun check = Portctl("check \"" + backup + "\"");
    EXPECT_EQ(check.status, 0u) << check.err;
    EXPECT_EQ(check.out, "compliant: 8 options on 2 ports\n");
    EXPECT_EQ(check.err, "");
    EXPECT_EQ(Store(), before);
}

TEST_P(PortctlOnWine, SetIsRefusedCleanly) {
    const std::vector<std::string> before = Store();
    const ToolRun set = Portctl("set COM3 txmode 0 interface 3");
    EXPECT_EQ(set.status, 1u);
    EXPECT_EQ(set.out, "");
    EXPECT_NE(set.err.find("COM3 txmode not changed: the adapter could not be reached or "
                           "refused the change"),
              std::string::npos)
        << set.err;
    EXPECT_NE(set.err.find("no change was applied before it"), std::string::npos) << set.err;
    EXPECT_EQ(Store(), before);

    const ToolRun unknown = Portctl("set COM5 txmode 0");
    EXPECT_EQ(unknown.status, 2u);
    EXPECT_NE(unknown.err.find("unknown port COM5"), std::string::npos) << unknown.err;
}

// Through the stand-in the ports resolve to their adapter: each change is
// sent to the adapter's driver with the port's channel and read back.
TEST_P(PortctlOnWine, SetAndImportReachTheAdapterDriver) {
    const ToolRun set = PortctlWithStandIn("set COM3 txmode 0 interface 3");
    ASSERT_EQ(set.status, 0u) << set.err;
    EXPECT_EQ(set.out, "COM3 txmode: 1 -> 0\nCOM3 interface: 2 -> 3\n");
    const std::string backup = Directory() + "import.json";
    std::ofstream(backup) << R"({"portctl": 1, "ports": {"COM10": {"fastflush": 1, "txmode": 0}}})";
    const ToolRun imported = PortctlWithStandIn("import \"" + backup + "\"");
    EXPECT_EQ(imported.status, 0u) << imported.err;
    EXPECT_NE(imported.out.find("COM10 fastflush: applied"), std::string::npos) << imported.out;
    EXPECT_NE(imported.out.find("COM10 txmode: unchanged"), std::string::npos) << imported.out;

    const std::vector<fixture::ControlRequest> requests = fx->Requests(kAdapter);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].code, 0x0404201Cu);  // COM3 is "Port 2": channel 1
    EXPECT_EQ(requests[0].input, (fixture::Bytes{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(requests[1].code, 0x04042014u);
    EXPECT_EQ(requests[1].input, (fixture::Bytes{1, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(requests[2].code, 0x04042018u);  // COM10 is "Port 1": channel 0
    EXPECT_EQ(requests[2].input, (fixture::Bytes{0, 0, 0, 0, 1, 0, 0, 0}));
    const fixture::PortoptApi& api = fx->Portopt();
    EXPECT_EQ(api.PoGetTxMode(3), 0);
    EXPECT_EQ(api.PoGetInterface(3), 3);
    EXPECT_EQ(api.PoGetFastFlush(10), 1);
    EXPECT_NE(PortctlWithStandIn("list").out.find("USB 1A2B:2052"), std::string::npos);
}

// A profile with the ports' numbers, by position: the adapter's first two
// ports swap their COM numbers through a free one, the first then gets its
// option under its new number, and the friendly names, "PortName" and the
// COM port database (the stand-in's) are as Windows leaves them.
TEST_P(PortctlOnWine, ImportWithNumbersSwapsThePortsNumbers) {
    fixture::Bytes database(32, 0);
    database[0] = 0x0C;  // COM3, COM4
    database[1] = 0x02;  // COM10
    const char* const arbiter = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
    fx->SetValue(arbiter, "ComDB", REG_BINARY, database);
    const std::string profile = Directory() + "numbers.json";
    const std::string adapter = R"("adapter": {"vendor": 6699, "product": 8274})";
    std::ofstream(profile) << R"({"portctl": 1, "ports": {"COM3": {)" << adapter
                           << R"(, "position": 1, "txmode": 1}, "COM10": {)" << adapter
                           << R"(, "position": 2}}})";
    const ToolRun imported =
        PortctlWithStandIn("import --match position --numbers \"" + profile + "\"");
    EXPECT_EQ(imported.status, 0u) << imported.err;
    EXPECT_EQ(imported.out,
              "COM3 goes to COM10\nCOM10 number: applied (10 -> 3)\n"
              "COM10 txmode: applied (0 -> 1)\n"
              "COM10 goes to COM3\nCOM3 number: applied (3 -> 1 -> 10)\n");

    EXPECT_EQ(fx->FriendlyName(kPorts[0].id), "Wine Port 1 (COM3)");
    EXPECT_EQ(fx->FriendlyName(kPorts[1].id), "Wine Port 2 (COM10)");
    for (const auto& [port, name] : {std::pair{kPorts[0].id, "COM3"}, {kPorts[1].id, "COM10"}}) {
        const auto portName = fx->GetHardwareValue(port, "PortName");
        ASSERT_TRUE(portName.has_value());
        std::string ascii;  // stored as UTF-16, with its terminator
        for (std::size_t i = 0; i + 1 < portName->data.size() && portName->data[i]; i += 2)
            ascii += char(portName->data[i]);
        EXPECT_EQ(ascii, name);
    }
    EXPECT_EQ(fx->GetValue(arbiter, "ComDB")->data, database);
    const fixture::PortoptApi& api = fx->Portopt();
    EXPECT_EQ(api.PoGetTxMode(3), 1);   // the first port's, set under its new number
    EXPECT_EQ(api.PoGetTxMode(10), 1);  // the second port's, which went with it
    const ToolRun check =
        PortctlWithStandIn("check --match position --numbers \"" + profile + "\"");
    EXPECT_EQ(check.out, "compliant: 1 option and 2 numbers on 2 ports\n") << check.err;
}

// The C example lists every port from one call of the library (no adapter
// resolves under Wine's own configuration manager), and a name that is not
// COMn without options.
TEST_P(PortctlOnWine, ExampleProgramListsEveryPortFromOneCall) {
    fx->AddPort("PORTCTL\\SER\\9", kAdapter, "Wine Modem", "MODEM1");
    const ToolRun run = ::Run("portinfo.exe", "");
    EXPECT_EQ(run.status, 0u) << run.err;
    for (const char* line : {"COM3: no adapter, interface 2, fast flush 1, transmit mode 1, "
                             "FIFO enabled 0\n",
                             "COM4: no adapter, interface -, fast flush -, transmit mode -, "
                             "FIFO enabled -\n",
                             "MODEM1: not a COM number the library addresses\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "in:\n" << run.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PortctlOnWine, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "SharedTables" : "PerPort"; });

}  // namespace
