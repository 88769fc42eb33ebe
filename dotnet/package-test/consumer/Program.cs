using System;
using Portopt;

// Prints every port as `portctl list` does, one line each, fields separated
// by single spaces.
internal static class Program
{
    private static int Main()
    {
        Console.WriteLine("PORT ADAPTER FAMILY POS INTERFACE FASTFLUSH TXMODE FIFO");
        foreach (Port port in Ports.GetAll())
        {
            Adapter adapter = port.Adapter;
            Console.WriteLine(string.Join(" ",
                port.Name,
                adapter == null ? "-" : string.Format("{0} {1:X4}:{2:X4}", adapter.Bus == AdapterBus.Pci ? "PCI" : "USB", adapter.VendorId, adapter.ProductId),
                adapter == null ? "-" : adapter.Family == AdapterFamily.Tovelser ? "tovelser" : "KARBEND",
                port.Position.HasValue ? port.Position.ToString() : "-",
                Shown(port.InterfaceMode, mode => ((int)mode).ToString()),
                Shown(port.FastFlush, on => on ? "1" : "0"),
                Shown(port.TxMode, mode => mode.ToString()),
                Shown(port.UartFifo, enabled => enabled ? "on" : "off")));
        }
        return 0;
    }

    private static string Shown<T>(OptionValue<T> option, Func<T, string> show) where T : struct
    {
        switch (option.State)
        {
            case OptionState.Stored: return show(option.Value);
            case OptionState.NotStored: return "-";
            default: return "n/a";
        }
    }
}
