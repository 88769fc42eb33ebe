using System.Collections.Generic;
using System.Linq;

namespace Portopt.Tests
{
    /// <summary>The demo machine as the library should read it: a four-port
    /// KARBEND adapter in shared-table mode (COM3 to COM6), a single-port PCI
    /// adapter (COM7), two tovelser-family ports in per-port mode (COM8,
    /// COM9), whose family has only the interface mode, a COM1 with no
    /// adapter, and a single-port USB adapter (COM10) whose driver gives its
    /// port no COM-port interface, so that only the records name it.
    /// Options are written as portctl shows them: a value, "-" for not
    /// stored, "n/a" for an option the family lacks.</summary>
    internal static class DemoMachine
    {
        internal static readonly Adapter Karbend = new Adapter(@"USB\VID_1A2B&PID_2044\KB4P0001", AdapterBus.Usb, 0x1A2B, 0x2044, AdapterFamily.Karbend);
        internal static readonly Adapter Pci = new Adapter(@"PCI\VEN_1A2B&DEV_2021&SUBSYS_00011A2B&REV_01\4&2A3B4C5D&0&00E4", AdapterBus.Pci, 0x1A2B, 0x2021, AdapterFamily.Karbend);
        internal static readonly Adapter Tovelser = new Adapter(@"USB\VID_1A2B&PID_1131\TV2P0042", AdapterBus.Usb, 0x1A2B, 0x1131, AdapterFamily.Tovelser);
        internal static readonly Adapter SinglePort = new Adapter(@"USB\VID_1A2B&PID_2031\KB1P0010", AdapterBus.Usb, 0x1A2B, 0x2031, AdapterFamily.Karbend);

        /// <summary>The modes of the tovelser adapter and the single-port
        /// one, whose products (capability 0x30) refuse interface mode 0.</summary>
        internal const InterfaceModes NotZero = InterfaceModes.Mode1 | InterfaceModes.Mode2 | InterfaceModes.Mode3;

        internal static readonly IReadOnlyList<Port> Ports = new[]
        {
            // name, adapter, position, interface, fastflush, txmode, fifo, interface modes
            Row("COM1", null, null, "-", "-", "-", "-"),
            Row("COM3", Karbend, 1, "0", "1", "0", "on"),
            Row("COM4", Karbend, 2, "1", "0", "1", "off"),
            Row("COM5", Karbend, 3, "2", "1", "-", "on"),
            Row("COM6", Karbend, 4, "-", "-", "-", "-"),
            Row("COM7", Pci, null, "3", "0", "0", "on"),
            Row("COM8", Tovelser, 1, "2", "n/a", "n/a", "n/a", NotZero),
            Row("COM9", Tovelser, 2, "-", "n/a", "n/a", "n/a", NotZero),
            Row("COM10", SinglePort, null, "1", "0", "1", "on", NotZero),
        };

        internal static Port Port(string name) => Ports.Single(port => port.Name == name);

        /// <summary>The demo machine with <paramref name="changed"/> in place
        /// of the port of its name.</summary>
        internal static List<Port> With(Port changed) =>
            Ports.Select(port => port.Name == changed.Name ? changed : port).ToList();

        internal static Port Row(string name, Adapter? adapter, int? position, string interfaceMode, string fastFlush,
            string txMode, string fifo, InterfaceModes modes = InterfaceModes.All) =>
            new Port(name, PortNames.ComNumber(name), adapter, position,
                Option(interfaceMode, raw => (InterfaceMode)raw),
                Option(fastFlush, raw => raw != 0),
                Option(txMode, raw => raw),
                Option(fifo, raw => raw != 0, notStored: 0),
                modes);

        private static OptionValue<T> Option<T>(string shown, System.Func<int, T> convert, int notStored = -1)
            where T : struct => shown switch
        {
            "-" => new OptionValue<T>(OptionState.NotStored, convert(notStored), notStored),
            "n/a" => new OptionValue<T>(OptionState.NotAvailable, convert(0), 0),
            "on" => new OptionValue<T>(OptionState.Stored, convert(1), 1),
            "off" => new OptionValue<T>(OptionState.Stored, convert(0), 0),
            _ => new OptionValue<T>(OptionState.Stored, convert(int.Parse(shown)), int.Parse(shown)),
        };
    }
}
