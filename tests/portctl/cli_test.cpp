// portctl run as a user runs it, on machine files of the simulated
// Windows: each command on the demo machine, bad input of every kind
// (exit 2, a message naming the fault, the machine file untouched), and an
// export/import round trip.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

int Count(const std::string& text, const std::string& piece) {
    int count = 0;
    for (std::size_t at = 0; (at = text.find(piece, at)) != std::string::npos; at += piece.size())
        ++count;
    return count;
}

class PortctlCli : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("portctl-cli-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const ToolRun demo = Tool({"demo-machine"});
        ASSERT_EQ(demo.status, 0) << demo.err;
        WriteFile(Machine(), demo.out);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Machine() const { return dir_ / "machine.json"; }
    fs::path File(const std::string& name) const { return dir_ / name; }

    // Runs the tool with `args` (each passed as one word), after the shell
    // commands in `before` (environment settings, limits).
    ToolRun Tool(const std::vector<std::string>& args, const std::string& before = "") const {
        std::string command = before + " '" PORTCTL_PATH "'";
        for (const std::string& arg : args) command += " '" + arg + "'";
        const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
        command += " >'" + out.string() + "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
    }

    ToolRun OnMachine(std::vector<std::string> args, const std::string& before = "") const {
        args.insert(args.begin(), {"--machine", Machine().string()});
        return Tool(args, before);
    }

    // The machine file with each `from` replaced by its `to`.
    void Rewrite(const std::vector<std::pair<std::string, std::string>>& replacements) const {
        WriteFile(Machine(), Replaced(ReadFile(Machine()), replacements));
    }

    static std::string Replaced(
        std::string text, const std::vector<std::pair<std::string, std::string>>& replacements) {
        for (const auto& [from, to] : replacements) {
            for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos;
                 at += to.size()) {
                text.replace(at, from.size(), to);
            }
        }
        return text;
    }

    Json Listing() const {
        const ToolRun list = OnMachine({"list", "--json"});
        EXPECT_EQ(list.status, 0) << list.err;
        return Json::parse(list.out);
    }

    fs::path dir_;
};

