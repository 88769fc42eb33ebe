// The profile engine's C interface on the demo machine: the fault and its
// place for each kind of bad profile, the callback asked before each
// change, the caller's buffer, and the codes of its failures.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "portopt.h"
#include "portprofile.h"
#include "simwin/machine.h"
#include "simwin/machine_file.h"
#include "simwin/win32.h"

namespace {

using Json = nlohmann::json;

// The demo machine's COM3 is at position 1 of a four-port adapter, with
// interface 0; COM8 is a tovelser port without a transmit mode.
const char kCom3[] = R"("COM3": {"adapter": {"id": "USB\\VID_1A2B&PID_2044\\KB4P0001", )"
                     R"("vendor": 6699, "product": 8260}, "position": 1, "interface": 3})";

std::string Profile(const std::string& ports) {
    return R"({"portctl": 1, "ports": {)" + ports + "}}";
}

struct Answer {
    int done = 0;
    unsigned long error = 0;
    std::string text;
    PoProfileOutcome outcome{};
};

template <typename Call>
Answer Ask(Call call) {
    Answer answer;
    answer.outcome.size = sizeof answer.outcome;
    std::vector<char> text(1 << 16, '\x7f');
    int needed = -1;
    SetLastError(0);
    answer.done = call(text.data(), static_cast<int>(text.size()), &needed, &answer.outcome);
    answer.error = answer.done ? 0 : GetLastError();
    if (needed > 0) answer.text.assign(text.data(), std::size_t(needed) - 1);
    return answer;
}

Answer Check(const std::string& profile, int match = PO_MATCH_NUMBER) {
    return Ask([&](char* text, int capacity, int* needed, PoProfileOutcome*) {
        return PoProfileCheck(profile.c_str(), match, text, capacity, needed);
    });
}

class ProfileEngine : public testing::Test {
protected:
    void SetUp() override {
        char error[256];
        ASSERT_EQ(simwin_load_demo_machine(error, sizeof error), 0) << error;
    }
};

// Each fault of a profile with its place, as portctl reports it after the
// file's name.
TEST_F(ProfileEngine, NamesEachFaultWithItsPlace) {
    const std::string deep = std::string(400000, '[') + std::string(400000, ']');
    const struct {
        std::string profile;
        int match;
        std::string fault;  // its start
    } cases[] = {
        {"{\"portctl\": 1, \"ports\": {\"COM3\": {\"txmode\": 1,}}}", PO_MATCH_NUMBER,
         "malformed JSON: parse error at line 1"},
        {R"({"portctl": 1e999, "ports": {}})", PO_MATCH_NUMBER, "malformed JSON: number overflow"},
        {R"([1])", PO_MATCH_NUMBER, "the file: not a JSON object"},
        {R"({"portctl": 1, "ports": {}, "x": 1})", PO_MATCH_NUMBER,
         "x: unknown key (expected portctl, ports)"},
        {R"({"ports": {}})", PO_MATCH_NUMBER, "portctl: missing"},
        {R"({"portctl": 2, "ports": {}})", PO_MATCH_NUMBER,
         "portctl: version 2 is not supported (expected 1)"},
        {R"({"portctl": )" + deep + "}", PO_MATCH_NUMBER,
         "portctl: version [...] is not supported"},
        {R"({"portctl": 1, "ports": []})", PO_MATCH_NUMBER, "ports: not an object of ports"},
        {Profile(R"("COM3": {"txmode": 1}, "COM4": {"speed": 1})"), PO_MATCH_NUMBER,
         "ports.COM4.speed: unknown option (options: interface, fastflush, txmode, fifo)"},
        {Profile(R"("COM3": {"txmode": 0}, "COM4": {"interface": 4})"), PO_MATCH_NUMBER,
         "ports.COM4.interface: value 4 out of range (0 to 3)"},
        {Profile(R"("COM3": {"fifo": true, "interface": true})"), PO_MATCH_NUMBER,
         "ports.COM3.interface: value true out of range"},
        {Profile(R"("COM4": {"txmode": false})"), PO_MATCH_NUMBER,
         "ports.COM4.txmode: value false out of range"},
        {Profile(R"("COM3": {"txmode": )" + deep + "}"), PO_MATCH_NUMBER,
         "ports.COM3.txmode: value [...] out of range"},
        {Profile(R"("serial": {})"), PO_MATCH_NUMBER, "ports.serial: not a port name (COMn)"},
        {Profile(R"("COM3": {"txmode": 0}, "COM2": {"txmode": 1})"), PO_MATCH_NUMBER,
         "ports.COM2: no such port on this machine"},
        {Profile(R"("COM3": {"txmode": 0}, "3": {"txmode": 1})"), PO_MATCH_NUMBER,
         "ports.3: COM3 is given twice"},
        {Profile(R"("COM3": {"adapter": {"vendor": 6699}, "txmode": 0})"), PO_MATCH_NUMBER,
         "ports.COM3.adapter.product: missing"},
        {Profile(R"("COM3": {"adapter": {"vendor": 6699, "product": 8260, "bus": 1}})"),
         PO_MATCH_NUMBER, "ports.COM3.adapter.bus: unknown key (expected id, vendor, product)"},
        {Profile(R"("COM3": {"position": 0})"), PO_MATCH_NUMBER,
         "ports.COM3.position: value 0 is not a number from 1 to 9999"},
        // Entries that cannot be matched by position are named together.
        {Profile(R"("COM3": {"txmode": 0}, "3": {"txmode": 1})"), PO_MATCH_POSITION,
         "2 entries cannot be matched by position, so nothing is changed:\n"
         "  ports.COM3: names no adapter (its export has none)\n"
         "  ports.3: names no adapter (its export has none)"},
        {Profile(std::string(kCom3) + R"(, "COM4": {"adapter": {"vendor": 1, "product": 2}, )"
                                      R"("position": 1, "txmode": 0})"),
         PO_MATCH_POSITION,
         "1 entry cannot be matched by position, so nothing is changed:\n"
         "  ports.COM4: no port at position 1 of a 0001:0002 adapter here"},
        // With the ports' numbers, a number no port can carry, or given twice.
        {Profile(R"("COM300": {"adapter": {"vendor": 6699, "product": 8225}})"),
         PO_MATCH_POSITION | PO_MATCH_NUMBERS, "ports.COM300: no port can be given COM300"},
        {Profile(std::string(kCom3) + R"(, "3": {"adapter": {"vendor": 6699, "product": 8225}})"),
         PO_MATCH_POSITION | PO_MATCH_NUMBERS, "ports.3: COM3 is also given by ports.COM3"},
    };
    const std::string before = Json::parse(simwin_demo_machine_json()).dump();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile.substr(0, 120));
        const Answer check = Check(c.profile, c.match);
        EXPECT_EQ(check.done, 0);
        EXPECT_EQ(check.error, unsigned(ERROR_INVALID_DATA));
        EXPECT_EQ(check.text.rfind(c.fault, 0), 0u) << check.text;
        // An import refuses it with the same fault, changing nothing.
        const Answer import = Ask([&](char* text, int capacity, int* needed, PoProfileOutcome* o) {
            return PoProfileImport(c.profile.c_str(), c.match, PO_REPORT_JSON, nullptr, nullptr,
                                   text, capacity, needed, o);
        });
        EXPECT_EQ(import.error, unsigned(ERROR_INVALID_DATA));
        EXPECT_EQ(import.text, check.text);
        EXPECT_EQ(import.outcome.changed, 0);
    }
    std::vector<char> machine(simwin_machine_json(nullptr, 0) + 1);
    simwin_machine_json(machine.data(), machine.size());
    EXPECT_EQ(Json::parse(machine.data()).dump(), before);
    // A test keeps a port missing by COM number, as "absent".
    const std::string missing = Profile(R"("COM2": {"txmode": 1})");
    EXPECT_EQ(Check(missing).error, unsigned(ERROR_INVALID_DATA));
    const Answer test = Ask([&](char* text, int capacity, int* needed, PoProfileOutcome* o) {
        return PoProfileTest(missing.c_str(), PO_MATCH_NUMBER, PO_REPORT_LINE, text, capacity,
                             needed, o);
    });
    EXPECT_EQ(test.done, 1);
    EXPECT_EQ(test.text, "drift: COM2 absent\n");
    EXPECT_EQ(test.outcome.differing, 1);
    // An entry with no option gives only its number: without the numbers
    // it is passed over, whether its port is here or not.
    const std::string placeOnly =
        Profile(R"("COM2": {"adapter": {"vendor": 1, "product": 2}, "position": 1})");
    for (int match : {PO_MATCH_NUMBER, PO_MATCH_POSITION}) EXPECT_EQ(Check(placeOnly, match).done, 1);
    EXPECT_EQ(Check(placeOnly, PO_MATCH_POSITION | PO_MATCH_NUMBERS).error,
              unsigned(ERROR_INVALID_DATA));
}

