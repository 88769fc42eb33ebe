namespace Portopt
{
    /// <summary>The serial interface mode of a port, one of four codes.  The
    /// codes are the library's numbering for every family (the KARBEND
    /// driver stores modes 1 and 2 the other way round; the library
    /// translates).</summary>
    public enum InterfaceMode
    {
        /// <summary>Interface mode 0.</summary>
        Mode0 = 0,

        /// <summary>Interface mode 1.</summary>
        Mode1 = 1,

        /// <summary>Interface mode 2.</summary>
        Mode2 = 2,

        /// <summary>Interface mode 3.</summary>
        Mode3 = 3,
    }

    /// <summary>The interface modes an adapter accepts, one flag per mode
    /// (flag n for mode n).</summary>
    [System.Flags]
    public enum InterfaceModes
    {
        /// <summary>No mode: the port is not one the library addresses.</summary>
        None = 0,

        /// <summary>Interface mode 0.</summary>
        Mode0 = 1,

        /// <summary>Interface mode 1.</summary>
        Mode1 = 2,

        /// <summary>Interface mode 2.</summary>
        Mode2 = 4,

        /// <summary>Interface mode 3.</summary>
        Mode3 = 8,

        /// <summary>Every mode: the adapter has no restriction.</summary>
        All = Mode0 | Mode1 | Mode2 | Mode3,
    }

    /// <summary>The driver family of an adapter.  The two families keep
    /// their settings under their own names, and a tovelser-family adapter
    /// has only the interface mode.</summary>
    public enum AdapterFamily
    {
        /// <summary>Adapters driven by the KARBEND driver: every adapter
        /// whose product ID does not mark the tovelser family.</summary>
        Karbend = 1,

        /// <summary>Adapters driven by the tovelser driver (product IDs
        /// 0x11nn).</summary>
        Tovelser = 2,
    }

    /// <summary>The bus an adapter sits on.</summary>
    public enum AdapterBus
    {
        /// <summary>Neither USB nor PCI, as far as its instance ID tells.</summary>
        None = 0,

        /// <summary>A USB adapter.</summary>
        Usb = 1,

        /// <summary>A PCI adapter.</summary>
        Pci = 2,
    }

    /// <summary>The four options of a port, in the order
    /// <see cref="Ports.Set(int, InterfaceMode?, bool?, int?, bool?)"/>
    /// applies them.</summary>
    public enum PortOption
    {
        /// <summary>The serial interface mode (<see cref="Port.InterfaceMode"/>).</summary>
        InterfaceMode,

        /// <summary>Fast flush (<see cref="Port.FastFlush"/>).</summary>
        FastFlush,

        /// <summary>The transmit mode (<see cref="Port.TxMode"/>).</summary>
        TxMode,

        /// <summary>The UART FIFO (<see cref="Port.UartFifo"/>).</summary>
        UartFifo,
    }

    /// <summary>What is known of one option of one port.</summary>
    public enum OptionState
    {
        /// <summary>The port has no such option: its adapter's family lacks
        /// it, or the port is not one the library addresses (a name that is
        /// not COMn, or a number beyond 256).  portctl shows n/a.</summary>
        NotAvailable = 0,

        /// <summary>The option exists, but no value is stored for the port.
        /// portctl shows -.</summary>
        NotStored = 1,

        /// <summary>A value is stored for the port.</summary>
        Stored = 2,
    }
}
