using System;

namespace Portopt
{
    /// <summary>One COM port: its name and number, the adapter that carries
    /// it, its position there, and its four options as the library reads
    /// them.  A snapshot: it does not change when the port does.</summary>
    public sealed record Port
    {
        internal Port(
            string name,
            int? number,
            Adapter? adapter,
            int? position,
            OptionValue<InterfaceMode> interfaceMode,
            OptionValue<bool> fastFlush,
            OptionValue<int> txMode,
            OptionValue<bool> uartFifo,
            InterfaceModes acceptedInterfaceModes)
        {
            Name = name;
            Number = number;
            Adapter = adapter;
            Position = position;
            InterfaceMode = interfaceMode;
            FastFlush = fastFlush;
            TxMode = txMode;
            UartFifo = uartFifo;
            AcceptedInterfaceModes = acceptedInterfaceModes;
        }

        /// <summary>The port's name as the system lists it: <c>COM7</c>, or
        /// a name that is not of the form COMn.</summary>
        public string Name { get; }

        /// <summary>n of the name COMn; null for a name of another form.
        /// The library addresses COM numbers from <see cref="Ports.FirstNumber"/>
        /// to <see cref="Ports.LastNumber"/>: a port of another name or
        /// number has no adapter, position or options.</summary>
        public int? Number { get; }

        /// <summary>The adapter that carries the port; null when none
        /// resolved.</summary>
        public Adapter? Adapter { get; }

        /// <summary>n of the port's "Port n" on its adapter; null for a
        /// single-port adapter and without an adapter.</summary>
        public int? Position { get; }

        /// <summary>The serial interface mode.</summary>
        public OptionValue<InterfaceMode> InterfaceMode { get; }

        /// <summary>Fast flush: true when on.  Tovelser-family adapters do not
        /// have it.</summary>
        public OptionValue<bool> FastFlush { get; }

        /// <summary>The transmit mode, 0 or 1.  Tovelser-family adapters do
        /// not have it.</summary>
        public OptionValue<int> TxMode { get; }

        /// <summary>The UART FIFO: true when enabled.  Tovelser-family
        /// adapters do not have it.</summary>
        public OptionValue<bool> UartFifo { get; }

        /// <summary>The interface modes the port's adapter accepts: all four
        /// for most adapters (and for a port whose adapter did not resolve),
        /// modes 1 to 3 or mode 0 alone for some products;
        /// <see cref="InterfaceModes.None"/> for a port the library does not
        /// address.</summary>
        public InterfaceModes AcceptedInterfaceModes { get; }

        /// <summary>Whether the port's adapter accepts interface mode
        /// <paramref name="mode"/>.</summary>
        public bool Accepts(InterfaceMode mode) =>
            Enum.IsDefined(typeof(InterfaceMode), mode) && (AcceptedInterfaceModes & (InterfaceModes)(1 << (int)mode)) != 0;

        /// <summary>The state and raw value of one option.</summary>
        internal (OptionState State, int RawValue) Entry(PortOption option) => option switch
        {
            PortOption.InterfaceMode => (InterfaceMode.State, InterfaceMode.RawValue),
            PortOption.FastFlush => (FastFlush.State, FastFlush.RawValue),
            PortOption.TxMode => (TxMode.State, TxMode.RawValue),
            _ => (UartFifo.State, UartFifo.RawValue),
        };
    }
}
