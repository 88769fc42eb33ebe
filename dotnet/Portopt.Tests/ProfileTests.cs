using System;
using System.Collections.Generic;
using System.ComponentModel;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text.Json.Nodes;
using Portopt.Interop;
using Xunit;

namespace Portopt.Tests
{
    /// <summary>Profiles through the profile engine, which holds their rules
    /// and has its own tests: that the library hands it the right
    /// arguments, reads its reports and texts, passes its confirmations,
    /// and raises its errors, held against portctl, which calls the same
    /// engine.</summary>
    public class ProfileTests : MachineTest
    {
        /// <summary>Plans, tests and imports by number and by position give
        /// portctl's reports and leave portctl's machine; the export is
        /// portctl's, also when the library writes it again; and all of it
        /// also through buffers that must first grow.</summary>
        [Theory]
        [InlineData("demo", 1 << 14)]
        [InlineData("demo", 1)]
        [InlineData("generated-3", 1 << 14)]
        [InlineData("generated-7", 64)]
        public void ReportsAndMachinesAreThoseOfPortctl(string machine, int firstCapacity)
        {
            using var folder = new Folder();
            JsonObject document = machine == "demo" ? Simulator.Demo() : GeneratedMachine.Build(int.Parse(machine.Substring("generated-".Length)));
            string machineFile = folder.Write("machine.json", document.ToJsonString());
            Simulator.Load(document);
            int previous = ProfileEngine.FirstCapacity;
            ProfileEngine.FirstCapacity = firstCapacity;
            try
            {
                string export = Portctl("--machine", machineFile, "export", "-").Out;
                Assert.Equal(export, Profile.Export().ToJson());
                Assert.Equal(export, Profile.FromPorts(Ports.GetAll()).ToJson());

                string file = folder.Write("profile.json", Changed(export, new Random(machine.Length)));
                string text = File.ReadAllText(file);
                foreach (ProfileMatch match in new[] { ProfileMatch.Number, ProfileMatch.Position })
                {
                    string[] matching = match == ProfileMatch.Position ? new[] { "--match", "position" } : new string[0];
                    string[] Command(params string[] words) => new[] { "--machine", machineFile }.Concat(words).Concat(matching).Append(file).ToArray();
                    Simulator.Load(document);

                    Same(Portctl(Command("import", "--dry-run", "--json")), () => Profile.Parse(text).Plan(match), Refusals);
                    Same(Portctl(Command("check", "--json")), () => Profile.Parse(text).Test(match), report => report.Compliant ? 0 : 1);
                    Same(Portctl(Command("import", "--json")), () => Profile.Parse(text).Import(match), Refusals);

                    string byLibrary = Simulator.Dump();
                    Simulator.Load(JsonNode.Parse(File.ReadAllText(machineFile))!);
                    Assert.Equal(Simulator.Dump(), byLibrary);
                    File.WriteAllText(machineFile, document.ToJsonString());
                }
            }
            finally
            {
                ProfileEngine.FirstCapacity = previous;
            }
        }

        private static int Refusals(ProfileReport report) => report.Outcomes.Any(outcome => outcome.Result == ProfileResult.Refused) ? 1 : 0;

        /// <summary>portctl's answer and the library's agree: both refuse the
        /// profile with the same fault, or both give the same report and
        /// status.</summary>
        private static void Same(ProgramRun tool, Func<ProfileReport> library, Func<ProfileReport, int> status)
        {
            if (tool.Status == 2)
            {
                ProfileException refused = Assert.Throws<ProfileException>(library);
                Assert.Contains(refused.Message, tool.Err);
                return;
            }
            ProfileReport report = library();
            Assert.Equal((tool.Out, tool.Status), (report.ToJson(), status(report)));
        }

        /// <summary>The outcomes read from the engine's report: each result
        /// with its values, the entry and the port it went to by position.</summary>
        [Fact]
        public void OutcomesCarryTheReportsValues()
        {
            Ports.Set("COM3", interfaceMode: InterfaceMode.Mode2);
            string export = Profile.Export().ToJson();
            Simulator.Load(Renumbered(Simulator.Demo()));
            Ports.Set("COM4", fastFlush: false);

            ProfileReport plan = Profile.Parse(export).Plan(ProfileMatch.Position);
            ProfileOutcome moved = plan.Outcomes.First(outcome => outcome.Entry == "COM3" && outcome.Option == PortOption.InterfaceMode);
            Assert.Equal(("COM4", 4, ProfileResult.WouldApply, (int?)1, (int?)2), (moved.PortName, moved.Number, moved.Result, moved.From, moved.To));
            Assert.Equal("COM4 interface: would apply (1 -> 2)", moved.ToString());
            Assert.False(plan.Changed || plan.Compliant);

            ProfileReport absent = Profile.Parse("{\"portctl\": 1, \"ports\": {\"com2\": {\"fifo\": true}, \"3\": {\"txmode\": 0}}}").Test();
            Assert.Equal(new[] { "com2 COM2 Absent - 1", "3 COM3 Unchanged 0 0" },
                absent.Outcomes.Select(outcome => $"{outcome.Entry} {outcome.PortName} {outcome.Result} {outcome.From?.ToString() ?? "-"} {outcome.To}"));

            ProfileReport imported = Profile.Parse(export).Import(ProfileMatch.Position);
            Assert.True(imported.Changed);
            Assert.All(imported.Outcomes, outcome => Assert.NotEqual(ProfileResult.WouldApply, outcome.Result));
            Assert.True(Profile.Parse(export).Test(ProfileMatch.Position).Compliant);
        }