TEST_F(PortctlCli, ListsEveryPortInNaturalOrderWithAdapterAndOptions) {
    const Json ports = Listing();
    std::vector<std::string> names;
    for (const Json& port : ports) names.push_back(port["port"]);
    // COM10's driver registers it in the Ports class only: the lister does
    // not name it, the option calls serve it.
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM3", "COM4", "COM5", "COM6", "COM7",
                                               "COM8", "COM9", "COM10"}));
    for (const Json& port : ports) {
        std::vector<std::string> keys;
        for (const auto& item : port.items()) keys.push_back(item.key());
        EXPECT_EQ(keys, (std::vector<std::string>{"adapter", "fastflush", "fifo", "interface",
                                                  "interfaceModes", "number", "port", "position",
                                                  "txmode"}));
    }
    // No adapter; a KARBEND port with translated and missing values; the
    // PCI port; a tovelser port without the other three options.
    EXPECT_EQ(ports[0]["adapter"], nullptr);
    EXPECT_EQ(ports[1]["position"], 1);  // the adapter's first channel
    EXPECT_EQ(ports[2]["adapter"]["family"], "KARBEND");
    EXPECT_EQ(ports[2]["position"], 2);
    EXPECT_EQ(ports[2]["interface"], 1);
    EXPECT_EQ(ports[3]["txmode"], nullptr);
    EXPECT_EQ(ports[5]["adapter"]["bus"], "PCI");
    EXPECT_EQ(ports[5]["position"], nullptr);
    EXPECT_EQ(ports[6]["adapter"]["family"], "tovelser");
    EXPECT_EQ(ports[6]["adapter"]["product"], 0x1131);
    EXPECT_EQ(ports[6]["interface"], 2);
    EXPECT_EQ(ports[6]["fastflush"], nullptr);
    EXPECT_EQ(ports[6]["fifo"], nullptr);
    // The modes each adapter takes: all of them without an adapter's
    // restriction, 1 to 3 for capability 0x30.
    EXPECT_EQ(ports[0]["interfaceModes"], Json({0, 1, 2, 3}));
    EXPECT_EQ(ports[6]["interfaceModes"], Json({1, 2, 3}));
    EXPECT_EQ(ports[8]["adapter"]["product"], 0x2031);
    EXPECT_EQ(ports[8]["interfaceModes"], Json({1, 2, 3}));
    EXPECT_EQ(ports[8]["interface"], 1);

    const ToolRun table = OnMachine({"list"});
    EXPECT_NE(table.out.find("n/a"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("USB 1A2B:1131"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("\nCOM10  USB 1A2B:2031  KARBEND   -    1          0          1"),
              std::string::npos)
        << table.out;
    EXPECT_EQ(OnMachine({"get", "COM10"}).out,
              "PORT   ADAPTER        FAMILY   POS  INTERFACE  FASTFLUSH  TXMODE  FIFO\n"
              "COM10  USB 1A2B:2031  KARBEND  -    1          0          1       on\n"
              "interface modes: 1, 2 and 3\n");

    const ToolRun one = OnMachine({"get", "com4", "--json"});
    EXPECT_EQ(Json::parse(one.out), ports[2]);
    EXPECT_EQ(OnMachine({"get", "4", "interface"}).out, "1\n");
    EXPECT_EQ(OnMachine({"get", "COM8", "txmode"}).out, "n/a\n");
}

TEST_F(PortctlCli, SetReadsBackAndStopsAtTheFirstRefusal) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"set", "COM4", "txmode", "0", "fifo", "on"},
         0,
         "COM4 txmode: 1 -> 0\nCOM4 fifo: off -> on\n",
         ""},
        // The tovelser family has no transmit mode; its interface change stands.
        {{"set", "COM8", "interface", "3", "txmode", "1"},
         1,
         "COM8 interface: 2 -> 3\n",
         "COM8 txmode not changed: the adapter's family has no txmode\n"
         "portctl: applied before it: interface"},
        // Nothing stored for COM6: a change needs the old value.
        {{"set", "6", "fastflush", "on"},
         1,
         "",
         "COM6 fastflush not changed: the stored setting could not be read or written\n"
         "portctl: no change was applied before it"},
        // COM10's adapter (capability 0x30) refuses mode 0: said before any
        // change is made, the one before it included.
        {{"set", "COM10", "txmode", "0", "interface", "0"},
         2,
         "",
         "portctl: COM10 interface not changed: the adapter USB 1A2B:2031 "
         "(USB\\VID_1A2B&PID_2031\\KB1P0010) takes interface modes 1, 2 and 3 only, not 0\n"},
        {{"set", "COM10", "interface", "2"}, 0, "COM10 interface: 1 -> 2\n", ""},
    };
    for (const auto& c : cases) {
        const ToolRun run = OnMachine(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[1] << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        // Said only of an option the family does not have.
        EXPECT_EQ(run.err.find("family has no") != std::string::npos,
                  c.err.find("family has no") != std::string::npos)
            << run.err;
    }
    // Every change that was applied is in the machine file, and nothing
    // of the refused COM10 change.
    const Json ports = Listing();
    EXPECT_EQ(ports[2]["txmode"], 0);
    EXPECT_EQ(ports[6]["interface"], 3);
    EXPECT_EQ(ports[8]["txmode"], 1);

    // An adapter of capability 0x10 reports success for mode 0 but keeps
    // its mode: the read-back shows that the change did not take.
    std::string machine = ReadFile(Machine());
    for (std::size_t at; (at = machine.find("PID_1131")) != std::string::npos;) {
        machine.replace(at, 8, "PID_1110");
    }
    WriteFile(Machine(), machine);
    const ToolRun kept = OnMachine({"set", "COM8", "interface", "0"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.err.find("COM8 interface not changed: the change was accepted but reads back 3"),
              std::string::npos)
        << kept.err;
    // Any other mode it lacks, and says so before the call.
    const ToolRun other = OnMachine({"set", "COM8", "interface", "1"});
    EXPECT_EQ(other.status, 2);
    EXPECT_NE(other.err.find("takes interface mode 0 only, not 1"), std::string::npos) << other.err;
}

// A driver's refusal reaches the user with the code its request got; a
// change that leaves no code says so, never "error 0".
TEST_F(PortctlCli, RefusalCarriesTheDriversCode) {
    // The four-port adapter's device path, as a JSON string.
    const std::string path =
        R"(\\\\?\\usb#vid_1a2b&pid_2044#kb4p0001#{4d36e978-e325-11ce-bfc1-08002be10318})";
    const std::string machine = ReadFile(Machine());
    const struct {
        std::string driver;
        std::string reason;
    } cases[] = {
        {R"("rejectError": 31)", "the adapter refused the change (error 31)"},
        {R"("openError": 32)",
         "the adapter could not be reached or refused the change, no code given"},
    };
    for (const auto& c : cases) {
        WriteFile(Machine(),
                  Replaced(machine, {{"\"drivers\": {}",
                                      "\"drivers\": {\"" + path + "\": {" + c.driver + "}}"}}));
        const ToolRun run = OnMachine({"set", "COM4", "txmode", "0"});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("COM4 txmode not changed: " + c.reason + "\n"), std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("error 0"), std::string::npos) << run.err;
    }
}

