// The machine file: a malformed document names its fault's place and
// leaves the machine alone, odd machines survive a write and a read, and a
// failed save leaves the old file whole.
#include "simwin/machine_file.h"

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim_test.h"

namespace {

namespace fs = std::filesystem;

std::string MachineJson() {
    std::string text(simwin_machine_json(nullptr, 0), '\0');
    simwin_machine_json(text.data(), text.size() + 1);
    return text;
}

// The document without the writer's line breaks and indentation.
std::string Compact(const std::string& json) {
    std::string out;
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json[i] != '\n') {
            out += json[i];
            continue;
        }
        while (i + 1 < json.size() && json[i + 1] == ' ') ++i;
        if (out.back() != '[' && out.back() != '{' && json[i + 1] != ']' && json[i + 1] != '}')
            out += ' ';
    }
    return out;
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class MachineFile : public SimTest {
protected:
    char error_[512] = "";
};

struct Malformed {
    const char* document;
    const char* place;
};

TEST_F(MachineFile, MalformedDocumentsNameThePlaceAndChangeNothing) {
    const Malformed cases[] = {
        {"{\n  \"simwin-machine\": 1,\n  devices: []}", "line 3, column"},
        {"[1]", "top level: expected an object"},
        {"{\"devices\": []}", "top level: missing \"simwin-machine\""},
        {R"({"simwin-machine": 2})", "/simwin-machine:"},
        {R"({"simwin-machine": 1, "devices": [{"id": "A", "frendlyName": "x"}]})",
         "/devices/0/frendlyName:"},
        {R"({"simwin-machine": 1, "devices": [{"id": "A", "status": "13"}]})",
         "/devices/0/status:"},
        {R"({"simwin-machine": 1, "devices": [{"id": "A"}, {"id": "B"}, {"id": "C", "parent": "D"}]})",
         "/devices/2/parent: unknown parent \"D\""},
        {R"({"simwin-machine": 1, "devices": [{"id": "A"}, {"id": "a"}]})",
         "/devices/1/id: duplicate"},
        {R"({"simwin-machine": 1, "devices": [{"id": "A", "interfaces": ["serial"]}]})",
         "/devices/0/interfaces/0:"},
        {R"({"simwin-machine": 1, "devices": [{"id": "A", "friendlyName": {"hex": "4"}}]})",
         "/devices/0/friendlyName/hex: odd number"},
        {R"({"simwin-machine": 1, "registry": {"K": {"v": {"type": "REG_SZ", "hex": ["00", "0g"]}}}})",
         "/registry/K/v/hex/1: not a hex digit"},
        {R"({"simwin-machine": 1, "registry": {"K": {"v": {"type": "REG_TEXT", "hex": ""}}}})",
         "/registry/K/v/type: unknown registry type"},
        {R"({"simwin-machine": 1, "registry": {"K": {"v": {"type": 3}}}})",
         "/registry/K/v: needs exactly one"},
        {R"({"simwin-machine": 1, "registry": {"K": {"v": 4294967296}}})",
         "/registry/K/v: out of range"},
        {R"({"simwin-machine": 1, "registry": {"K": {"V": 1, "v": 2}}})",
         "/registry/K/v: duplicate value"},
        {R"({"simwin-machine": 1, "registry": {"A\\B": {}, "a\\\\b\\": {}}})",
         "the same key as /registry/A\\B"},
        {R"({"simwin-machine": 1, "registry": {"x/y~": []}})",
         "/registry/x~1y~0: expected an object"},
        {R"({"simwin-machine": 1, "drivers": {"\\\\?\\p": {"rejectAfter": 1}}})",
         "/drivers/\\\\?\\p/rejectAfter: needs"},
        {R"({"simwin-machine": 1, "elevated": 0})", "/elevated: expected true or false"},
    };
    ASSERT_EQ(simwin_load_demo_machine(error_, sizeof error_), 0) << error_;
    const std::string before = MachineJson();
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.document);
        EXPECT_NE(
            simwin_load_machine_json(c.document, std::strlen(c.document), error_, sizeof error_),
            0);
        EXPECT_NE(std::string(error_).find(c.place), std::string::npos) << error_;
        EXPECT_EQ(MachineJson(), before);
    }
    // Deep nesting where a number belongs is refused without recursing.
    const std::string deep =
        R"({"simwin-machine": )" + std::string(200000, '[') + std::string(200000, ']') + "}";
    EXPECT_NE(simwin_load_machine_json(deep.data(), deep.size(), error_, sizeof error_), 0);
    EXPECT_NE(std::string(error_).find("/simwin-machine: expected the number 1"),
              std::string::npos);
    // A short buffer gets a terminated prefix; no buffer at all is allowed.
    char shortError[8];
    EXPECT_NE(simwin_load_machine_json("[", 1, shortError, sizeof shortError), 0);
    EXPECT_EQ(std::string(shortError), "machine");
    EXPECT_NE(simwin_load_machine_json("[", 1, nullptr, 0), 0);
}

