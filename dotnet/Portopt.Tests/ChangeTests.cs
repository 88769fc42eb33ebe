using System;
using System.Collections.Generic;
using System.ComponentModel;
using System.Linq;
using System.Text.Json.Nodes;
using Xunit;
using static Portopt.Tests.DemoMachine;

namespace Portopt.Tests
{
    /// <summary>Changes on the demo machine: each read back, refusals with
    /// the library's codes and what the port reads back, and bad arguments
    /// caught before any change.</summary>
    public class ChangeTests : MachineTest
    {
        private static readonly Dictionary<string, (Func<Port> Set, Port Expected)> Changes = new()
        {
            // Stored in the KARBEND driver's numbering (1 and 2 swapped).
            ["interface, shared table"] = (() => Ports.Set("COM4", interfaceMode: InterfaceMode.Mode2), Row("COM4", Karbend, 2, "2", "0", "1", "off")),
            ["interface, tovelser per port"] = (() => Ports.Set(8, interfaceMode: InterfaceMode.Mode1), Row("COM8", Tovelser, 1, "1", "n/a", "n/a", "n/a", NotZero)),
            ["fast flush off"] = (() => Ports.Set("com3", fastFlush: false), Row("COM3", Karbend, 1, "0", "0", "0", "on")),
            ["tx mode"] = (() => Ports.Set(4, txMode: 0), Row("COM4", Karbend, 2, "1", "0", "0", "off")),
            ["fifo off"] = (() => Ports.Set("COM3", uartFifo: false), Row("COM3", Karbend, 1, "0", "1", "0", "off")),
            ["fifo on"] = (() => Ports.Set("COM4", uartFifo: true), Row("COM4", Karbend, 2, "1", "0", "1", "on")),
            ["all four"] = (() => Ports.Set(7, InterfaceMode.Mode0, true, 1, false), Row("COM7", Pci, null, "0", "1", "1", "off")),
            ["none"] = (() => Ports.Set("COM5"), Row("COM5", Karbend, 3, "2", "1", "-", "on")),
        };

        public static TheoryData<string> ChangeNames() => new(Changes.Keys);

        [Theory]
        [MemberData(nameof(ChangeNames))]
        public void ChangeIsReadBack(string change)
        {
            (Func<Port> set, Port expected) = Changes[change];

            Assert.Equal(expected, set());
            Assert.Equal(With(expected), Ports.GetAll());
        }

        // A refusal without a code of the library's own: whatever the
        // platform left, 0 included, but neither of the library's codes.
        private const int AnyOtherCode = -1;

        private static readonly Dictionary<string, (Func<JsonObject, JsonObject>? Machine, Func<Port> Set, PortOption Refused, int Code, bool Accepted, PortOption[] Applied)> Refusals = new()
        {
            ["never stored"] = (null, () => Ports.Set("COM9", interfaceMode: InterfaceMode.Mode1), PortOption.InterfaceMode, 1016, false, new PortOption[0]),
            ["table byte 0xFF"] = (null, () => Ports.Set("COM6", fastFlush: true), PortOption.FastFlush, 1016, false, new PortOption[0]),
            ["family without the option"] = (null, () => Ports.Set("COM8", InterfaceMode.Mode3, txMode: 1, uartFifo: true), PortOption.TxMode, AnyOtherCode, false, new[] { PortOption.InterfaceMode }),
            ["no adapter"] = (null, () => Ports.Set(1, InterfaceMode.Mode1), PortOption.InterfaceMode, AnyOtherCode, false, new PortOption[0]),
            ["driver rejects"] = (WithRefusingDriver, () => Ports.Set("COM3", uartFifo: false), PortOption.UartFifo, 31, false, new PortOption[0]),
            // The call reports success; the port keeps its mode 2.
            ["accepted, not kept"] = (WithModeZeroOnly, () => Ports.Set("COM8", InterfaceMode.Mode0), PortOption.InterfaceMode, 0, true, new PortOption[0]),
        };

        public static TheoryData<string> RefusalNames() => new(Refusals.Keys);

        [Theory]
        [MemberData(nameof(RefusalNames))]
        public void RefusalCarriesCodeAndReadBack(string refusal)
        {
            var (machine, set, refused, code, accepted, applied) = Refusals[refusal];
            if (machine != null)
            {
                Simulator.Load(machine(Simulator.Demo()));
            }
            IReadOnlyList<Port> before = Ports.GetAll();

            PortOptionException error = Assert.Throws<PortOptionException>(() => set());

            Assert.IsAssignableFrom<Win32Exception>(error);
            Assert.Equal((refused, accepted), (error.Option, error.Accepted));
            Assert.Equal(applied, error.Applied);
            if (code == AnyOtherCode)
            {
                Assert.DoesNotContain(error.NativeErrorCode, new[] { 87, 1016 });
            }
            else
            {
                Assert.Equal(code, error.NativeErrorCode);
            }
            // Only the options applied before it changed, and the exception
            // carries the port as it now reads.
            Port now = Ports.GetAll().Single(port => port.Name == error.PortName);
            Assert.Equal(now, error.ReadBack);
            Assert.Equal(before.Single(port => port.Name == error.PortName).Entry(refused), now.Entry(refused));
            Assert.Equal(applied.Length == 0, before.Contains(now));
            Assert.StartsWith($"{error.PortName} {PortOptionException.NameOf(refused)} not changed: ", error.Message);
            Assert.EndsWith("; applied before it: " + (applied.Length == 0 ? "nothing" : string.Join(", ", applied.Select(PortOptionException.NameOf))),
                error.Message);
            // A refusal that left no code says so, never "error 0".
            Assert.DoesNotContain("error 0", error.Message);
            Assert.Equal(!accepted && error.NativeErrorCode == 0, error.Message.Contains("the adapter refused the change, no code given"));
        }