TEST_F(PortctlCli, BadInputIsRefusedWholeWithExitTwo) {
    // The profile engine's own tests give each fault of a file; here, that
    // the tool names the file before it.
    WriteFile(File("malformed.json"), "{\"portctl\": 1, \"ports\": {\"COM3\": {\"txmode\": 1,}}}");
    WriteFile(File("range.json"),
              R"({"portctl": 1, "ports": {"COM3": {"txmode": 0}, "COM4": {"interface": 4}}})");
    WriteFile(File("port.json"),
              R"({"portctl": 1, "ports": {"COM3": {"txmode": 0}, "COM2": {"txmode": 1}}})");
    WriteFile(File("com0.json"),
              R"({"portctl": 1, "ports": {"COM2": {"txmode": 1}, "COM0": {"txmode": 1}}})");
    WriteFile(File("bad-machine.json"), "{\"simwin-machine\": 1, \"devices\": [}");
    const std::string machineBefore = ReadFile(Machine());

    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"frob"}, "frob"},
        {{"get", "COM2"}, "unknown port COM2"},
        {{"get", "serial"}, "'serial' is not a port"},
        {{"get", "12345678901"}, "'12345678901' is not a port"},
        {{"set", "COM12345678901", "txmode", "0"}, "'COM12345678901' is not a port"},
        {{"get", "COM3", "speed"}, "unknown option 'speed'"},
        {{"set", "COM3", "txmode", "1", "interface", "4"}, "bad value '4' for interface"},
        {{"set", "COM3", "fifo", "yes"}, "bad value 'yes' for fifo"},
        {{"set", "COM3", "txmode", "2"}, "bad value '2' for txmode"},
        {{"set", "COM3", "interface", "1", "txmode", "3"}, "bad value '3' for txmode"},
        {{"set", "COM3", "txmode"}, "OPTION VALUE pairs"},
        {{"import", File("missing.json").string()}, "missing.json: cannot be read"},
        {{"import", File("malformed.json").string()},
         File("malformed.json").string() + ": malformed JSON: parse error at line 1"},
        {{"import", File("range.json").string()},
         File("range.json").string() + ": ports.COM4.interface: value 4 out of range"},
        {{"import", "--dry-run", File("port.json").string()}, "ports.COM2: no such port"},
        {{"import", "--match", "serial", File("port.json").string()}, "--match"},
        // A check refuses what an import refuses.
        {{"check"}, "FILE is required"},
        {{"check", File("malformed.json").string()}, "malformed JSON"},
        {{"check", File("com0.json").string()}, "ports.COM0: no such port"},
    };
    for (const auto& c : cases) {
        const ToolRun run = OnMachine(c.args);
        EXPECT_EQ(run.status, 2) << c.args[0] << " " << c.args.back();
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << c.args.back();
        EXPECT_EQ(ReadFile(Machine()), machineBefore) << c.args.back();
    }

    const std::string badMachine = ReadFile(File("bad-machine.json"));
    const ToolRun run =
        Tool({"--machine", File("bad-machine.json").string(), "set", "COM3", "txmode", "1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("bad-machine.json"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(File("bad-machine.json")), badMachine);
}

TEST_F(PortctlCli, ImportOfAnExportRestoresTheMachine) {
    const std::string backup = File("backup.json").string();
    ASSERT_EQ(OnMachine({"export", backup}, "umask 027;").status, 0);
    // A new file's permissions, not the temporary file's (the owner's alone).
    using fs::perms;
    EXPECT_EQ(fs::status(backup).permissions(),
              perms::owner_read | perms::owner_write | perms::group_read);
    const Json exported = Json::parse(ReadFile(backup));
    EXPECT_EQ(exported["portctl"], 1);
    const Json tovelser = {
        {"id", "USB\\VID_1A2B&PID_1131\\TV2P0042"}, {"vendor", 0x1A2B}, {"product", 0x1131}};
    // Where the port is, and no options it lacks.
    EXPECT_EQ(exported["ports"]["COM8"],
              (Json{{"adapter", tovelser}, {"position", 1}, {"interface", 2}}));
    EXPECT_FALSE(exported["ports"]["COM7"].contains("position"));  // a single-port adapter
    EXPECT_FALSE(exported["ports"].contains("COM1"));              // no adapter, nothing stored
    EXPECT_FALSE(exported["ports"]["COM5"].contains("txmode"));    // not stored
    // A port the lister does not name.
    EXPECT_EQ(exported["ports"]["COM10"]["txmode"], 1);
    // Nothing stored: the port's place alone, which carries its number.
    EXPECT_EQ(exported["ports"]["COM6"], (Json{{"adapter", exported["ports"]["COM3"]["adapter"]},
                                                {"position", 4}}));
    EXPECT_EQ(OnMachine({"export", "-"}).out, ReadFile(backup));

    const Json before = Listing();
    const std::string machineBefore = ReadFile(Machine());
    const ToolRun same = OnMachine({"import", backup});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out.find("applied"), std::string::npos) << same.out;
    EXPECT_EQ(ReadFile(Machine()), machineBefore);

    ASSERT_EQ(OnMachine({"set", "COM3", "interface", "3", "txmode", "1"}).status, 0);
    ASSERT_EQ(OnMachine({"set", "COM8", "interface", "1"}).status, 0);
    const ToolRun plan = OnMachine({"import", "--dry-run", backup});
    EXPECT_NE(plan.out.find("COM3 interface: would apply (3 -> 0)"), std::string::npos) << plan.out;
    EXPECT_NE(Listing(), before);

    const ToolRun restore = OnMachine({"import", backup});
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_NE(restore.out.find("COM8 interface: applied (1 -> 2)"), std::string::npos)
        << restore.out;
    EXPECT_NE(restore.out.find("COM3 fifo: unchanged (on)"), std::string::npos) << restore.out;
    // Each entry goes to its own COM number, which needs no saying.
    EXPECT_EQ(Count(plan.out + restore.out, "goes to"), 0) << plan.out << restore.out;
    EXPECT_EQ(Listing(), before);
}