        /// <summary>By position with the numbers (the engine's
        /// PO_MATCH_NUMBERS): the two ports of a renumbered adapter swap
        /// their COM numbers as portctl swaps them, a test counts a wrong
        /// number as drift, and a declined number is not given.</summary>
        [Fact]
        public void NumbersByPositionAreGivenAsPortctlGivesThem()
        {
            using var folder = new Folder();
            string text = "{\"portctl\": 1, \"ports\": {"
                + "\"COM4\": {\"adapter\": {\"vendor\": 6699, \"product\": 8260}, \"position\": 1, \"interface\": 0}, "
                + "\"COM3\": {\"adapter\": {\"vendor\": 6699, \"product\": 8260}, \"position\": 2}}}";
            string file = folder.Write("numbers.json", text);
            string machineFile = folder.Write("machine.json", Simulator.Dump());
            Profile profile = Profile.Parse(text);
            Assert.Throws<ArgumentException>(() => profile.Test(ProfileMatch.Number, numbers: true));
            Assert.True(profile.Test(ProfileMatch.Position).Compliant);

            ProfileReport drift = profile.Test(ProfileMatch.Position, numbers: true);
            Assert.Equal(Portctl("--machine", machineFile, "check", "--json", "--match", "position", "--numbers", file).Out, drift.ToJson());
            Assert.False(drift.Compliant);

            string before = Simulator.Dump();
            var asked = new List<string>();
            ProfileReport declined = profile.Import(ProfileMatch.Position, numbers: true,
                confirmNumber: number => { asked.Add(number.ToString()); return false; });
            Assert.Equal(before, Simulator.Dump());
            Assert.Contains("COM4 number: would apply (4 -> 3)", asked);
            Assert.False(declined.Changed);

            ProfileReport imported = profile.Import(ProfileMatch.Position, numbers: true);
            Assert.Equal(Portctl("--machine", machineFile, "import", "--json", "--match", "position", "--numbers", file).Out, imported.ToJson());
            Assert.Equal(new[] { "COM3 number: applied (3 -> 2 -> 4)", "COM4 number: applied (4 -> 3)" },
                imported.Numbers.Select(number => number.ToString()));
            string byLibrary = Simulator.Dump();
            Simulator.Load(JsonNode.Parse(File.ReadAllText(machineFile))!);
            Assert.Equal(Simulator.Dump(), byLibrary);
            Assert.True(profile.Test(ProfileMatch.Position, numbers: true).Compliant);
        }

        /// <summary>A refusal's reason and code, from the engine's words.</summary>
        [Fact]
        public void ARefusalGivesItsReasonAndCode()
        {
            // COM6's stored fast flush cannot be written on the demo machine.
            ProfileReport report = Profile.Parse("{\"portctl\": 1, \"ports\": {\"COM6\": {\"fastflush\": 1}, \"COM3\": {\"interface\": 1}}}").Import();

            ProfileOutcome refused = report.Outcomes[0];
            Assert.Equal((ProfileResult.Refused, (int?)1016, (int?)1, "the stored setting could not be read or written"),
                (refused.Result, refused.ErrorCode, refused.To, refused.Reason));
            Assert.Equal("COM3 interface: applied (0 -> 1)", report.Outcomes[1].ToString());
        }

        public static TheoryData<bool, string, string> Faults() => new()
        {
            { false, "{\"portctl\": 1, \"ports\": {\"COM3\": {\"txmode\": 1,}}}", "malformed JSON: " },
            { false, "{\"portctl\": 1, \"ports\": {\"COM3\": {\"interface\": 4}}}", "ports.COM3.interface: value 4 out of range (0 to 3)" },
            { false, "{\"portctl\": 1, \"ports\": {\"COM3\": {}, \"COM2\": {\"txmode\": 1}}}", "ports.COM2: no such port on this machine" },
            { false, "{\"portctl\": 1, \"ports\": {\"COM3\": {\"txmode\": 0}, \"3\": {\"txmode\": 1}}}", "ports.3: COM3 is given twice" },
            {
                true, "{\"portctl\": 1, \"ports\": {\"COM7\": {\"adapter\": {\"vendor\": 6699, \"product\": 1}, \"fifo\": true}, \"COM9\": {\"txmode\": 0}}}",
                "2 entries cannot be matched by position, so nothing is changed:\n"
                    + "  ports.COM7: no port at single-port 1A2B:0001 adapter here\n"
                    + "  ports.COM9: names no adapter (its export has none)"
            },
        };

