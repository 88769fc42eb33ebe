using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text.Json.Nodes;
using Xunit;

namespace Portopt.Tests
{
    /// <summary>Profiles held against portctl, which reads and writes the
    /// same files: exports byte for byte, and plans, tests and imports of
    /// exports and of odd files, by COM number and by position, with the
    /// same report, the same refusals and the same machine afterwards.</summary>
    public class ProfileTests : MachineTest
    {
        public static TheoryData<string> Machines()
        {
            var machines = new TheoryData<string>
            {
                "demo", "demo, not elevated", "demo, an adapter keeping its mode", "demo, a second adapter of a model",
            };
            for (int seed = 0; seed < 12; seed++)
            {
                machines.Add($"generated-{seed}");
            }
            return machines;
        }

        [Theory]
        [MemberData(nameof(Machines))]
        public void ExportPlanTestAndImportEqualPortctls(string machine)
        {
            using var folder = new Folder();
            int seed = machine.StartsWith("generated-") ? int.Parse(machine.Substring("generated-".Length)) : machine.Length;
            var random = new Random(seed);
            JsonObject document = Machine(machine);
            JsonObject other = machine.StartsWith("generated-") ? GeneratedMachine.Build(seed + 1000) : Renumbered(Machine(machine));
            string machineFile = folder.Write("machine.json", document.ToJsonString());
            Simulator.Load(document);

            ProgramRun export = Portctl("--machine", machineFile, "export", "-");
            Assert.Equal(0, export.Status);
            Assert.Equal(export.Out, Profile.Export().ToJson());

            string[] profiles =
            {
                Changed(export.Out, random),
                Changed(Portctl("--machine", folder.Write("other.json", other.ToJsonString()), "export", "-").Out, random),
                RandomProfile(random, Ports.GetAll()),
            };
            foreach (string text in profiles)
            {
                string file = folder.Write("profile.json", text);
                foreach (ProfileMatch match in new[] { ProfileMatch.Number, ProfileMatch.Position })
                {
                    string[] matching = match == ProfileMatch.Position ? new[] { "--match", "position" } : new string[0];
                    string context = $"{machine}, by {match}, profile:\n{text}";

                    Simulator.Load(document);
                    Same(Portctl(new[] { "--machine", machineFile, "import", "--dry-run", "--json" }.Concat(matching).Append(file).ToArray()),
                        () => Profile.Parse(text).Plan(match), report => 0, context);
                    Same(Portctl(new[] { "--machine", machineFile, "check", "--json" }.Concat(matching).Append(file).ToArray()),
                        () => Profile.Parse(text).Test(match), report => report.Compliant ? 0 : 1, context);
                    Same(Portctl(new[] { "--machine", machineFile, "import", "--json" }.Concat(matching).Append(file).ToArray()),
                        () => Profile.Parse(text).Import(match), Refusals, context);
                    // The same machine afterwards (each as the simulator
                    // writes it); then both start again.
                    string imported = Simulator.Dump();
                    Simulator.Load(JsonNode.Parse(File.ReadAllText(machineFile))!);
                    Assert.True(imported == Simulator.Dump(), context);
                    File.WriteAllText(machineFile, document.ToJsonString());
                }
            }
        }

        /// <summary>Single edits of an export, most of them breaking its JSON
        /// somewhere: refused exactly where portctl refuses them, and planned
        /// as portctl plans them elsewhere.</summary>
        [Fact]
        public void EditedTextIsRefusedWherePortctlRefusesIt()
        {
            using var folder = new Folder();
            string machineFile = folder.Write("machine.json", Simulator.Demo().ToJsonString());
            string export = Profile.Export().ToJson();
            string[] pieces =
            {
                "{", "}", "[", "]", ",", ":", "\"", "\\", " ", "\n", "\t", "0", "01", "-", "-0", "1.0", "1e2", "2", "true",
                "null", "nul", "'", "//", "/*x*/", "\\u00e9", "\\ud800", "\\ud83d\\ude00", "\\x", "\u0001", "\u00e9", "\ufeff", "COM9",
            };
            var random = new Random(26);
            for (int i = 0; i < 200; i++)
            {
                string text = export;
                int at = random.Next(text.Length + 1);
                int cut = random.Next(3) == 0 ? Math.Min(random.Next(1, 4), text.Length - at) : 0;
                text = text.Remove(at, cut).Insert(at, random.Next(6) == 0 ? "" : pieces[random.Next(pieces.Length)]);
                Same(Portctl("--machine", machineFile, "import", "--dry-run", "--json", folder.Write("edited.json", text)),
                    () => Profile.Parse(text).Plan(), report => 0, text);
            }
        }

