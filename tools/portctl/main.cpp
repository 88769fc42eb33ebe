// portctl: lists every COM port with its adapter and options, changes
// options with read-back, backs them up to JSON, and checks a machine
// against such a backup.
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "input_error.h"
#ifdef PORTCTL_SIMULATED
#include "simulated_machine.h"
#endif

namespace {

constexpr int kBadInput = 2;
constexpr int kFailed = 1;

struct Arguments {
    bool json = false;
    bool dryRun = false;
    bool force = false;
    bool numbers = false;
    std::string match = "number";
    std::string port;
    std::string option;
    std::vector<std::string> changes;
    std::string file;
    std::string machineFile;
};

// What the command line asked for, once parsed.
struct Commands {
    CLI::App* list;
    CLI::App* get;
    CLI::App* set;
    CLI::App* exportFile;
    CLI::App* importFile;
    CLI::App* check;
    CLI::App* demoMachine;
};

void AddMatchOption(CLI::App& command, Arguments& args) {
    command
        .add_option("--match", args.match,
                    "number: each entry's COM number (the default); position: the port at the "
                    "entry's position on an adapter of the same vendor and product")
        ->check(CLI::IsMember({"number", "position"}));
    command.add_flag("--numbers", args.numbers,
                     "with --match position: each port is also to carry the COM number its "
                     "entry is keyed by (import gives it first)");
}

// The engine's match for the command line's.
int MatchOf(const Arguments& args) {
    if (args.match != "position") {
        if (args.numbers) {
            throw portctl::InputError(
                "--numbers needs --match position (matched by number, every port already "
                "carries its entry's number)");
        }
        return PO_MATCH_NUMBER;
    }
    return PO_MATCH_POSITION | (args.numbers ? PO_MATCH_NUMBERS : 0);
}

Commands Define(CLI::App& app, Arguments& args) {
    app.require_subcommand(1);
    // Options of the main command (--machine) may follow the subcommand.
    app.fallthrough();
    Commands c{};
    c.list = app.add_subcommand("list", "every COM port with its adapter and options");
    c.list->add_flag("--json", args.json, "an array of objects instead of a table");

    c.get = app.add_subcommand("get", "one port, or one option of it");
    c.get->add_option("PORT", args.port, "COM7, com7 or 7")->required();
    c.get->add_option("OPTION", args.option, "interface, fastflush, txmode or fifo");
    c.get->add_flag("--json", args.json, "JSON instead of text");

    c.set = app.add_subcommand("set", "change options, reading each back");
    c.set->add_option("PORT", args.port, "COM7, com7 or 7")->required();
    c.set
        ->add_option("CHANGES", args.changes,
                     "OPTION VALUE ...: interface 0-3, fastflush on/off/1/0, txmode 0/1, "
                     "fifo on/off/1/0, number 1-256 (the port's COM number, changed last)")
        ->required();
    c.set->add_flag("--force", args.force,
                    "with number: take a number that only the COM port database holds (left "
                    "by a removed device)");

    c.exportFile = app.add_subcommand("export", "every port's stored options as JSON");
    c.exportFile->add_option("FILE", args.file, "the file to write, - for standard output")
        ->required();

    c.importFile = app.add_subcommand("import", "set the options an export file holds");
    c.importFile->add_option("FILE", args.file, "the file to read, - for standard input")
        ->required();
    c.importFile->add_flag("--dry-run", args.dryRun, "print the plan, change nothing");
    AddMatchOption(*c.importFile, args);
    c.importFile->add_flag("--json", args.json,
                           "one JSON object: \"changed\", and each option's result");

    c.check = app.add_subcommand(
        "check",
        "whether the options an export file gives already hold (exit 0) or not (1), "
        "in one line; changes nothing");
    c.check->add_option("FILE", args.file, "the file to read, - for standard input")->required();
    AddMatchOption(*c.check, args);
    c.check->add_flag("--json", args.json, "the object import --dry-run --json gives");

#ifdef PORTCTL_SIMULATED
    app.add_option("--machine", args.machineFile,
                   "the simulated machine's JSON file (written back after a change); "
                   "the demo machine without it");
    c.demoMachine = app.add_subcommand("demo-machine", "print the demo machine's JSON");
#endif
    return c;
}

#ifdef PORTCTL_SIMULATED
void PrepareMachine(const Arguments& args) {
    if (args.machineFile.empty()) {
        portctl::LoadDemoMachine();
    } else {
        portctl::LoadMachineFile(args.machineFile);
    }
    portctl::InjectFaults();
}

void KeepChanges(const Arguments& args, const portctl::CommandResult& result) {
    if (!result.changeCalled) return;
    if (args.machineFile.empty()) {
        std::cerr << "portctl: changes to the demo machine are not kept (give --machine FILE)\n";
        return;
    }
    portctl::SaveMachineFile(args.machineFile);
}
#else
void PrepareMachine(const Arguments&) {}
void KeepChanges(const Arguments&, const portctl::CommandResult&) {}
#endif

int Run(const Commands& c, const Arguments& args) {
#ifdef PORTCTL_SIMULATED
    if (*c.demoMachine) {
        std::cout << portctl::DemoMachineJson();
        return 0;
    }
#endif
    PrepareMachine(args);
    if (*c.list) return portctl::ListPorts(args.json);
    if (*c.get) {
        const std::optional<std::string> option =
            args.option.empty() ? std::nullopt : std::optional<std::string>(args.option);
        return portctl::GetPort(args.port, option, args.json);
    }
    if (*c.exportFile) return portctl::ExportOptions(args.file);
    const portctl::CommandResult result =
        *c.set ? portctl::SetOptions(args.port, args.changes, args.force)
               : portctl::ImportOptions(
                     {args.file, args.dryRun, MatchOf(args), args.json, bool(*c.check)});
    KeepChanges(args, result);
    return result.status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "portctl: the COM ports of multi-port serial adapters, their options, and "
        "backups of them"};
    app.name("portctl");
    Arguments args;
    const Commands commands = Define(app, args);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // A word where the command belongs is an unknown command, whatever
        // CLI11 noticed first.
        const std::vector<std::string> unparsed = app.remaining();
        if (app.get_subcommands().empty() && !unparsed.empty()) {
            std::cerr << "portctl: unknown command '" << unparsed.front()
                      << "' (run portctl --help for the commands)\n";
            return kBadInput;
        }
        const int code = app.exit(e);
        return code == 0 ? 0 : kBadInput;
    }
    try {
        return Run(commands, args);
    } catch (const portctl::InputError& e) {
        std::cerr << "portctl: " << e.what() << "\n";
        return kBadInput;
    } catch (const std::exception& e) {
        std::cerr << "portctl: " << e.what() << "\n";
        return kFailed;
    }
}
