using System;
using System.Collections.Generic;
using System.Linq;
using Portopt.Interop;

namespace Portopt
{
    /// <summary>Lists, reads and changes the COM ports of serial adapters.
    /// Every call reads the machine afresh; nothing is kept between calls,
    /// and the calls may be made from several threads at once.</summary>
    public static partial class Ports
    {
        /// <summary>The lowest COM number the library addresses.</summary>
        public const int FirstNumber = 1;

        /// <summary>The highest COM number the library addresses.</summary>
        public const int LastNumber = 256;

        /// <summary>Every port the system lists, and every port the library
        /// finds among the ports-class devices though no COM-port interface
        /// lists it: COMn by n (COM2 before COM10), names that are not COMn
        /// last, each with its adapter and options, read in one pass over the
        /// machine.</summary>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read; <c>NativeErrorCode</c> says why.</exception>
        public static IReadOnlyList<Port> GetAll()
        {
            Library library = Library.Current;
            IReadOnlyList<string> names = library.ComPortNames();
            var records = new Dictionary<int, PortInfoRecord>();
            foreach (PortInfoRecord record in library.AllPortInfo())
            {
                records[record.port] = record;
            }
            // A port whose device has no COM-port interface is not listed,
            // yet the library serves it: its record names it.  Each port
            // once: the first name of each COM number, each other name once.
            var seen = new HashSet<(int?, string?)>();
            IEnumerable<string> ports = names.Concat(records.Keys.Select(number => "COM" + number))
                .Where(name => seen.Add(PortNames.ComNumber(name) is int number ? (number, null) : (null, name)));
            return PortNames.NaturalOrder(ports).Select(name => Listed(library, name, records)).ToList().AsReadOnly();
        }

        /// <summary>One present port, from one reading of it.</summary>
        /// <param name="number">The COM number, 1 to 256.</param>
        /// <exception cref="ArgumentOutOfRangeException">A number outside 1 to 256.</exception>
        /// <exception cref="ArgumentException">No present port has the number.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or the port cannot be read.</exception>
        public static Port Get(int number)
        {
            PortNames.CheckNumber(number, nameof(number));
            return Read(Library.Current, PresentName(number, nameof(number)), number);
        }

        /// <summary>One present port, from one reading of it.</summary>
        /// <param name="name">The port's name: "COM7" or "com7".</param>
        /// <exception cref="ArgumentNullException"><paramref name="name"/> is null.</exception>
        /// <exception cref="ArgumentException">Not a name of the form COMn, or
        /// no present port has it.</exception>
        /// <exception cref="ArgumentOutOfRangeException">n outside 1 to 256.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or the port cannot be read.</exception>
        public static Port Get(string name) => Get(PortNames.NumberOf(name, nameof(name)));

        /// <summary>Changes the given options of a present port, in the order
        /// interface mode, fast flush, transmit mode, UART FIFO, reading the
        /// port back after each, and returns the port as read back last.
        /// Options left null are not touched.</summary>
        /// <param name="number">The COM number, 1 to 256.</param>
        /// <param name="interfaceMode">The interface mode to set.</param>
        /// <param name="fastFlush">Fast flush on (true) or off.</param>
        /// <param name="txMode">The transmit mode, 0 or 1.</param>
        /// <param name="uartFifo">The UART FIFO enabled (true) or disabled.</param>
        /// <exception cref="ArgumentOutOfRangeException">A number or a value
        /// out of range, or an interface mode the port's adapter does not take
        /// (<see cref="Port.AcceptedInterfaceModes"/>); nothing was
        /// changed.</exception>
        /// <exception cref="ArgumentException">No present port has the
        /// number; nothing was changed.</exception>
        /// <exception cref="PortOptionException">A change that did not take;
        /// the options after it were not tried.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or the port cannot be read.</exception>
        public static Port Set(int number, InterfaceMode? interfaceMode = null, bool? fastFlush = null, int? txMode = null,
            bool? uartFifo = null)
        {
            PortNames.CheckNumber(number, nameof(number));
            var changes = new List<(PortOption Option, int Value)>();
            if (interfaceMode.HasValue)
            {
                if (!Enum.IsDefined(typeof(InterfaceMode), interfaceMode.Value))
                {
                    throw new ArgumentOutOfRangeException(nameof(interfaceMode), interfaceMode.Value, "Interface modes are 0 to 3.");
                }
                changes.Add((PortOption.InterfaceMode, (int)interfaceMode.Value));
            }
            if (fastFlush.HasValue)
            {
                changes.Add((PortOption.FastFlush, fastFlush.Value ? 1 : 0));
            }
            if (txMode.HasValue)
            {
                if (txMode.Value != 0 && txMode.Value != 1)
                {
                    throw new ArgumentOutOfRangeException(nameof(txMode), txMode.Value, "The transmit mode is 0 or 1.");
                }
                changes.Add((PortOption.TxMode, txMode.Value));
            }
            if (uartFifo.HasValue)
            {
                changes.Add((PortOption.UartFifo, uartFifo.Value ? 1 : 0));
            }
            string name = PresentName(number, nameof(number));
            if (interfaceMode.HasValue)
            {
                Port port = Read(Library.Current, name, number);
                if (!port.Accepts(interfaceMode.Value))
                {
                    throw new ArgumentOutOfRangeException(nameof(interfaceMode), interfaceMode.Value, ModeRefusal(port, interfaceMode.Value));
                }
            }
            return Apply(Library.Current, name, number, changes);
        }

