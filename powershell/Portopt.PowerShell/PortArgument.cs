using System.Globalization;

namespace Portopt.PowerShell
{
    /// <summary>A port as the cmdlets take it: COM7, com7 or 7.</summary>
    internal static class PortArgument
    {
        /// <summary>The port: by its number when it is given as digits (so
        /// that 7 names COM7), else by its name.</summary>
        internal static Port Get(string port) =>
            Number(port) is int number ? Ports.Get(number) : Ports.Get(port);

        internal static Port Set(string port, InterfaceMode? interfaceMode, bool? fastFlush, int? txMode, bool? uartFifo) =>
            Number(port) is int number
                ? Ports.Set(number, interfaceMode, fastFlush, txMode, uartFifo)
                : Ports.Set(port, interfaceMode, fastFlush, txMode, uartFifo);

        private static int? Number(string port) =>
            port.Length > 0 && port.Length <= 9 && int.TryParse(port, NumberStyles.None, CultureInfo.InvariantCulture, out int number)
                ? number
                : (int?)null;
    }
}
