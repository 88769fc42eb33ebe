using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using Portopt;
using Portopt.WineTests;
using static Portopt.WineTests.Suite;

// The .NET library from its NuGet package, with the package's own DLLs, on
// Windows' own .NET under Wine, on the machine of WineMachine.cs.  With
// --bench MS, times Ports.GetAll() beside the calls it makes instead.
internal static class Program
{
    private static int Main(string[] args)
    {
        string portopt = Path.Combine(AppContext.BaseDirectory, "portopt.dll");
        if (args.Length == 2 && args[0] == "--bench")
        {
            // What Ports.GetAll() costs beside the calls it makes.
            WineMachine.BuildForTimings(portopt);
            WineMachine.Compare("Ports.GetAll()", () => Ports.GetAll(), double.Parse(args[1]));
            WineMachine.Close();
            return 0;
        }
        var suite = new Suite();
        suite.Case("the record as the C compiler lays it out", RecordLayout);
        suite.Case("every port, the one without a COM-port interface too", Listing);
        suite.Case("one port by name and by number", OnePort);
        suite.Case("changes are read back and seen from C", Changes);
        suite.Case("a driver's refusal carries its code", DriverRefusal);
        suite.Case("a mode the adapter lacks is refused before any request", Capability);
        suite.Case("bad arguments change nothing", BadArguments);
        suite.Case("a profile is exported, drifts, is tested and imported", Profile);
        Console.WriteLine($"on {RuntimeInformation.OSDescription}, {RuntimeInformation.ProcessArchitecture}, .NET {Environment.Version}");
        return suite.RunOnWineMachine(portopt);
    }

    /// <summary>A port as one line: name, adapter, position, the four
    /// options ("-" not stored, "n/a" not there) and the accepted modes.</summary>
    private static string Line(Port port) =>
        $"{port.Name} {port.Adapter?.InstanceId ?? "-"} {port.Position?.ToString() ?? "-"} {port.InterfaceMode} {port.FastFlush} " +
        $"{port.TxMode} {port.UartFifo} {port.AcceptedInterfaceModes}";

    private static void Listing()
    {
        // COM12 is the library's alone: the lister does not give it.
        Equal("COM1 COM3 COM4 COM8 COM10", string.Join(" ", WineMachine.ListedNames().Split(' ').OrderBy(name => name.Length).ThenBy(name => name)), "the lister's names");
        Equal(string.Join("\n", WineMachine.Listing), string.Join("\n", Ports.GetAll().Select(Line)), "the listing");
    }

    private static void OnePort()
    {
        Equal(WineMachine.Listing[2], Line(Ports.Get("com4")), "COM4 by name");
        Equal(WineMachine.Listing[5], Line(Ports.Get(12)), "COM12 by number");
        Equal(WineMachine.Listing[5], Line(Ports.Get("COM12")), "COM12 by name");
    }

    private static void Changes()
    {
        Port changed = Ports.Set("COM3", InterfaceMode.Mode2, fastFlush: false, txMode: 1, uartFifo: false);
        Equal(@"COM3 USB\VID_1A2B&PID_2044\KB4P0001 1 Mode2 False 1 False All", Line(changed), "COM3 as read back");
        Equal("2 0 1 0", string.Join(" ", Enum.GetValues<WineMachine.Option>().Select(option => WineMachine.Query(option, 3))), "COM3 from C");
        Equal(1L, WineMachine.Stored(3, "InterfaceMode"), "COM3's mode 2 as the KARBEND driver stores it");

        Equal(InterfaceMode.Mode1, Ports.Set(12, interfaceMode: InterfaceMode.Mode1).InterfaceMode.Value, "COM12 as read back");
        Equal(1, WineMachine.Query(WineMachine.Option.InterfaceMode, 12), "COM12 from C");
        Equal(5, WineMachine.Requests(WineMachine.Karbend), "requests to the KARBEND adapter, one per change");
    }

    private static void DriverRefusal()
    {
        foreach (uint code in new uint[] { 31, 1 })
        {
            WineMachine.Refuse(WineMachine.Karbend, code);
            PortOptionException refusal = Throws<PortOptionException>(() => Ports.Set("COM4", txMode: 0), $"refused with {code}");
            Equal((int)code, refusal.NativeErrorCode, "the driver's code");
            Equal(false, refusal.Accepted, "accepted");
            True(refusal.Message.Contains($"(error {code})"), refusal.Message);
            Equal(1L, WineMachine.Stored(4, "TxMode"), "COM4's stored transmit mode");
            True(!refusal.Message.Contains("error 0"), refusal.Message);
        }
    }

    private static void Capability()
    {
        var cases = new (string Port, InterfaceMode Mode, string Adapter, string Takes)[]
        {
            ("COM10", InterfaceMode.Mode0, WineMachine.NoModeZero, "modes 1, 2 and 3"),
            ("COM8", InterfaceMode.Mode2, WineMachine.ModeZeroOnly, "mode 0 only"),
        };
        foreach (var (port, mode, adapter, takes) in cases)
        {
            var refusal = Throws<ArgumentOutOfRangeException>(() => Ports.Set(port, interfaceMode: mode), $"{port} {mode}");
            True(refusal.Message.Contains(adapter) && refusal.Message.Contains(takes), refusal.Message);
            Equal(0, WineMachine.Requests(adapter), $"requests to {adapter}");
        }
        // Mode 0 is what the mode-0-only adapter has: taken without a request.
        Equal(InterfaceMode.Mode0, Ports.Set("COM8", InterfaceMode.Mode0).InterfaceMode.Value, "COM8");
        Equal(0, WineMachine.Requests(WineMachine.ModeZeroOnly), "requests to the mode-0-only adapter");
    }