// What an import reports for each option, as lines and as the JSON
// object configuration tools read, with the exit status; and what a check
// of the same file answers: one line, nothing on standard error, nothing
// changed, and with --json the dry run's object.
TEST_F(PortctlCli, ImportReportsEachOptionAndFailsOnAnyRefusal) {
    // COM6 has nothing stored (its FIFO reads "disabled"); the tovelser
    // family has no transmit mode; there is no COM2, nor any above COM10;
    // COM7's interface is 3; COM10's adapter refuses interface mode 0.
    WriteFile(File("one-refused.json"),
              R"({"portctl": 1, "ports": {"COM3": {"interface": 1}, "COM6": {"fastflush": 1}}})");
    WriteFile(File("fifo-off.json"), R"({"portctl": 1, "ports": {"COM6": {"fifo": false}}})");
    WriteFile(File("family.json"), R"({"portctl": 1, "ports": {"COM8": {"txmode": 1}}})");
    WriteFile(
        File("absent.json"),
        R"({"portctl": 1, "ports": {"COM2": {"txmode": 1, "fifo": true}, "COM7": {"interface": 3}}})");
    std::string many =
        R"({"portctl": 1, "ports": {"COM3": {"interface": 1}, "COM5": {"txmode": 1})";
    for (int n = 11; n <= 256; ++n) many += ", \"COM" + std::to_string(n) + R"(": {"txmode": 1})";
    WriteFile(File("many.json"), many + "}}");
    // Differences that make a line of exactly 2,046 characters: all shown.
    std::string exact = R"({"portctl": 1, "ports": {"COM3": {"interface": 1})";
    std::string exactLine = "drift: COM3 interface 0 (want 1)";
    for (int n = 11; n <= 223; n = n == 21 ? 100 : n + 1) {  // 11 names of 2 digits, 124 of 3
        exactLine += ", COM" + std::to_string(n) + " absent";
        exact += ", \"COM" + std::to_string(n) + R"(": {"txmode": 1})";
    }
    ASSERT_EQ(exactLine.size(), 2046u);
    WriteFile(File("exact.json"), exact + "}}");
    WriteFile(File("mode.json"), R"({"portctl": 1, "ports": {"COM10": {"interface": 0}}})");
    const std::string noDeviceList = "PORTCTL_SIM_FAULTS=SetupDiGetClassDevsW:1";
    const struct {
        std::string before;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> out;
        std::string err;
    } cases[] = {
        {"",
         {"import", "one-refused.json"},
         1,
         {"COM3 interface: applied (0 -> 1)\n",
          "COM6 fastflush: refused: the stored setting could not be read or written\n"},
         "portctl: 1 of 2 settings refused"},
        {"", {"import", "fifo-off.json"}, 0, {"COM6 fifo: unchanged (-)\n"}, ""},
        {"",
         {"import", "family.json"},
         1,
         {"COM8 txmode: refused: the adapter's family has no txmode\n"},
         "1 of 1 settings refused"},
        // Refused without a call, also in a dry run.
        {"",
         {"import", "mode.json"},
         1,
         {"COM10 interface: refused: the adapter USB 1A2B:2031 "
          "(USB\\VID_1A2B&PID_2031\\KB1P0010) takes interface modes 1, 2 and 3 only, not 0\n"},
         "1 of 1 settings refused"},
        {"",
         {"import", "--dry-run", "mode.json"},
         1,
         {"COM10 interface: refused: the adapter USB 1A2B:2031"},
         "1 of 1 settings refused"},
        {"", {"check", "mode.json"}, 1, {"drift: COM10 interface 1 (want 0)\n"}, ""},
        {"",
         {"import", "--dry-run", "--json", "one-refused.json"},
         0,
         {R"("changed": false)", R"("result": "would apply")", R"("from": 0)", R"("to": 1)"},
         ""},
        {"", {"check", "fifo-off.json"}, 0, {"compliant: 1 option on 1 port\n"}, ""},
        {"",
         {"check", "one-refused.json"},
         1,
         {"drift: COM3 interface 0 (want 1), COM6 fastflush not stored (want 1)\n"},
         ""},
        {"", {"check", "absent.json"}, 1, {"drift: COM2 absent\n"}, ""},
        // 248 differences: as many as fit in 2,046 characters (one more
        // would make 2,048), and a count.
        {"",
         {"check", "many.json"},
         1,
         {"drift: COM3 interface 0 (want 1), COM5 txmode not stored (want 1), COM11 absent, COM12 "
          "absent, ",
          ", COM146 absent, ... and 110 more\n"},
         ""},
        {"", {"check", "exact.json"}, 1, {exactLine + "\n"}, ""},
        {noDeviceList,
         {"check", "one-refused.json"},
         1,
         {"not checked: the ports cannot be listed: the lister could not build its device list "
          "(error 31)\n"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + " " + c.args[0] + " " + c.args.back());
        ASSERT_EQ(OnMachine({"set", "COM3", "interface", "0"}).status, 0);
        const std::string machineBefore = ReadFile(Machine());
        std::vector<std::string> args;
        for (const std::string& arg : c.args)
            args.push_back(arg.find(".json") == std::string::npos ? arg : File(arg).string());
        const ToolRun run = OnMachine(args, c.before);
        EXPECT_EQ(run.status, c.status) << run.err;
        for (const std::string& line : c.out)
            EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        if (c.err.empty()) {
            EXPECT_EQ(run.err, "");
        }
        if (c.args[0] != "check") continue;
        // One line, within the 2,048 characters it is cut to with its CR LF.
        EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
        EXPECT_LE(run.out.size() + 1, 2048u);
        EXPECT_EQ(ReadFile(Machine()), machineBefore);
        // The dry run's report; where the dry run refuses a missing port,
        // the port's options are "absent".
        args.insert(args.begin() + 1, "--json");
        const ToolRun json = OnMachine(args, c.before);
        EXPECT_EQ(json.status, c.status);
        EXPECT_EQ(json.err, "");
        args[0] = "import";
        args.insert(args.begin() + 1, "--dry-run");
        const ToolRun dryRun = OnMachine(args, c.before);
        if (dryRun.status != 2) {
            EXPECT_EQ(json.out, dryRun.out);
        } else {
            EXPECT_NE(json.out.find(R"("result": "absent",)"
                                    "\n"
                                    R"(          "to": 1)"),
                      std::string::npos)
                << json.out;
        }
        EXPECT_EQ(ReadFile(Machine()), machineBefore);
    }

    // The report that configuration tools read: one object, the exit
    // status as without it.
    for (const bool again : {false, true}) {
        ASSERT_EQ(OnMachine({"set", "COM3", "interface", again ? "1" : "0"}).status, 0);
        const ToolRun run = OnMachine({"import", "--json", File("one-refused.json").string()});
        EXPECT_EQ(run.status, 1);
        const Json report = Json::parse(run.out);
        EXPECT_EQ(report["changed"], !again);
        const Json& com3 = report["ports"]["COM3"];
        EXPECT_EQ(com3["entry"], "COM3");
        const Json unchanged = {{"result", "unchanged"}, {"value", 1}};
        const Json applied = {{"result", "applied"}, {"from", 0}, {"to", 1}};
        EXPECT_EQ(com3["options"]["interface"], again ? unchanged : applied);
        EXPECT_EQ(report["ports"]["COM6"]["options"]["fastflush"],
                  (Json{{"result", "refused"},
                        {"reason", "the stored setting could not be read or written"}}));
    }
}