// The callback sees each change before it is made; what it declines stays
// as it was and is reported as a plan reports it.
TEST_F(ProfileEngine, ImportAsksBeforeEachChange) {
    const std::string profile =
        Profile(R"("COM3": {"interface": 3, "fastflush": 1}, "COM4": {"interface": 2})");
    struct Asked {
        std::vector<std::string> changes;
    } asked;
    const PoProfileConfirm confirm = [](const char* change, void* context) {
        auto& seen = static_cast<Asked*>(context)->changes;
        seen.push_back(change);
        return Json::parse(change)["port"] == "COM3" ? 1 : 0;
    };
    const Answer import = Ask([&](char* text, int capacity, int* needed, PoProfileOutcome* o) {
        return PoProfileImport(profile.c_str(), PO_MATCH_NUMBER, PO_REPORT_LINES, confirm, &asked,
                               text, capacity, needed, o);
    });
    EXPECT_EQ(import.done, 1) << import.error;
    EXPECT_EQ(import.text,
              "COM3 interface: applied (0 -> 3)\n"
              "COM3 fastflush: unchanged (1)\n"
              "COM4 interface: would apply (1 -> 2)\n");
    EXPECT_EQ(asked.changes,
              (std::vector<std::string>{
                  R"({"port":"COM3","entry":"COM3","option":"interface","from":0,"to":3})",
                  R"({"port":"COM4","entry":"COM4","option":"interface","from":1,"to":2})"}));
    EXPECT_EQ(import.outcome.options, 3);
    EXPECT_EQ(import.outcome.differing, 1);
    EXPECT_EQ(import.outcome.changed, 1);
    EXPECT_EQ(import.outcome.refused, 0);
    EXPECT_EQ(PoGetInterface(3), 3);
    EXPECT_EQ(PoGetInterface(4), 1);
}

