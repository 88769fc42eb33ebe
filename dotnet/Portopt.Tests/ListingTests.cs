using System;
using System.Collections.Generic;
using System.ComponentModel;
using System.Linq;
using System.Text.Json;
using System.Text.Json.Nodes;
using Xunit;

namespace Portopt.Tests
{
    /// <summary>Listing and reading, held against the demo machine's table and
    /// against what portctl lists on the same machine.</summary>
    public class ListingTests : MachineTest
    {
        [Fact]
        public void EveryPortOfTheDemoMachineInOnePass()
        {
            Assert.Equal(DemoMachine.Ports, Ports.GetAll());
            Assert.Equal(new Dictionary<string, int> { ["EnumCOMPortsEx"] = 1, ["PoGetAllPortInfo"] = 1 }, Counted.Calls);
        }

        /// <summary>A port whose device exposes the Ports-class interface
        /// only: no lister gives it, yet the library serves it, so it is
        /// listed in its place, read, changed and exported like the others.</summary>
        [Fact]
        public void APortWithoutAComPortInterfaceIsListedReadChangedAndExported()
        {
            Simulator.Load(WithPortsOnlyPort(Simulator.Demo()));
            Port com2 = DemoMachine.Row("COM2", DemoMachine.Tovelser, 3, "2", "n/a", "n/a", "n/a", DemoMachine.NotZero);
            string exported = Profile.Export().ToJson();

            Assert.Equal(DemoMachine.Ports.Take(1).Append(com2).Concat(DemoMachine.Ports.Skip(1)), Ports.GetAll());
            Assert.Equal(new Dictionary<string, int> { ["EnumCOMPortsEx"] = 1, ["PoGetAllPortInfo"] = 1 }, Counted.Calls);
            Assert.Equal(com2, Ports.Get("COM2"));
            Assert.Equal(InterfaceMode.Mode3, Ports.Set(2, InterfaceMode.Mode3).InterfaceMode.Value);
            Assert.Equal(new[] { "COM2 interface: would apply (3 -> 2)" },
                Profile.Parse(exported).Test().Outcomes.Where(outcome => outcome.Result != ProfileResult.Unchanged).Select(outcome => outcome.ToString()));
        }

        /// <summary>The demo machine with a third port on the tovelser
        /// adapter, COM2, whose device has no COM-port interface.</summary>
        internal static JsonObject WithPortsOnlyPort(JsonObject document)
        {
            const string device = @"TVSER\VID_1A2B&PID_1131\TV2P0042&02";
            document["devices"]!.AsArray().Add(new JsonObject
            {
                ["id"] = device,
                ["parent"] = DemoMachine.Tovelser.InstanceId,
                ["friendlyName"] = "tovelser USB Serial Port 3 (COM2)",
                ["interfaces"] = new JsonArray("ports"),
            });
            document["registry"]![$@"SYSTEM\CurrentControlSet\Enum\{device}\Device Parameters"] = new JsonObject { ["PortName"] = "COM2", ["SerInterface"] = 2 };
            return document;
        }

        public static TheoryData<string> Machines()
        {
            var machines = new TheoryData<string> { "demo", "named-ports", "more-than-256-names" };
            for (int seed = 0; seed < 40; seed++)
            {
                machines.Add($"generated-{seed}");
            }
            return machines;
        }

        [Theory]
        [MemberData(nameof(Machines))]
        public void ListingEqualsPortctls(string machine)
        {
            JsonObject document = machine switch
            {
                "demo" => Simulator.Demo(),
                // COM2 (twice) and COM10 are named by devices of no ports
                // class, so they have no record of the all-ports call.
                "named-ports" => WithNamedPorts(Simulator.Demo(), "COM10", "CNCA0", "COM2", "Port \u00dc\U0001F600", "COM2", "COM257"),
                "more-than-256-names" => WithNamedPorts(Simulator.Demo(), Enumerable.Range(0, 300).Select(i => $"X{i}").ToArray()),
                _ => GeneratedMachine.Build(int.Parse(machine.Substring("generated-".Length))),
            };
            Simulator.Load(document);

            IReadOnlyList<Port> listed = Ports.GetAll();

            Assert.Equal(Indented(Simulator.PortctlListing(document)), Indented(new JsonArray(listed.Select(AsPortctlJson).ToArray())));
            Assert.Equal(1, Counted.Calls["PoGetAllPortInfo"]);
        }