TEST_F(MachineFile, OddMachinesReadBackExactly) {
    const GUID other = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
    simwin::AddDevice("USB\\VID_1A2B&PID_1131\\1");
    simwin::AddInterface("USB\\VID_1A2B&PID_1131\\1", kPorts, "\\\\?\\custom#path");
    simwin::AddDevice("X\\Port", "usb\\vid_1a2b&pid_1131\\1");
    simwin::SetFriendlyName("X\\Port", simwin::Bytes{'P', 0xE9, 0, 'C', 'O', 'M', '3'});
    simwin::AddInterface("X\\Port", other, "\\\\?\\X#Port#other");
    simwin::SetPresent("X\\Port", false);
    simwin::SetStatus("X\\Port", 13);
    simwin::AddDevice("Y\\Port");
    simwin::SetFriendlyName("Y\\Port", "caf\xC3\xA9 Port 2 (COM4)");
    simwin::AddInterface("Y\\Port", kComPort,
                         "\\\\?\\Y#Port#{86e0d1e0-8089-11d0-9ce4-08003e301f73}");
    simwin::CreateKey("SOFTWARE\\Empty\\Leaf");
    simwin::SetUnopenable("\\\\?\\custom#path", ERROR_SHARING_VIOLATION);
    simwin::RejectRequests("\\\\?\\Other", ERROR_GEN_FAILURE, 2);
    simwin::SetElevated(false);
    const struct {
        const char* name;
        simwin::RegValue value;
    } values[] = {
        {"", {REG_SZ, simwin::Utf16z("default")}},
        {"a/b~c", {REG_DWORD, simwin::Dword(0xFFFFFFFF)}},
        {"ShortDword", {REG_DWORD, {1, 2, 3}}},
        {"Unterminated", {REG_SZ, {'C', 0, 'O'}}},
        {"LoneSurrogate", {REG_EXPAND_SZ, {0x00, 0xD8, 0, 0}}},
        {"Expand", {REG_EXPAND_SZ, {0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}}},
        {"Multi", {REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}}},
        {"Empty", {REG_BINARY, {}}},
        {"OddType", {0x12345, {0xFF}}},
        {"Table", {REG_BINARY, simwin::Bytes(256, 0xFF)}},
    };
    const std::string key = simwin::HardwareKeyPath("X\\Port");
    for (const auto& v : values) simwin::SetValue(key, v.name, v.value.type, v.value.data);

    // The device settings are in the document (the values are checked
    // after the read below); reading it back then writes the same text.
    const std::string written = MachineJson();
    for (const char* fragment :
         {R"("parent": "usb\\vid_1a2b&pid_1131\\1")", R"("present": false)", R"("status": 13)",
          R"("friendlyName": {"hex": "50 e9 00 43 4f 4d 33"})", "\"caf\xC3\xA9 Port 2 (COM4)\"",
          R"({"class": "{01234567-89AB-CDEF-0102-030405060708}", "path": "\\\\?\\X#Port#other"})",
          R"({"class": "ports", "path": "\\\\?\\custom#path"})", R"(["comport"])",
          R"({"openError": 32})", R"({"rejectError": 31, "rejectAfter": 2})",
          R"("elevated": false)"})
        EXPECT_NE(Compact(written).find(fragment), std::string::npos) << fragment;
    ASSERT_EQ(simwin_load_machine_json(written.data(), written.size(), error_, sizeof error_), 0)
        << error_;
    EXPECT_EQ(MachineJson(), written);
    for (const auto& v : values) {
        auto read = simwin::GetValue(key, v.name);
        ASSERT_TRUE(read) << v.name;
        EXPECT_EQ(read->type, v.value.type) << v.name;
        EXPECT_EQ(read->data, v.value.data) << v.name;
    }
    EXPECT_TRUE(simwin::KeyExists("SOFTWARE\\Empty\\Leaf"));
    EXPECT_FALSE(simwin::Elevated());
    HANDLE h = CreateFileA("\\\\?\\CUSTOM#path", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));

    ASSERT_EQ(simwin_load_demo_machine(error_, sizeof error_), 0) << error_;
    EXPECT_EQ(MachineJson(), simwin_demo_machine_json());
}

TEST_F(MachineFile, FailedSaveLeavesTheOldFileWhole) {
    const fs::path folder = fs::temp_directory_path() / ("simwin-save-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path target = folder / "machine.json";
    ASSERT_EQ(simwin_save_machine_file(target.c_str(), error_, sizeof error_), 0) << error_;
    const std::string old = FileText(target);

    ASSERT_EQ(simwin_load_demo_machine(error_, sizeof error_), 0) << error_;
    // A file-size limit makes the write fail part way, even for root.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1024;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const int failed = simwin_save_machine_file(target.c_str(), error_, sizeof error_);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(failed, 0);
    EXPECT_NE(std::string(error_).find("cannot write"), std::string::npos) << error_;
    EXPECT_EQ(FileText(target), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_NE(
        simwin_save_machine_file((folder / "missing" / "m.json").c_str(), error_, sizeof error_),
        0);

    ASSERT_EQ(simwin_save_machine_file(target.c_str(), error_, sizeof error_), 0) << error_;
    EXPECT_EQ(FileText(target), simwin_demo_machine_json());
    ASSERT_EQ(simwin_load_machine_file(target.c_str(), error_, sizeof error_), 0) << error_;
    EXPECT_EQ(MachineJson(), simwin_demo_machine_json());
    fs::remove_all(folder);
}

}  // namespace