        public static TheoryData<string, string, string> Faults() => new()
        {
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"txmode\": 1,}}}", "malformed JSON: line 1, column 47: expected a key in double quotes" },
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"interface\": 01}}}", "malformed JSON: line 1, column 49: expected ',' or '}'" },
            { "", "{\"portctl\": 2, \"ports\": {}}", "portctl: version 2 is not supported (expected 1)" },
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"speed\": 1}}}", "ports.COM3.speed: unknown option (options: interface, fastflush, txmode, fifo)" },
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"txmode\": [[1]]}}}", "ports.COM3.txmode: value [...] out of range (0 or 1)" },
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"interface\": true}}}", "ports.COM3.interface: value true out of range (0 to 3)" },
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"adapter\": {\"vendor\": 6699}}}}", "ports.COM3.adapter.product: missing" },
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"position\": 0}}}", "ports.COM3.position: value 0 is not a number from 1 to 9999" },
            { "", "{\"portctl\": 1, \"ports\": {\"COMX\": {}}}", "ports.COMX: not a port name (COMn)" },
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {}, \"COM2\": {\"txmode\": 1}}}", "ports.COM2: no such port on this machine" },
            { "", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"txmode\": 0}, \"3\": {\"txmode\": 1}}}", "ports.3: COM3 is given twice" },
            // Two adapters of the model here, neither the file's.
            {
                "KB4P0001 twice", "{\"portctl\": 1, \"ports\": {\"COM3\": {\"adapter\": {\"id\": \"X\", \"vendor\": 6699, \"product\": 8260}, \"position\": 1, \"txmode\": 0}, "
                    + "\"COM7\": {\"adapter\": {\"vendor\": 6699, \"product\": 8225}, \"fifo\": true}, \"COM9\": {\"txmode\": 0}}}",
                "2 entries cannot be matched by position, so nothing is changed:\n"
                    + "  ports.COM3: ambiguous: 2 1A2B:2044 adapters here (USB\\VID_1A2B&PID_2044\\KB4P0001, USB\\VID_1A2B&PID_2044\\KB4P0002), none of them X\n"
                    + "  ports.COM9: names no adapter (its export has none)"
            },
        };

        /// <summary>Each fault in portctl's words, naming its place; nothing changes.</summary>
        [Theory]
        [MemberData(nameof(Faults))]
        public void AFaultNamesItsPlaceAndChangesNothing(string machine, string text, string message)
        {
            if (machine.Length > 0)
            {
                Simulator.Load(WithSecondAdapter(Simulator.Demo()));
            }
            string before = Simulator.Dump();
            ProfileMatch match = machine.Length > 0 ? ProfileMatch.Position : ProfileMatch.Number;

            Assert.Equal(message, Assert.Throws<ProfileException>(() => Profile.Parse(text).Import(match)).Message);
            Assert.Equal(before, Simulator.Dump());
        }

        /// <summary>A saved profile replaces its file whole, with a new file's
        /// permissions, and loads back; a change the caller declines is not
        /// made; an import makes a test answer true.</summary>
        [Fact]
        [System.Runtime.Versioning.UnsupportedOSPlatform("windows")]
        public void ASavedProfileLoadsBackAndADeclinedChangeIsNotMade()
        {
            using var folder = new Folder();
            string path = folder.Write("profile.json", "an older file");
            Ports.Set("COM3", interfaceMode: InterfaceMode.Mode2);
            Profile saved = Profile.Export();

            saved.Save(path);

            Assert.Equal(new[] { "profile.json" }, Directory.GetFiles(folder.Path).Select(Path.GetFileName));
            Assert.Equal((UnixFileMode)(0x1B6 & ~Umask()), File.GetUnixFileMode(path));
            Assert.Equal(saved.ToJson(), Profile.Load(path).ToJson());

            Ports.Set("COM3", interfaceMode: InterfaceMode.Mode0);
            string before = Simulator.Dump();
            var asked = new List<string>();
            ProfileReport declined = Profile.Load(path).Import(confirm: change => { asked.Add(change.ToString()); return false; });
            Assert.Equal(new[] { "COM3 interface: would apply (0 -> 2)" }, asked);
            Assert.Equal(before, Simulator.Dump());
            Assert.False(declined.Changed || declined.Compliant);
            Assert.False(Profile.Load(path).Test().Compliant);

            ProfileReport imported = Profile.Load(path).Import(confirm: change => true);
            Assert.Equal(new[] { "COM3 interface: applied (0 -> 2)" },
                imported.Outcomes.Where(outcome => outcome.Result != ProfileResult.Unchanged).Select(outcome => outcome.ToString()));
            Assert.True(Profile.Load(path).Test().Compliant);
        }

        private static int Refusals(ProfileReport report) => report.Outcomes.Any(outcome => outcome.Result == ProfileResult.Refused) ? 1 : 0;

        /// <summary>portctl's answer and the library's agree: both refuse the
        /// profile, or both give the same report and status.</summary>
        private static void Same(ProgramRun tool, Func<ProfileReport> library, Func<ProfileReport, int> status, string context)
        {
            ProfileReport? report = null;
            ProfileException? refused = null;
            try
            {
                report = library();
            }
            catch (ProfileException e)
            {
                refused = e;
            }
            if (tool.Status == 2)
            {
                Assert.True(refused != null, $"portctl refuses ({tool.Err.Trim()}), the library does not: {context}");
                return;
            }
            Assert.True(refused == null, $"the library refuses ({refused?.Message}), portctl does not: {context}");
            // The library's advice to a program that is not elevated names no program.
            string expected = tool.Out.Replace("(run portctl from an elevated prompt)", "(run it from an elevated prompt)");
            Assert.True(expected == report!.ToJson(), $"{context}\nportctl:\n{expected}\nlibrary:\n{report.ToJson()}");
            Assert.True(tool.Status == status(report), $"portctl exits with {tool.Status}: {context}");
        }

        private static JsonObject Machine(string name)
        {
            JsonObject demo = Simulator.Demo();
            switch (name)
            {
                case "demo": return demo;
                case "demo, not elevated": demo["elevated"] = false; return demo;
                // Capability 0x10: mode 0 is accepted but not kept.
                case "demo, an adapter keeping its mode": return JsonNode.Parse(demo.ToJsonString().Replace("PID_1131", "PID_1110"))!.AsObject();
                case "demo, a second adapter of a model": return WithSecondAdapter(demo);
                default: return GeneratedMachine.Build(int.Parse(name.Substring("generated-".Length)));
            }
        }

        /// <summary>The machine with another four-port adapter, whose first
        /// two ports have each other's COM numbers, as are the tovelser
        /// adapter's.</summary>
        private static JsonObject Renumbered(JsonObject document) =>
            JsonNode.Parse(document.ToJsonString()
                .Replace("KB4P0001", "KB4P0777").Replace("COM3", "COMx").Replace("COM4", "COM3").Replace("COMx", "COM4")
                .Replace("COM8", "COMy").Replace("COM9", "COM8").Replace("COMy", "COM9"))!.AsObject();

        /// <summary>The demo machine with a second four-port adapter of the
        /// model, on COM13 to COM16.</summary>
        private static JsonObject WithSecondAdapter(JsonObject document)
        {
            var devices = document["devices"]!.AsArray();
            var registry = document["registry"]!.AsObject();
            static string Second(string text) => text.Replace("KB4P0001", "KB4P0002").Replace("(COM", "(COM1").Replace("\"COM", "\"COM1");
            foreach (JsonNode device in devices.Where(device => device!.ToJsonString().Contains("KB4P0001")).ToList()!)
            {
                devices.Add(JsonNode.Parse(Second(device.ToJsonString())));
            }
            foreach (var (key, values) in registry.Where(entry => entry.Key.Contains("KB4P0001")).ToList())
            {
                registry[Second(key)] = JsonNode.Parse(Second(values!.ToJsonString()));
            }
            return document;
        }

        /// <summary>An export with about half its values changed, now and
        /// then an option the port does not have or has nothing stored for,
        /// and every other adapter's instance ID in lower case.</summary>
        private static string Changed(string export, Random random)
        {
            JsonObject document = JsonNode.Parse(export)!.AsObject();
            bool lower = true;
            foreach (var (_, entry) in document["ports"]!.AsObject())
            {
                if (entry!["adapter"]?["id"] is JsonNode id && (lower = !lower))
                {
                    entry["adapter"]!["id"] = ((string)id!).ToLowerInvariant();
                }
                foreach (string option in new[] { "interface", "fastflush", "txmode", "fifo" })
                {
                    if (entry![option] != null ? random.Next(2) == 0 : random.Next(5) == 0)
                    {
                        entry[option] = option switch
                        {
                            "interface" => random.Next(4),
                            "fifo" => random.Next(2) == 0,
                            _ => random.Next(2),
                        };
                    }
                }
            }
            return document.ToJsonString();
        }

        /// <summary>A profile written by hand: port keys of every form, some
        /// that no port has; adapters of the machine and others, at positions
        /// or without; values mostly in range.</summary>
        private static string RandomProfile(Random random, IReadOnlyList<Port> ports)
        {
            Adapter[] adapters = ports.Where(port => port.Adapter != null).Select(port => port.Adapter!).Distinct().ToArray();
            T Pick<T>(params T[] choices) => choices[random.Next(choices.Length)];
            var entries = new JsonObject();
            for (int i = random.Next(1, 6); i > 0; i--)
            {
                int number = random.Next(1, 13);
                string key = random.Next(12) == 0 ? Pick("COM0", "COM257", "COMX", "0003") : Pick($"COM{number}", $"COM{number}", $"com{number}", $"{number}");
                var entry = new JsonObject();
                if (random.Next(3) > 0)
                {
                    entry["adapter"] = adapters.Length > 0 && random.Next(4) > 0
                        ? Pick(adapters).InstanceId is string id ? new JsonObject
                        {
                            ["id"] = random.Next(4) == 0 ? id.ToLowerInvariant() : id,
                            ["vendor"] = adapters.First(a => a.InstanceId == id).VendorId,
                            ["product"] = adapters.First(a => a.InstanceId == id).ProductId,
                        } : null
                        : new JsonObject { ["vendor"] = 0x1A2B, ["product"] = Pick(0x2052, 0x1131, 0x9050) };
                }
                if (random.Next(3) > 0)
                {
                    entry["position"] = random.Next(20) == 0 ? Pick<JsonNode?>(0, null, "1") : random.Next(1, 5);
                }
                foreach (string option in new[] { "interface", "fastflush", "txmode", "fifo", "speed" }.Where(_ => random.Next(2) == 0))
                {
                    entry[option == "speed" && random.Next(4) > 0 ? "fifo" : option] = random.Next(15) switch
                    {
                        0 => Pick<JsonNode?>(4, -1, true, null, "on", 1.5),
                        _ when option == "fifo" || option == "fastflush" => Pick<JsonNode?>(true, false, 0, 1),
                        _ => random.Next(option == "interface" ? 4 : 2),
                    };
                }
                entries[key] = entry;
            }
            return new JsonObject { ["portctl"] = 1, ["ports"] = entries }.ToJsonString();
        }

        /// <summary>The host build's portctl, whatever its status.</summary>
        private static ProgramRun Portctl(params string[] arguments) => HostBuild.Execute(HostBuild.Portctl, arguments);

        [DllImport("libc", EntryPoint = "umask")]
        private static extern uint SetUmask(uint mask);

        private static int Umask()
        {
            uint mask = SetUmask(0x12);
            SetUmask(mask);
            return (int)mask;
        }

        /// <summary>A folder of its own, removed afterwards.</summary>
        private sealed class Folder : IDisposable
        {
            internal readonly string Path = Directory.CreateTempSubdirectory("portopt-profile-").FullName;

            internal string Write(string name, string text)
            {
                string file = System.IO.Path.Combine(Path, name);
                File.WriteAllText(file, text);
                return file;
            }

            public void Dispose() => Directory.Delete(Path, recursive: true);
        }
    }
}