    private static void BadArguments()
    {
        var calls = new (string What, Action Call, Type Exception)[]
        {
            ("COM0", () => Ports.Get(0), typeof(ArgumentOutOfRangeException)),
            ("COM257", () => Ports.Set("COM257", InterfaceMode.Mode1), typeof(ArgumentOutOfRangeException)),
            ("a leading zero", () => Ports.Get("COM03"), typeof(ArgumentException)),
            ("ten digits", () => Ports.Get("COM4294967299"), typeof(ArgumentException)),
            ("interface mode 4", () => Ports.Set(3, (InterfaceMode)4), typeof(ArgumentOutOfRangeException)),
            ("transmit mode 2", () => Ports.Set("COM3", InterfaceMode.Mode1, txMode: 2), typeof(ArgumentOutOfRangeException)),
            ("not present", () => Ports.Set("COM2", InterfaceMode.Mode1), typeof(ArgumentException)),
        };
        foreach (var (what, call, exception) in calls)
        {
            Exception? thrown = null;
            try
            {
                call();
            }
            catch (Exception e)
            {
                thrown = e;
            }
            Equal(exception, thrown?.GetType(), what);
        }
        Equal(0, WineMachine.Requests(WineMachine.Karbend), "requests");
        Equal(0, WineMachine.Query(WineMachine.Option.InterfaceMode, 3), "COM3's mode");
    }

    private static void Profile()
    {
        string exported = Portopt.Profile.Export().ToJson();
        True(exported.Contains("\"COM12\""), "the export lacks COM12:\n" + exported);
        Ports.Set("COM3", InterfaceMode.Mode3);
        Ports.Set(12, fastFlush: false);

        ProfileReport drift = Portopt.Profile.Parse(exported).Test();
        Equal(false, drift.Compliant, "compliant after the drift");
        Equal("COM3 interface: would apply (3 -> 0), COM12 fastflush: would apply (0 -> 1)",
            string.Join(", ", drift.Outcomes.Where(outcome => outcome.Result != ProfileResult.Unchanged)), "the drift");

        ProfileReport imported = Portopt.Profile.Parse(exported).Import();
        Equal(true, imported.Changed, "changed by the import");
        Equal(true, Portopt.Profile.Parse(exported).Test().Compliant, "compliant after the import");
        Equal("0 1", $"{WineMachine.Query(WineMachine.Option.InterfaceMode, 3)} {WineMachine.Query(WineMachine.Option.FastFlush, 12)}", "COM3's mode and COM12's fast flush from C");
    }

    private static void RecordLayout()
    {
        Dictionary<string, long> native = WineMachine.RecordLayout()
            .Split('\n', StringSplitOptions.RemoveEmptyEntries)
            .Select(line => line.Trim().Split(' '))
            .ToDictionary(words => words[0], words => long.Parse(words[1]));
        Assembly library = typeof(Ports).Assembly;
        Type record = library.GetType("Portopt.Interop.PortInfoRecord", throwOnError: true)!;
        Type option = library.GetType("Portopt.Interop.OptionRecord", throwOnError: true)!;
        Type outcome = library.GetType("Portopt.Interop.ProfileOutcomeRecord", throwOnError: true)!;
        var managed = new Dictionary<string, long>
        {
            ["sizeof(PoPortInfo)"] = Marshal.SizeOf(record),
            ["sizeof(PoOption)"] = Marshal.SizeOf(option),
            ["PO_PORT_INFO_V1_SIZE"] = Marshal.OffsetOf(record, "interfaceModes").ToInt64(),
            ["sizeof(PoProfileOutcome)"] = Marshal.SizeOf(outcome),
            ["PoProfileOutcome.unlisted"] = Marshal.OffsetOf(outcome, "unlisted").ToInt64(),
        };
        foreach (FieldInfo field in record.GetFields(BindingFlags.NonPublic | BindingFlags.Instance))
        {
            managed[field.Name] = Marshal.OffsetOf(record, field.Name).ToInt64();
        }
        foreach (FieldInfo field in option.GetFields(BindingFlags.NonPublic | BindingFlags.Instance))
        {
            managed["PoOption." + field.Name] = Marshal.OffsetOf(option, field.Name).ToInt64();
        }
        string Text(IEnumerable<KeyValuePair<string, long>> entries) =>
            string.Join(", ", entries.OrderBy(entry => entry.Key, StringComparer.Ordinal).Select(entry => $"{entry.Key} {entry.Value}"));
        Equal(Text(native.Where(entry => managed.ContainsKey(entry.Key) || !entry.Key.StartsWith("PO_"))), Text(managed), "the record's layout");
    }
}