// An export taken on one machine goes onto another where the same adapters
// got other COM numbers, port by port at the same positions, or is refused
// whole where that is ambiguous.
TEST_F(PortctlCli, ImportByPositionFollowsTheAdapter) {
    const std::string backup = File("backup.json").string();
    ASSERT_EQ(OnMachine({"export", backup}).status, 0);
    const Json demo = Listing();
    // The other machine: the four-port adapter has another serial number,
    // and its first two ports each other's COM numbers; the tovelser
    // adapter's ports too.
    const std::vector<std::pair<std::string, std::string>> otherMachine = {
        {"KB4P0001", "KB4P0777"}, {"COM3", "COMx"}, {"COM4", "COM3"}, {"COMx", "COM4"},
        {"COM8", "COMy"},         {"COM9", "COM8"}, {"COMy", "COM9"}};
    Rewrite(otherMachine);
    ASSERT_EQ(OnMachine({"set", "COM4", "fastflush", "0", "txmode", "1"}).status, 0);

    const ToolRun plan = OnMachine({"import", "--match", "position", "--dry-run", backup});
    EXPECT_EQ(plan.status, 0) << plan.err;
    // Where each entry goes, once however many options it has.
    for (const char* line : {"COM3 goes to COM4\n", "COM4 goes to COM3\n", "COM7 goes to COM7\n",
                             "COM8 goes to COM9\n", "COM4 fastflush: would apply (0 -> 1)\n"}) {
        EXPECT_EQ(Count(plan.out, line), 1) << line << plan.out;
    }
    const std::vector<std::string> check = {"check", "--match", "position", backup};
    const ToolRun drift = OnMachine(check);
    EXPECT_EQ(drift.status, 1) << drift.err;
    // The settings here stayed with the COM numbers.
    EXPECT_EQ(drift.out,
              "drift: COM4 interface 1 (want 0), COM4 fastflush 0 (want 1), "
              "COM4 txmode 1 (want 0), COM4 fifo off (want on), COM3 interface 0 (want 1), "
              "COM3 fastflush 1 (want 0), COM3 txmode 0 (want 1), COM3 fifo on (want off)\n");
    EXPECT_EQ(OnMachine({"check", "--match", "position", "--json", backup}).out,
              OnMachine({"import", "--match", "position", "--dry-run", "--json", backup}).out);
    const ToolRun json = OnMachine({"import", "--match", "position", "--json", backup});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(Json::parse(json.out)["ports"]["COM4"]["entry"], "COM3");
    const ToolRun compliant = OnMachine(check);
    EXPECT_EQ(compliant.status, 0) << compliant.err;
    EXPECT_EQ(compliant.out, "compliant: 20 options on 6 ports\n");
    // Every port has the options of the port at its place on the demo machine.
    const Json moved = Listing();
    for (const Json& port : moved) {
        const std::string name = port["port"];
        const std::string was = Replaced(name, {{"COM3", "x"},
                                                {"COM4", "COM3"},
                                                {"x", "COM4"},
                                                {"COM8", "y"},
                                                {"COM9", "COM8"},
                                                {"y", "COM9"}});
        for (const char* option : {"interface", "fastflush", "txmode", "fifo"}) {
            const Json expected = std::find_if(demo.begin(), demo.end(), [&](const Json& p) {
                                      return p["port"] == was;
                                  }).value()[option];
            EXPECT_EQ(port[option], expected) << name << " " << option;
        }
    }

    // With a second adapter of the model present, the file's instance ID
    // picks one; when it names neither, nothing is changed.
    Json machine = Json::parse(ReadFile(Machine()));
    const std::vector<std::pair<std::string, std::string>> second = {
        {"KB4P0777", "KB4P0888"},  {"(COM3)", "(COM13)"},     {"(COM4)", "(COM14)"},
        {"(COM5)", "(COM15)"},     {"(COM6)", "(COM16)"},     {"\"COM3\"", "\"COM13\""},
        {"\"COM4\"", "\"COM14\""}, {"\"COM5\"", "\"COM15\""}, {"\"COM6\"", "\"COM16\""}};
    Json added = Json::array();
    for (const Json& device : machine["devices"]) {
        if (device.dump().find("KB4P0777") != std::string::npos) {
            added.push_back(Json::parse(Replaced(device.dump(), second)));
        }
    }
    for (const Json& device : added) machine["devices"].push_back(device);
    const Json registry = machine["registry"];
    for (const auto& [key, values] : registry.items()) {
        if (key.find("KB4P0777") != std::string::npos) {
            machine["registry"][Replaced(key, second)] =
                Json::parse(Replaced(values.dump(), second));
        }
    }
    // Instance IDs compare in either case, as Windows compares them.
    const std::string lowered = File("lowered.json").string();
    WriteFile(lowered, Replaced(ReadFile(backup), {{R"(USB\\VID_1A2B&PID_2044\\KB4P0001)",
                                                    R"(usb\\vid_1a2b&pid_2044\\kb4p0001)"}}));
    ASSERT_NE(ReadFile(lowered), ReadFile(backup));
    const struct {
        std::string serial;  // of the first adapter here
        std::string file;
        bool named;
    } variants[] = {
        {"KB4P0001", backup, true}, {"KB4P0001", lowered, true}, {"KB4P0777", backup, false}};
    for (const auto& [serial, file, named] : variants) {
        SCOPED_TRACE(serial + " " + file);
        WriteFile(Machine(), Replaced(machine.dump(), {{"KB4P0777", serial}}));
        const std::string before = ReadFile(Machine());
        const ToolRun run = OnMachine({"import", "--match", "position", "--dry-run", file});
        if (named) {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_NE(run.out.find("COM3 goes to COM4\n"), std::string::npos) << run.out;
            continue;
        }
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(
            run.err.find("3 entries cannot be matched by position, so nothing is changed:\n"
                         "  ports.COM3: ambiguous: 2 1A2B:2044 adapters here "
                         "(USB\\VID_1A2B&PID_2044\\KB4P0777, USB\\VID_1A2B&PID_2044\\KB4P0888), "
                         "none of them USB\\VID_1A2B&PID_2044\\KB4P0001\n  ports.COM4: "),
            std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("ports.COM7"), std::string::npos) << run.err;
        EXPECT_EQ(ReadFile(Machine()), before);
    }
}

