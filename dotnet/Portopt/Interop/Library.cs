using System;
using System.Collections.Generic;
using System.ComponentModel;

namespace Portopt.Interop
{
    /// <summary>The library calls as the rest of the package makes them:
    /// records filled, codes read right after each call, failures raised as
    /// <see cref="Win32Exception"/>.  Nothing is kept between calls.</summary>
    internal class Library
    {
        /// <summary>The calls in use; the tests put one in that counts them.</summary>
        internal static Library Current { get; set; } = new Library();

        static Library() => NativeLoading.Prepare();

        /// <summary>The record of COM <paramref name="number"/> (1 to 256),
        /// from one resolution of the port.</summary>
        internal virtual unsafe PortInfoRecord PortInfo(int number)
        {
            PortInfoRecord record = PortInfoRecord.Blank();
            LastError.Clear();
            int answer = NativeMethods.PoGetPortInfo(number, &record);
            int code = LastError.Read();
            if (answer != 1)
            {
                throw new Win32Exception(code, $"COM{number} cannot be read (PoGetPortInfo, error {code})");
            }
            return record;
        }

        /// <summary>The record of every COM number a present port carries,
        /// in order of number, from one pass over the machine.  One record
        /// per COM number the library takes is room for all of them.</summary>
        internal virtual unsafe PortInfoRecord[] AllPortInfo()
        {
            var records = new PortInfoRecord[Ports.LastNumber];
            records[0].size = PortInfoRecord.Size;
            int count = 0;
            int answer;
            int code;
            fixed (PortInfoRecord* first = records)
            {
                LastError.Clear();
                answer = NativeMethods.PoGetAllPortInfo(first, records.Length, &count);
                code = LastError.Read();
            }
            if (answer != 1)
            {
                throw new Win32Exception(code, $"The ports cannot be read (PoGetAllPortInfo, error {code})");
            }
            Array.Resize(ref records, Math.Max(0, Math.Min(count, records.Length)));
            return records;
        }

        /// <summary>Calls the change call of <paramref name="option"/>: 0
        /// when it succeeded, else the last-error code it left (which may be
        /// 0 too: <paramref name="succeeded"/> tells).</summary>
        internal virtual int Change(PortOption option, int number, int value, out bool succeeded)
        {
            LastError.Clear();
            int answer = option switch
            {
                PortOption.InterfaceMode => NativeMethods.PoSetInterface(number, value),
                PortOption.FastFlush => NativeMethods.PoSetFastFlush(number, value),
                PortOption.TxMode => NativeMethods.PoSetTxMode(number, value),
                PortOption.UartFifo => NativeMethods.PoSetUARTFIFO(number, value),
                _ => throw new ArgumentOutOfRangeException(nameof(option)),
            };
            int code = LastError.Read();
            succeeded = answer == 1;
            return code;
        }

        /// <summary>Every name the COM-port listing gives, in its order.</summary>
        internal IReadOnlyList<string> ComPortNames() => Interop.ComPortNames.Read(this);

        /// <summary>The lister itself; see <see cref="NativeMethods.EnumCOMPortsEx"/>.</summary>
        internal virtual unsafe int EnumComPorts(IntPtr* names, int capacity, int* count) =>
            NativeMethods.EnumCOMPortsEx(names, capacity, count);
    }
}