        [Theory]
        [InlineData(7)]
        [InlineData("COM7")]
        [InlineData("com7")]
        public void OnePortByNumberOrName(object port)
        {
            Port read = port is int number ? Ports.Get(number) : Ports.Get((string)port);

            Assert.Equal(DemoMachine.Port("COM7"), read);
            Assert.Equal(new Dictionary<string, int> { ["EnumCOMPortsEx"] = 1, ["PoGetPortInfo"] = 1 }, Counted.Calls);
        }

        [Theory]
        [InlineData(8, 0)] // the device list cannot be built (ERROR_NOT_ENOUGH_MEMORY)
        [InlineData(122, int.MaxValue)] // more buffers than any machine has ports
        public void AListingThatFailsIsAnErrorNotAnEmptyListing(uint code, int count)
        {
            Counted.ListingFails = (code, count);
            string before = Simulator.Dump();

            foreach (Action call in new Action[] { () => Ports.GetAll(), () => Ports.Get("COM3"), () => Ports.Set(3, InterfaceMode.Mode1) })
            {
                Assert.Equal((int)code, Assert.Throws<Win32Exception>(call).NativeErrorCode);
            }

            Assert.Equal(new Dictionary<string, int> { ["EnumCOMPortsEx"] = 3 }, Counted.Calls);
            Assert.Equal(before, Simulator.Dump());
        }

        /// <summary>The port as <c>portctl list --json</c> writes it.</summary>
        internal static JsonObject AsPortctlJson(Port port)
        {
            static JsonNode? Stored<T>(OptionValue<T> option) where T : struct => option.IsStored ? option.RawValue : null;
            Adapter? adapter = port.Adapter;
            return new JsonObject
            {
                ["port"] = port.Name,
                ["number"] = port.Number,
                ["adapter"] = adapter == null ? null : new JsonObject
                {
                    ["id"] = adapter.InstanceId,
                    ["bus"] = adapter.Bus switch { AdapterBus.Usb => "USB", AdapterBus.Pci => "PCI", _ => null },
                    ["vendor"] = adapter.VendorId,
                    ["product"] = adapter.ProductId,
                    ["family"] = adapter.Family switch { AdapterFamily.Tovelser => "tovelser", _ => "KARBEND" },
                },
                ["position"] = port.Position,
                ["interface"] = Stored(port.InterfaceMode),
                ["fastflush"] = Stored(port.FastFlush),
                ["txmode"] = Stored(port.TxMode),
                // The FIFO as its query answers it: disabled also when nothing is stored.
                ["fifo"] = port.UartFifo.IsAvailable ? port.UartFifo.RawValue != 0 : null,
                ["interfaceModes"] = port.AcceptedInterfaceModes == InterfaceModes.None ? null
                    : new JsonArray(Enumerable.Range(0, 4).Where(mode => port.Accepts((InterfaceMode)mode))
                        .Select(mode => JsonValue.Create(mode)).ToArray<JsonNode?>()),
            };
        }

        /// <summary>Adds a device without adapter per name, listed under that name.</summary>
        internal static JsonObject WithNamedPorts(JsonObject document, params string[] names)
        {
            for (int i = 0; i < names.Length; i++)
            {
                string device = $@"ROOT\PORTS\{i:D4}";
                document["devices"]!.AsArray().Add(new JsonObject { ["id"] = device, ["interfaces"] = new JsonArray("comport") });
                document["registry"]![$@"SYSTEM\CurrentControlSet\Enum\{device}\Device Parameters"] = new JsonObject { ["PortName"] = names[i] };
            }
            return document;
        }

        private static string Indented(JsonNode node) =>
            node.ToJsonString(new JsonSerializerOptions { WriteIndented = true, Encoder = System.Text.Encodings.Web.JavaScriptEncoder.UnsafeRelaxedJsonEscaping });
    }
}
