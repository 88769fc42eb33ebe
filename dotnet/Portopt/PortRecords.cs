using System.Text;
using Portopt.Interop;

namespace Portopt
{
    /// <summary>Ports made from the library's records.</summary>
    internal static class PortRecords
    {
        private const int FamilyUnresolved = 0;

        internal static unsafe Port FromRecord(string name, in PortInfoRecord record)
        {
            Adapter? adapter = null;
            if (record.family != FamilyUnresolved)
            {
                string id;
                fixed (byte* bytes = record.adapterId)
                {
                    int length = 0;
                    while (length < PortInfoRecord.AdapterIdBytes && bytes[length] != 0)
                    {
                        length++;
                    }
                    // Instance IDs are ASCII; anything else shows as '?'.
                    id = Encoding.ASCII.GetString(bytes, length);
                }
                adapter = new Adapter(id, (AdapterBus)record.bus, record.vendorId, record.productId, (AdapterFamily)record.family);
            }
            int? position = adapter != null && record.position > 0 ? record.position : (int?)null;
            return new Port(
                name,
                record.port,
                adapter,
                position,
                Option(record.interfaceMode, raw => (InterfaceMode)raw),
                Option(record.fastFlush, raw => raw != 0),
                Option(record.txMode, raw => raw),
                Option(record.uartFifo, raw => raw != 0),
                AcceptedModes(record.interfaceModes));
        }

        /// <summary>The record's modes; a library that predates them leaves
        /// none, and restricts nothing.</summary>
        private static InterfaceModes AcceptedModes(int modes) =>
            (modes & (int)InterfaceModes.All) == 0 ? InterfaceModes.All : (InterfaceModes)(modes & (int)InterfaceModes.All);

        /// <summary>A port the library does not address: a name that is not
        /// COMn, or a number beyond its range.</summary>
        internal static Port Unaddressable(string name, int? number) =>
            new Port(name, number, null, null, default, default, default, default, InterfaceModes.None);

        private static OptionValue<T> Option<T>(OptionRecord entry, System.Func<int, T> convert)
            where T : struct
        {
            OptionState state = entry.available == 0 ? OptionState.NotAvailable
                : entry.stored == 0 ? OptionState.NotStored
                : OptionState.Stored;
            return new OptionValue<T>(state, convert(entry.value), entry.value);
        }
    }
}