// COM256, the last COM number the calls take, for every command.
TEST_F(PortctlCli, Com256IsAPortForEveryCommand) {
    Rewrite({{"COM8", "COM256"}});
    ASSERT_EQ(OnMachine({"set", "COM256", "interface", "1"}).status, 0);
    EXPECT_EQ(Listing().back()["port"], "COM256");
    EXPECT_EQ(OnMachine({"get", "256", "interface"}).out, "1\n");
    const std::string backup = File("backup.json").string();
    ASSERT_EQ(OnMachine({"export", backup}).status, 0);
    EXPECT_EQ(Json::parse(ReadFile(backup))["ports"]["COM256"]["interface"], 1);
    ASSERT_EQ(OnMachine({"set", "com256", "interface", "3"}).status, 0);
    const ToolRun restore = OnMachine({"import", backup});
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_NE(restore.out.find("COM256 interface: applied (3 -> 1)"), std::string::npos)
        << restore.out;
}

// When the lister cannot build its device list, standard output stays
// valid JSON and the tool says on standard error that the listing failed,
// with the platform's code; an export to a file never replaces the file
// then, nor when writing it fails part way.
TEST_F(PortctlCli, FailedListingOrWriteLeavesOutputValidAndFilesWhole) {
    const std::string backup = File("backup.json").string();
    WriteFile(backup, "the old backup");
    const std::string noDeviceList = "PORTCTL_SIM_FAULTS=SetupDiGetClassDevsW:1";
    // A file-size limit makes a write fail part way, also for root.
    const std::string smallFiles = "trap '' XFSZ; ulimit -f 1;";
    const struct {
        std::string before;
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {noDeviceList, {"list", "--json"}, 1, "[]\n", "portctl: the ports cannot be listed"},
        {noDeviceList,
         {"export", "-"},
         1,
         "{\n  \"portctl\": 1,\n  \"ports\": {}\n}\n",
         "cannot be listed"},
        {noDeviceList, {"export", backup}, 1, "", "cannot be listed"},
        {noDeviceList, {"get", "COM3"}, 1, "", "cannot be listed"},
        {smallFiles, {"export", backup}, 2, "", "backup.json: cannot be written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + " " + c.args.back());
        const ToolRun run = OnMachine(c.args, c.before);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        if (c.before == noDeviceList) {
            // The simulator fails the call with ERROR_GEN_FAILURE.
            EXPECT_EQ(run.err,
                      "portctl: the ports cannot be listed: the lister could not build "
                      "its device list (error 31)\n");
        }
        EXPECT_EQ(ReadFile(backup), "the old backup");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4)
            << "a temporary file is left";
    }
}

