// portctl run as a user runs it, on machine files of the simulated
// Windows: each command on the demo machine, bad input of every kind
// (exit 2, a message naming the fault, the machine file untouched), and an
// export/import round trip.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

    // Runs the tool with `args` (each passed as one word, no shell).
    ToolRun Tool(const std::vector<std::string>& args) const {
        std::string command = "'" PORTCTL_PATH "'";
        for (const std::string& arg : args) command += " '" + arg + "'";
        const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
        command += " >'" + out.string() + "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
    }

    ToolRun OnMachine(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--machine", Machine().string()});
        return Tool(args);
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
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM3", "COM4", "COM5", "COM6", "COM7",
                                                "COM8", "COM9"}));
    for (const Json& port : ports) {
        std::vector<std::string> keys;
        for (const auto& item : port.items()) keys.push_back(item.key());
        EXPECT_EQ(keys, (std::vector<std::string>{"adapter", "fastflush", "fifo", "interface",
                                                   "number", "port", "position", "txmode"}));
    }
    // No adapter; a KARBEND port with translated and missing values; the
    // PCI port; a tovelser port without the other three options.
    EXPECT_EQ(ports[0]["adapter"], nullptr);
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

    const ToolRun table = OnMachine({"list"});
    EXPECT_NE(table.out.find("n/a"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("USB 1A2B:1131"), std::string::npos) << table.out;

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
        {{"set", "COM4", "txmode", "0", "fifo", "on"}, 0, "COM4 txmode: 1 -> 0\nCOM4 fifo: off -> on\n", ""},
        // The tovelser family has no transmit mode; its interface change stands.
        {{"set", "COM8", "interface", "3", "txmode", "1"}, 1, "COM8 interface: 2 -> 3\n",
         "COM8 txmode not changed: the adapter could not be reached or refused the change "
         "(the adapter's family has no txmode)\nportctl: applied before it: interface"},
        // Nothing stored for COM6: a change needs the old value.
        {{"set", "6", "fastflush", "on"}, 1, "",
         "COM6 fastflush not changed: the stored setting could not be read or written\n"
         "portctl: no change was applied before it"},
    };
    for (const auto& c : cases) {
        const ToolRun run = OnMachine(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[1] << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    // Every change that was applied is in the machine file.
    const Json ports = Listing();
    EXPECT_EQ(ports[2]["txmode"], 0);
    EXPECT_EQ(ports[6]["interface"], 3);

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
}

TEST_F(PortctlCli, BadInputIsRefusedWholeWithExitTwo) {
    WriteFile(File("malformed.json"), "{\"portctl\": 1, \"ports\": {\"COM3\": {\"txmode\": 1,}}}");
    WriteFile(File("version.json"), R"({"portctl": 2, "ports": {}})");
    WriteFile(File("overflow.json"), R"({"portctl": 1e999, "ports": {}})");
    WriteFile(File("option.json"), R"({"portctl": 1, "ports": {"COM3": {"txmode": 1}, "COM4": {"speed": 1}}})");
    WriteFile(File("range.json"), R"({"portctl": 1, "ports": {"COM3": {"txmode": 0}, "COM4": {"interface": 4}}})");
    WriteFile(File("port.json"), R"({"portctl": 1, "ports": {"COM3": {"txmode": 0}, "COM2": {"txmode": 1}}})");
    WriteFile(File("twice.json"), R"({"portctl": 1, "ports": {"COM3": {"txmode": 0}, "3": {"txmode": 1}}})");
    WriteFile(File("bad-machine.json"), "{\"simwin-machine\": 1, \"devices\": [}");
    // Nested far deeper than any stack could print back.
    const std::string deep = std::string(400000, '[') + std::string(400000, ']');
    WriteFile(File("deep-version.json"), R"({"portctl": )" + deep + "}");
    WriteFile(File("deep-value.json"), R"({"portctl": 1, "ports": {"COM3": {"txmode": )" + deep + "}}}");
    const std::string machineBefore = ReadFile(Machine());

    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"frob"}, "frob"},
        {{"get", "COM2"}, "unknown port COM2"},
        {{"get", "serial"}, "'serial' is not a port"},
        {{"get", "COM3", "speed"}, "unknown option 'speed'"},
        {{"set", "COM3", "txmode", "1", "interface", "4"}, "bad value '4' for interface"},
        {{"set", "COM3", "fifo", "yes"}, "bad value 'yes' for fifo"},
        {{"set", "COM3", "txmode"}, "OPTION VALUE pairs"},
        {{"import", File("missing.json").string()}, "missing.json: cannot be read"},
        {{"import", File("malformed.json").string()}, "malformed JSON: parse error at line 1"},
        {{"import", File("version.json").string()}, "portctl: version 2 is not supported"},
        {{"import", File("overflow.json").string()}, "malformed JSON: number overflow"},
        {{"import", File("option.json").string()}, "ports.COM4.speed: unknown option"},
        {{"import", File("range.json").string()}, "ports.COM4.interface: value 4 out of range"},
        {{"import", File("port.json").string()}, "ports.COM2: no such port"},
        {{"import", File("twice.json").string()}, "ports.3: COM3 is given twice"},
        {{"import", File("deep-version.json").string()}, "portctl: version [...] is not supported"},
        {{"import", File("deep-value.json").string()}, "ports.COM3.txmode: value [...] out of range"},
    };
    for (const auto& c : cases) {
        const ToolRun run = OnMachine(c.args);
        EXPECT_EQ(run.status, 2) << c.args[0] << " " << c.args.back();
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << c.args.back();
        EXPECT_EQ(ReadFile(Machine()), machineBefore) << c.args.back();
    }

    const std::string badMachine = ReadFile(File("bad-machine.json"));
    const ToolRun run = Tool({"--machine", File("bad-machine.json").string(), "set", "COM3", "txmode", "1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("bad-machine.json"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(File("bad-machine.json")), badMachine);
}

TEST_F(PortctlCli, ImportOfAnExportRestoresTheMachine) {
    const std::string backup = File("backup.json").string();
    ASSERT_EQ(OnMachine({"export", backup}).status, 0);
    const Json exported = Json::parse(ReadFile(backup));
    EXPECT_EQ(exported["portctl"], 1);
    EXPECT_EQ(exported["ports"]["COM8"], (Json{{"interface", 2}}));  // no options it lacks
    EXPECT_FALSE(exported["ports"]["COM5"].contains("txmode"));      // not stored
    EXPECT_FALSE(exported["ports"].contains("COM6"));                 // nothing stored
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
    EXPECT_NE(restore.out.find("COM8 interface: applied (1 -> 2)"), std::string::npos) << restore.out;
    EXPECT_NE(restore.out.find("COM3 fifo: unchanged (on)"), std::string::npos) << restore.out;
    EXPECT_EQ(Listing(), before);
}

}  // namespace