        /// <summary>Changes the given options of a present port; see
        /// <see cref="Set(int, InterfaceMode?, bool?, int?, bool?)"/>.</summary>
        /// <param name="name">The port's name: "COM7" or "com7".</param>
        /// <param name="interfaceMode">The interface mode to set.</param>
        /// <param name="fastFlush">Fast flush on (true) or off.</param>
        /// <param name="txMode">The transmit mode, 0 or 1.</param>
        /// <param name="uartFifo">The UART FIFO enabled (true) or disabled.</param>
        /// <exception cref="ArgumentNullException"><paramref name="name"/> is null.</exception>
        /// <exception cref="ArgumentException">Not a name of the form COMn, or
        /// no present port has it; nothing was changed.</exception>
        /// <exception cref="ArgumentOutOfRangeException">A number or a value
        /// out of range; nothing was changed.</exception>
        /// <exception cref="PortOptionException">A change that did not take;
        /// the options after it were not tried.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or the port cannot be read.</exception>
        public static Port Set(string name, InterfaceMode? interfaceMode = null, bool? fastFlush = null, int? txMode = null,
            bool? uartFifo = null) =>
            Set(PortNames.NumberOf(name, nameof(name)), interfaceMode, fastFlush, txMode, uartFifo);

        private static Port Apply(Library library, string name, int number, List<(PortOption Option, int Value)> changes)
        {
            var applied = new List<PortOption>();
            Port? port = null;
            foreach ((PortOption option, int value) in changes)
            {
                int code = library.Change(option, number, value, out bool succeeded);
                port = Read(library, name, number);
                (OptionState state, int raw) = port.Entry(option);
                if (!succeeded || state != OptionState.Stored || raw != value)
                {
                    throw new PortOptionException(code, name, option, succeeded, port, applied.AsReadOnly());
                }
                applied.Add(option);
            }
            return port ?? Read(library, name, number);
        }

        private static Port Read(Library library, string name, int number) =>
            PortRecords.FromRecord(name, library.PortInfo(number));

        private static Port Listed(Library library, string name, Dictionary<int, PortInfoRecord> records)
        {
            int? number = PortNames.ComNumber(name);
            if (!PortNames.Addressable(number))
            {
                return PortRecords.Unaddressable(name, number);
            }
            if (!records.TryGetValue(number!.Value, out PortInfoRecord record))
            {
                // A COMn name that no ports-class device carries: read on its own.
                record = library.PortInfo(number.Value);
                records[number.Value] = record;
            }
            return PortRecords.FromRecord(name, record);
        }

        /// <summary>The listed name of COM <paramref name="number"/>, or
        /// COMn for a present port that only the library's records give.</summary>
        /// <exception cref="ArgumentException">No present port has it.</exception>
        private static string PresentName(int number, string parameter)
        {
            Library library = Library.Current;
            foreach (string name in library.ComPortNames())
            {
                if (PortNames.ComNumber(name) == number)
                {
                    return name;
                }
            }
            if (library.AllPortInfo().Any(record => record.port == number))
            {
                return "COM" + number;
            }
            throw new ArgumentException($"COM{number} is not present.", parameter);
        }

        /// <summary>"COM8: its adapter USB\... does not take interface mode
        /// 1; it takes mode 0 only".</summary>
        internal static string ModeRefusal(Port port, InterfaceMode mode)
        {
            int[] modes = Enumerable.Range(0, 4).Where(m => port.Accepts((InterfaceMode)m)).ToArray();
            string taken = modes.Length == 1 ? $"mode {modes[0]} only"
                : $"modes {string.Join(", ", modes.Take(modes.Length - 1))} and {modes[modes.Length - 1]}";
            string adapter = port.Adapter?.InstanceId ?? "(none)";
            return $"{port.Name}: its adapter {adapter} does not take interface mode {(int)mode}; it takes {taken}.";
        }
    }
}