// The refusal says that administrator rights are needed only when the
// store could not be written and the tool is not running elevated.
TEST_F(PortctlCli, RefusalNamesMissingRightsOnlyWhenTheyAreWhy) {
    const std::string machine = ReadFile(Machine());
    const std::string notElevated =
        machine.substr(0, machine.rfind('}')) + ",\n  \"elevated\": false\n}\n";
    const std::string writeFails = "PORTCTL_SIM_FAULTS=RegSetValueExA:1";
    const std::string rights =
        "administrator rights are needed (run portctl from an elevated prompt)";
    const struct {
        bool elevated;
        std::string before;
        std::vector<std::string> args;
        bool saysRights;
    } cases[] = {
        // Per-port values and shared tables read, but cannot be written.
        {false, "", {"set", "COM8", "interface", "3"}, true},
        {false, "", {"set", "COM3", "txmode", "1"}, true},
        {true, writeFails, {"set", "COM8", "interface", "3"}, false},
        // Nothing stored to change: the change fails on reading.
        {false, "", {"set", "COM6", "fastflush", "1"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + (c.elevated ? " elevated" : " not elevated"));
        WriteFile(Machine(), c.elevated ? machine : notElevated);
        const ToolRun run = OnMachine(c.args, c.before);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("the stored setting could not be read or written"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find(rights) != std::string::npos, c.saysRights) << run.err;
    }
    WriteFile(File("com8.json"), R"({"portctl": 1, "ports": {"COM8": {"interface": 1}}})");
    WriteFile(Machine(), notElevated);
    const ToolRun imported = OnMachine({"import", File("com8.json").string()});
    EXPECT_EQ(imported.status, 1);
    EXPECT_NE(imported.out.find("COM8 interface: refused: the stored setting could not be read or "
                                "written: " +
                                rights),
              std::string::npos)
        << imported.out;
}

// A replaced adapter whose first two ports came up as COM12 and COM11 gets
// back COM11 and COM12 from the profile, one of them passing a free number,
// and then its options under its new numbers; its fourth port, with nothing
// stored, gets its number back too.  A number that a port outside the
// profile carries is refused for that port alone, which still gets its
// options; a check with --numbers counts each wrong number as drift.
TEST_F(PortctlCli, ImportWithNumbersGivesAReplacedAdapterItsNumbersBack) {
    ASSERT_EQ(OnMachine({"set", "COM3", "number", "11"}).status, 0);
    ASSERT_EQ(OnMachine({"set", "COM4", "number", "12"}).status, 0);
    const std::string backup = File("backup.json").string();
    ASSERT_EQ(OnMachine({"export", backup}).status, 0);
    const Json golden = Listing();
    // The new adapter's ports: COM12, COM11, COM5 and COM14.  The port
    // without an adapter, which no profile carries, came up as COM8, so the
    // tovelser adapter's first port is COM13.  The database holds the new
    // numbers.
    Rewrite({{"KB4P0001", "KB4P0777"},
             {"COM11", "COMx"},
             {"COM12", "COM11"},
             {"COMx", "COM12"},
             {"(COM6)", "(COM14)"},
             {"\"COM6\"", "\"COM14\""},
             {"(COM8)", "(COM13)"},
             {"\"COM8\"", "\"COM13\""},
             {"(COM1)", "(COM8)"},
             {"\"COM1\"", "\"COM8\""},
             {"\"f1 0f 00", "\"d0 3f 00"}});
    const std::vector<std::string> check = {"check", "--match", "position", "--numbers", backup};
    const ToolRun drift = OnMachine(check);
    EXPECT_EQ(drift.status, 1);
    EXPECT_EQ(drift.out.rfind("drift: COM14 number 14 (want 6), COM13 number 13 (want 8), "
                              "COM12 number 12 (want 11), COM12 interface 1 (want 0), ",
                              0),
              0u)
        << drift.out;
    EXPECT_EQ(drift.err, "");

    const std::string before = ReadFile(Machine());
    const ToolRun plan =
        OnMachine({"import", "--match", "position", "--numbers", "--dry-run", backup});
    for (const char* lines :
         {"COM11 goes to COM12\nCOM12 number: would apply (12 -> 11)\n"
          "COM12 interface: would apply (1 -> 0)\n",
          "COM12 goes to COM11\nCOM11 number: would apply (11 -> 1 -> 12)\n",
          "COM6 goes to COM14\nCOM14 number: would apply (14 -> 6)\n",
          "COM8 goes to COM13\nCOM13 number: refused: COM8 is carried by another present port, "
          "which the profile does not renumber\nCOM13 interface: unchanged (2)\n",
          "COM5 number: unchanged (5)\n"}) {
        EXPECT_EQ(Count(plan.out, lines), 1) << lines << plan.out;
    }
    EXPECT_EQ(ReadFile(Machine()), before);

    const ToolRun imported =
        OnMachine({"import", "--match", "position", "--numbers", "--json", backup});
    EXPECT_EQ(imported.status, 1);
    EXPECT_EQ(imported.err, "portctl: 1 setting or number refused\n");
    const Json report = Json::parse(imported.out);
    EXPECT_EQ(report["renumberings"], Json::parse(R"([{"port": "COM14", "from": 14, "to": 6},
        {"port": "COM11", "from": 11, "to": 1}, {"port": "COM12", "from": 12, "to": 11},
        {"port": "COM11", "from": 1, "to": 12}])"));
    EXPECT_EQ(report["ports"]["COM11"]["number"],
              (Json{{"result", "applied"}, {"from", 11}, {"to", 12}, {"through", 1}}));
    EXPECT_EQ(report["ports"]["COM12"]["options"]["interface"],
              (Json{{"result", "applied"}, {"from", 1}, {"to", 0}}));
    // Every port as on the golden machine, but the tovelser adapter's first,
    // which stays COM13 with its option, and the port without an adapter.
    const auto byName = [](const Json& listing) {
        std::map<std::string, Json> ports;
        for (const Json& port : listing) ports[port["port"]] = port;
        return ports;
    };
    std::map<std::string, Json> now = byName(Listing());
    for (const auto& [name, port] : byName(golden)) {
        if (name == "COM1" || name == "COM8") continue;
        SCOPED_TRACE(name);
        ASSERT_EQ(now.count(name), 1u);
        for (const char* key : {"position", "interface", "fastflush", "txmode", "fifo"}) {
            EXPECT_EQ(now[name][key], port[key]) << key;
        }
    }
    EXPECT_EQ(now["COM13"]["position"], 1);
    EXPECT_EQ(now["COM13"]["interface"], 2);
    EXPECT_TRUE(now["COM8"]["adapter"].is_null());
    EXPECT_EQ(OnMachine(check).out, "drift: COM13 number 13 (want 8)\n");
    EXPECT_EQ(OnMachine({"check", "--match", "position", backup}).out,
              "compliant: 20 options on 6 ports\n");

    const ToolRun usage = OnMachine({"import", "--numbers", backup});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("--numbers needs --match position"), std::string::npos) << usage.err;
}

}  // namespace

