using System.Runtime.InteropServices;

namespace Portopt.Interop
{
    /// <summary>PoOption: what the option's query call answers, whether the
    /// adapter's family has the option, and whether a value is stored.</summary>
    [StructLayout(LayoutKind.Sequential)]
    internal struct OptionRecord
    {
        internal int value;
        internal int available;
        internal int stored;
    }

    /// <summary>PoPortInfo, field for field.  The caller sets <c>size</c>
    /// before each call; the library accepts any size from its own record's
    /// up, so a record of a later version still works with an older
    /// library.</summary>
    [StructLayout(LayoutKind.Sequential)]
    internal unsafe struct PortInfoRecord
    {
        internal const int AdapterIdBytes = 200;

        /// <summary>The size the library is told: this record's own.</summary>
        internal static readonly uint Size = (uint)Marshal.SizeOf<PortInfoRecord>();

        internal uint size;
        internal int port;
        internal fixed byte adapterId[AdapterIdBytes];
        internal int bus;
        internal int vendorId;
        internal int productId;
        internal int family;
        internal int position;
        internal OptionRecord interfaceMode;
        internal OptionRecord fastFlush;
        internal OptionRecord txMode;
        internal OptionRecord uartFifo;
        internal int interfaceModes;

        internal static PortInfoRecord Blank() => new PortInfoRecord { size = Size };
    }
}