// The caller's buffer, the arguments, and a machine whose ports cannot be
// listed.
TEST_F(ProfileEngine, AnswersEachFailureWithItsCode) {
    const std::string profile = Profile(R"("COM3": {"interface": 3})");
    // An import whose report might not fit changes nothing.
    int needed = 0;
    char small[8] = "kept";
    SetLastError(0);
    EXPECT_EQ(PoProfileImport(profile.c_str(), PO_MATCH_NUMBER, PO_REPORT_JSON, nullptr, nullptr,
                              small, sizeof small, &needed, nullptr),
              0);
    EXPECT_EQ(GetLastError(), unsigned(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(needed, int(sizeof small));
    EXPECT_STREQ(small, "kept");
    EXPECT_EQ(PoGetInterface(3), 0);
    std::vector<char> enough(static_cast<std::size_t>(needed));
    EXPECT_EQ(PoProfileImport(profile.c_str(), PO_MATCH_NUMBER, PO_REPORT_JSON, nullptr, nullptr,
                              enough.data(), needed, &needed, nullptr),
              1);
    EXPECT_EQ(Json::parse(enough.data())["changed"], true);
    EXPECT_EQ(PoGetInterface(3), 3);
    // The size alone.
    EXPECT_EQ(PoProfileExport(nullptr, 0, &needed, nullptr), 0);
    EXPECT_EQ(GetLastError(), unsigned(ERROR_INSUFFICIENT_BUFFER));
    const Answer exported = Ask([](char* text, int capacity, int* n, PoProfileOutcome* o) {
        return PoProfileExport(text, capacity, n, o);
    });
    EXPECT_EQ(int(exported.text.size()) + 1, needed);

    PoProfileOutcome wrongSize{};
    wrongSize.size = sizeof wrongSize - 1;
    const struct {
        const char* what;
        int done;
    } invalid[] = {
        {"no profile", PoProfileCheck(nullptr, PO_MATCH_NUMBER, nullptr, 0, &needed)},
        {"no needed", PoProfileCheck(profile.c_str(), PO_MATCH_NUMBER, nullptr, 0, nullptr)},
        {"no buffer", PoProfileExport(nullptr, 4, &needed, nullptr)},
        {"negative", PoProfileExport(small, -1, &needed, nullptr)},
        {"match", PoProfileCheck(profile.c_str(), 2, nullptr, 0, &needed)},
        {"form", PoProfilePlan(profile.c_str(), 0, 3, nullptr, 0, &needed, nullptr)},
        {"outcome", PoProfileTest(profile.c_str(), 0, 0, nullptr, 0, &needed, &wrongSize)},
    };
    for (const auto& c : invalid) {
        EXPECT_EQ(c.done, 0) << c.what;
    }
    SetLastError(0);
    PoProfileCheck(nullptr, PO_MATCH_NUMBER, nullptr, 0, &needed);
    EXPECT_EQ(GetLastError(), unsigned(ERROR_INVALID_PARAMETER));

    simwin::FailAt("SetupDiGetClassDevsW", 1);
    const Answer unlisted = Ask([&](char* text, int capacity, int* n, PoProfileOutcome* o) {
        return PoProfileTest(profile.c_str(), PO_MATCH_NUMBER, PO_REPORT_LINE, text, capacity, n,
                             o);
    });
    EXPECT_EQ(unlisted.error, PO_PROFILE_NOT_LISTED);
    EXPECT_EQ(unlisted.text, "not checked: " + std::string(unlisted.outcome.unlisted) + "\n");
    EXPECT_EQ(std::string(unlisted.outcome.unlisted).rfind("the ports cannot be listed", 0), 0u);
}

// Matching by position with the ports' numbers: a number only the database
// holds and one a port outside the profile carries are refused for their
// ports alone; two ports swap through a free number; and when a
// renumbering fails midway, the one made is put back.  The numbers alone,
// or with matching by number, are an unknown match.
TEST_F(ProfileEngine, NumbersAreRefusedSwappedAndPutBackWhole) {
    simwin::SetComDbNumbers({1, 3, 4, 5, 6, 7, 8, 9, 10, 12});
    const std::string profile = Profile(
        R"("COM4": {"adapter": {"vendor": 6699, "product": 8260}, "position": 1, "interface": 0},
           "COM3": {"adapter": {"vendor": 6699, "product": 8260}, "position": 2},
           "COM12": {"adapter": {"vendor": 6699, "product": 8225}, "interface": 3},
           "COM5": {"adapter": {"vendor": 6699, "product": 8241}, "fastflush": 1})");
    const int match = PO_MATCH_POSITION | PO_MATCH_NUMBERS;
    const auto run = [&](bool import, int form) {
        return Ask([&](char* text, int capacity, int* needed, PoProfileOutcome* o) {
            return import ? PoProfileImport(profile.c_str(), match, form, nullptr, nullptr, text,
                                            capacity, needed, o)
                          : PoProfilePlan(profile.c_str(), match, form, text, capacity, needed, o);
        });
    };
    const Answer plan = run(false, PO_REPORT_LINES);
    EXPECT_EQ(plan.done, 1) << plan.error;
    EXPECT_EQ(plan.text,
              "COM4 goes to COM3\nCOM3 number: would apply (3 -> 2 -> 4)\n"
              "COM3 interface: unchanged (0)\n"
              "COM3 goes to COM4\nCOM4 number: would apply (4 -> 3)\n"
              "COM12 goes to COM7\nCOM7 number: refused: COM12 is held in the COM port database "
              "by no present port (left by a removed device; only a forced renumbering takes it)\n"
              "COM7 interface: unchanged (3)\n"
              "COM5 goes to COM10\nCOM10 number: refused: COM5 is carried by another present "
              "port, which the profile does not renumber\n"
              "COM10 fastflush: would apply (0 -> 1)\n");
    EXPECT_EQ(plan.outcome.differing, 3);
    EXPECT_EQ(plan.outcome.refused, 2);

    const auto machine = [] {
        std::vector<char> text(simwin_machine_json(nullptr, 0) + 1);
        simwin_machine_json(text.data(), text.size());
        return Json::parse(text.data())["registry"];
    };
    const Json before = machine();
    // The second renumbering (COM4 to COM3) cannot claim its number.
    simwin::FailAt("ComDBClaimPort", 2);
    const Answer failed = run(true, PO_REPORT_JSON);
    simwin::ClearFaults();
    EXPECT_EQ(failed.done, 1) << failed.error;
    const Json report = Json::parse(failed.text);
    EXPECT_EQ(report["ports"]["COM3"]["number"]["reason"],
              "put back, as the renumbering of COM4 failed");
    EXPECT_EQ(report["ports"]["COM4"]["number"]["result"], "refused");
    EXPECT_EQ(report["ports"]["COM10"]["options"]["fastflush"]["result"], "applied");
    EXPECT_EQ(failed.outcome.refused, 4);
    EXPECT_EQ(PoSetFastFlush(10, 0), 1);
    EXPECT_EQ(machine(), before);

    const Answer swapped = run(true, PO_REPORT_LINES);
    EXPECT_EQ(swapped.outcome.refused, 2);
    EXPECT_NE(swapped.text.find("COM3 number: applied (3 -> 2 -> 4)\nCOM3 interface: unchanged "
                                "(0)\nCOM3 goes to COM4\nCOM4 number: applied (4 -> 3)\n"),
              std::string::npos)
        << swapped.text;
    EXPECT_EQ(simwin::ComDbNumbers(), (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 12}));
    EXPECT_EQ(PoGetInterface(4), 0);  // the adapter's first port, now COM4
    EXPECT_EQ(PoGetInterface(3), 1);

    int needed = 0;
    for (int unknown : {PO_MATCH_NUMBERS, PO_MATCH_NUMBER | PO_MATCH_NUMBERS, match | 0x20}) {
        SetLastError(0);
        EXPECT_EQ(PoProfileCheck(profile.c_str(), unknown, nullptr, 0, &needed), 0);
        EXPECT_EQ(GetLastError(), unsigned(ERROR_INVALID_PARAMETER));
    }
}

}  // namespace