        /// <summary>A change call that reports success but leaves the option
        /// as it was (here its code says otherwise, as a platform call on the
        /// way may leave one): the FIFO of COM6, never stored, reads back as
        /// disabled, the very value asked for, yet nothing is stored.</summary>
        [Fact]
        public void AChangeReportedButNotStoredIsRefusedWithoutTheCallsCode()
        {
            Counted.ChangeReports = 1016;

            PortOptionException error = Assert.Throws<PortOptionException>(() => Ports.Set("COM6", uartFifo: false));

            Assert.Equal((true, 0, OptionState.NotStored), (error.Accepted, error.NativeErrorCode, error.ReadBack.UartFifo.State));
            Assert.Contains("the change was accepted but reads back -", error.Message);
        }

        /// <summary>A mode the adapter's product does not take is refused
        /// before any change call, naming the adapter and the modes it takes.</summary>
        [Theory]
        [InlineData("PID_1131", "COM8", InterfaceMode.Mode0, "does not take interface mode 0; it takes modes 1, 2 and 3")]
        [InlineData("PID_1110", "COM9", InterfaceMode.Mode3, "does not take interface mode 3; it takes mode 0 only")]
        public void AModeTheAdapterLacksIsRefusedBeforeAnyChange(string product, string port, InterfaceMode mode, string reason)
        {
            Simulator.Load(JsonNode.Parse(Simulator.Demo().ToJsonString().Replace("PID_1131", product))!);
            string before = Simulator.Dump();

            var error = Assert.Throws<ArgumentOutOfRangeException>(() => Ports.Set(port, mode, uartFifo: true));

            Assert.Equal("interfaceMode", error.ParamName);
            Assert.StartsWith($@"{port}: its adapter USB\VID_1A2B&{product}\TV2P0042 {reason}.", error.Message);
            Assert.Equal(new[] { "EnumCOMPortsEx", "PoGetPortInfo" }, Counted.Calls.Keys.ToArray());
            Assert.Equal(before, Simulator.Dump());
        }

        private static readonly Dictionary<string, (Action Call, Type Exception, string[] Calls)> BadArguments = new()
        {
            ["COM0"] = (() => Ports.Get(0), typeof(ArgumentOutOfRangeException), new string[0]),
            ["COM257"] = (() => Ports.Set("COM257", InterfaceMode.Mode1), typeof(ArgumentOutOfRangeException), new string[0]),
            ["leading zero"] = (() => Ports.Get("COM07"), typeof(ArgumentException), new string[0]),
            ["no number"] = (() => Ports.Set("COM", InterfaceMode.Mode1), typeof(ArgumentException), new string[0]),
            ["a number as text"] = (() => Ports.Get("7"), typeof(ArgumentException), new string[0]),
            ["null"] = (() => Ports.Set(null!, InterfaceMode.Mode1), typeof(ArgumentNullException), new string[0]),
            ["interface mode 4"] = (() => Ports.Set(3, (InterfaceMode)4), typeof(ArgumentOutOfRangeException), new string[0]),
            ["tx mode 2 after a good change"] = (() => Ports.Set(3, InterfaceMode.Mode1, txMode: 2), typeof(ArgumentOutOfRangeException), new string[0]),
            ["tx mode -1"] = (() => Ports.Set("COM3", txMode: -1), typeof(ArgumentOutOfRangeException), new string[0]),
            ["ten digits, COM7 in 32 bits"] = (() => Ports.Get("COM4294967303"), typeof(ArgumentException), new string[0]),
            // Neither the lister nor the library's records give it.
            ["not present"] = (() => Ports.Set("COM2", InterfaceMode.Mode1), typeof(ArgumentException), new[] { "EnumCOMPortsEx", "PoGetAllPortInfo" }),
            ["not present, get"] = (() => Ports.Get(2), typeof(ArgumentException), new[] { "EnumCOMPortsEx", "PoGetAllPortInfo" }),
        };

        public static TheoryData<string> BadArgumentNames() => new(BadArguments.Keys);

        [Theory]
        [MemberData(nameof(BadArgumentNames))]
        public void BadArgumentsChangeNothing(string argument)
        {
            var (call, exception, calls) = BadArguments[argument];
            string before = Simulator.Dump();

            Assert.IsType(exception, Record.Exception(call));

            Assert.Equal(calls, Counted.Calls.Keys.ToArray());
            Assert.Equal(before, Simulator.Dump());
        }

        /// <summary>The four-port adapter's driver rejects every request.</summary>
        private static JsonObject WithRefusingDriver(JsonObject document)
        {
            const string path = @"\\?\kb4p0001#ports";
            foreach (JsonNode? device in document["devices"]!.AsArray())
            {
                if ((string?)device!["id"] == Karbend.InstanceId)
                {
                    device["interfaces"] = new JsonArray(new JsonObject { ["class"] = "ports", ["path"] = path });
                }
            }
            document["drivers"] = new JsonObject { [path] = new JsonObject { ["rejectError"] = 31 } };
            return document;
        }

        /// <summary>The tovelser adapter becomes one of capability 0x10, which
        /// accepts interface mode 0 without sending or storing it.</summary>
        private static JsonObject WithModeZeroOnly(JsonObject document) =>
            JsonNode.Parse(document.ToJsonString().Replace("PID_1131", "PID_1110"))!.AsObject();
    }
}
