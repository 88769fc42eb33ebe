using System.Collections.Generic;
using System.ComponentModel;
using System.Linq;

namespace Portopt
{
    /// <summary>A change that did not take.  Either the library refused it
    /// (<see cref="Accepted"/> false, <see cref="Win32Exception.NativeErrorCode"/>
    /// the code the change call left: 87 for a value the adapter does not
    /// take, 1016 when the stored setting could not be read or written,
    /// another code when the adapter could not be reached or refused the
    /// change, such as the driver's own, 31 or 1; 0 when the call left no
    /// code), or the library accepted it but the port does not read back
    /// the value asked for (<see cref="Accepted"/> true, code 0).  The options
    /// of the same <see cref="Ports.Set(int, InterfaceMode?, bool?, int?, bool?)"/>
    /// call after this one were not tried.</summary>
    public sealed class PortOptionException : Win32Exception
    {
        internal PortOptionException(int code, string portName, PortOption option, bool accepted, Port readBack,
            IReadOnlyList<PortOption> applied)
            : base(accepted ? 0 : code, Describe(code, portName, option, accepted, readBack, applied))
        {
            PortName = portName;
            Option = option;
            Accepted = accepted;
            ReadBack = readBack;
            Applied = applied;
        }

        /// <summary>The port that was to change, by its listed name.</summary>
        public string PortName { get; }

        /// <summary>The option that did not change.</summary>
        public PortOption Option { get; }

        /// <summary>True when the change call reported success but the port
        /// reads back another value.</summary>
        public bool Accepted { get; }

        /// <summary>The port as read back right after the change call.</summary>
        public Port ReadBack { get; }

        /// <summary>The options of the same call that were changed, and read
        /// back, before this one.</summary>
        public IReadOnlyList<PortOption> Applied { get; }

        /// <summary>Why a change call failed, from the code it left, as
        /// portctl words it.</summary>
        internal static string Reason(int code) => code switch
        {
            87 => "a value out of range",
            1016 => "the stored setting could not be read or written",
            // An adapter that cannot be opened leaves no code either.
            0 => "the adapter could not be reached or refused the change, no code given",
            // The library keeps only a refused request's own code.
            _ => $"the adapter refused the change (error {code})",
        };

        /// <summary>The option as portctl names it.</summary>
        internal static string NameOf(PortOption option) => option switch
        {
            PortOption.InterfaceMode => "interface",
            PortOption.FastFlush => "fastflush",
            PortOption.TxMode => "txmode",
            _ => "fifo",
        };

        private static string Describe(int code, string portName, PortOption option, bool accepted, Port readBack,
            IReadOnlyList<PortOption> applied)
        {
            string reads = ValueOf(readBack, option);
            string why = accepted
                ? $"the change was accepted but reads back {reads}"
                : code == 0 ? $"the adapter refused the change, no code given; reads back {reads}"
                : code is 87 or 1016 ? $"{Reason(code)} (error {code}); reads back {reads}"
                : $"{Reason(code)}; reads back {reads}";
            string before = applied.Count == 0 ? "nothing" : string.Join(", ", applied.Select(NameOf));
            return $"{portName} {NameOf(option)} not changed: {why}; applied before it: {before}";
        }

        /// <summary>The option's value in <paramref name="port"/> as portctl
        /// shows it.</summary>
        internal static string ValueOf(Port port, PortOption option)
        {
            (OptionState state, int raw) = port.Entry(option);
            return state switch
            {
                OptionState.Stored when option == PortOption.UartFifo => raw != 0 ? "on" : "off",
                OptionState.Stored => raw.ToString(System.Globalization.CultureInfo.InvariantCulture),
                OptionState.NotStored => "-",
                _ => "n/a",
            };
        }
    }
}