// A port's COM number: a number the COM port database holds for no present
// port shows in list and get; set refuses it, and takes it with --force,
// after the options given with it; the port then answers as COM12, with
// its options, and COM7 is gone.
TEST_F(PortctlCli, SetNumberRenumbersThePortAndListShowsNumbersOnlyTheDatabaseHolds) {
    Rewrite({{"\"fd 03 00", "\"fd 0b 00"}});  // COM12 held too
    const std::string held = "COM12: held in the COM port database, but no present port";
    EXPECT_EQ(Count(OnMachine({"list"}).out, held), 1);
    const ToolRun unknown = OnMachine({"get", "COM12"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(Count(unknown.err, held), 1) << unknown.err;

    const ToolRun refused = OnMachine({"set", "COM7", "number", "12"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_EQ(OnMachine({"set", "COM7", "number", "COM4", "--force"}).status, 1)
        << "a number a present port carries is never forced";

    const ToolRun renumbered =
        OnMachine({"set", "COM7", "txmode", "1", "number", "12", "--force"});
    EXPECT_EQ(renumbered.status, 0) << renumbered.err;
    EXPECT_EQ(renumbered.out, "COM7 txmode: 0 -> 1\nCOM7 number: 7 -> 12\n");
    EXPECT_EQ(OnMachine({"get", "12", "txmode"}).out, "1\n");
    EXPECT_EQ(OnMachine({"get", "12", "interface"}).out, "3\n");
    EXPECT_EQ(OnMachine({"get", "COM7"}).status, 2);
    EXPECT_EQ(Count(OnMachine({"list"}).out, "COM port database"), 0);
}