        /// <summary>The engine's error 13 is the fault with its place, and
        /// nothing changes.</summary>
        [Theory]
        [MemberData(nameof(Faults))]
        public void AFaultNamesItsPlaceAndChangesNothing(bool byPosition, string text, string message)
        {
            string before = Simulator.Dump();

            ProfileException fault = Assert.Throws<ProfileException>(() =>
                Profile.Parse(text).Import(byPosition ? ProfileMatch.Position : ProfileMatch.Number));

            Assert.StartsWith(message, fault.Message);
            Assert.Equal(before, Simulator.Dump());
        }

        /// <summary>Ports that cannot be listed (the engine's
        /// PO_PROFILE_NOT_LISTED) raise the listing's code; a profile that is
        /// not UTF-8 is a fault of its own.</summary>
        [Fact]
        public void PortsThatCannotBeListedRaiseTheListingsCode()
        {
            Simulator.FailAt("SetupDiGetClassDevsW", 1, 8);
            Win32Exception unlisted = Assert.Throws<Win32Exception>(() => Profile.Export());
            Assert.Equal(8, unlisted.NativeErrorCode);
            Assert.StartsWith("the ports cannot be listed", unlisted.Message);

            using var folder = new Folder();
            string latin1 = Path.Combine(folder.Path, "latin1.json");
            File.WriteAllBytes(latin1, new byte[] { (byte)'{', 0xE9, (byte)'}' });
            Assert.Equal("malformed JSON: not UTF-8 text", Assert.Throws<ProfileException>(() => Profile.Load(latin1)).Message);
        }

        /// <summary>A saved profile replaces its file whole, with a new file's
        /// permissions, and loads back; a change the caller declines is not
        /// made, and one whose confirmation throws is not made either, nor
        /// any after it; an import makes a test answer true.</summary>
        [Fact]
        [System.Runtime.Versioning.UnsupportedOSPlatform("windows")]
        public void ASavedProfileLoadsBackAndADeclinedChangeIsNotMade()
        {
            using var folder = new Folder();
            string path = folder.Write("profile.json", "an older file");
            Ports.Set("COM3", interfaceMode: InterfaceMode.Mode2, fastFlush: true);
            Profile saved = Profile.Export();

            saved.Save(path);

            Assert.Equal(new[] { "profile.json" }, Directory.GetFiles(folder.Path).Select(Path.GetFileName));
            Assert.Equal((UnixFileMode)(0x1B6 & ~Umask()), File.GetUnixFileMode(path));
            Assert.Equal(saved.ToJson(), Profile.Load(path).ToJson());

            Ports.Set("COM3", interfaceMode: InterfaceMode.Mode0, fastFlush: false);
            string before = Simulator.Dump();
            var asked = new List<string>();
            ProfileReport declined = Profile.Load(path).Import(confirm: change => { asked.Add(change.ToString()); return false; });
            Assert.Equal(new[] { "COM3 interface: would apply (0 -> 2)", "COM3 fastflush: would apply (0 -> 1)" }, asked);
            Assert.Equal(before, Simulator.Dump());
            Assert.False(declined.Changed || declined.Compliant);

            var stop = new InvalidOperationException("stopped");
            asked.Clear();
            Assert.Same(stop, Assert.Throws<InvalidOperationException>(() =>
                Profile.Load(path).Import(confirm: change => { asked.Add(change.ToString()); throw stop; })));
            Assert.Single(asked);
            Assert.Equal(before, Simulator.Dump());
            Assert.False(Profile.Load(path).Test().Compliant);

            ProfileReport imported = Profile.Load(path).Import(confirm: change => change.Option == PortOption.InterfaceMode);
            Assert.Equal(new[] { "COM3 interface: applied (0 -> 2)", "COM3 fastflush: would apply (0 -> 1)" },
                imported.Outcomes.Where(outcome => outcome.Result != ProfileResult.Unchanged).Select(outcome => outcome.ToString()));
            Assert.True(Profile.Load(path).Import().Changed);
            Assert.True(Profile.Load(path).Test().Compliant);
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

        /// <summary>The machine with another four-port adapter, whose first
        /// two ports have each other's COM numbers, as are the tovelser
        /// adapter's.</summary>
        private static JsonObject Renumbered(JsonObject document) =>
            JsonNode.Parse(document.ToJsonString()
                .Replace("KB4P0001", "KB4P0777").Replace("COM3", "COMx").Replace("COM4", "COM3").Replace("COMx", "COM4")
                .Replace("COM8", "COMy").Replace("COM9", "COM8").Replace("COMy", "COM9"))!.AsObject();

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
