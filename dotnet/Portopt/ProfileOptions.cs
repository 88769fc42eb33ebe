using System;
using System.Globalization;

namespace Portopt
{
    /// <summary>How a profile's entries find the present ports.</summary>
    public enum ProfileMatch
    {
        /// <summary>Each entry goes to the port of its own COM number.</summary>
        Number,

        /// <summary>Each entry goes to the port at its position ("Port n") on
        /// the present adapter of the vendor and product it names, whatever
        /// COM number that port has here: for setting up other machines,
        /// where the same adapters got other numbers.  Of several such
        /// adapters, the one with the entry's instance ID; a single-port
        /// adapter by the adapter alone.</summary>
        Position,
    }

    /// <summary>The four options as a profile names them, in the order an
    /// export writes them, and their values in words.</summary>
    internal static class ProfileOptions
    {
        internal static readonly PortOption[] All =
            { PortOption.InterfaceMode, PortOption.FastFlush, PortOption.TxMode, PortOption.UartFifo };

        /// <summary>The option a profile or a report names.</summary>
        internal static PortOption Named(string name)
        {
            foreach (PortOption option in All)
            {
                if (PortOptionException.NameOf(option) == name)
                {
                    return option;
                }
            }
            throw new FormatException("not an option: " + name);
        }

        /// <summary>A value in words, as portctl shows it: "-" when the port
        /// holds none, on or off for the FIFO, else the number.</summary>
        internal static string Shown(PortOption option, int? value) => value switch
        {
            null => "-",
            int on when option == PortOption.UartFifo => on != 0 ? "on" : "off",
            int number => number.ToString(CultureInfo.InvariantCulture),
        };
    }
}
