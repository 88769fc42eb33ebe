using System;
using System.ComponentModel;
using System.Runtime.InteropServices;
using Portopt.Interop;

namespace Portopt
{
    public static partial class Ports
    {
        /// <summary>portopt.h's PO_ERROR_NUMBER_IN_USE: the number is carried
        /// by another present port, or held in the COM port database.</summary>
        public const int NumberInUse = 183;

        private const int ForceNumber = 1;        // PO_NUMBER_FORCE
        private const int RebootRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED

        /// <summary>Gives a present port another COM number, as Device Manager
        /// does (the COM port database, the port's names, its stored options
        /// in shared-table mode, a restart of the device), and returns it as
        /// read back under its new name.  Needs administrator rights.  A
        /// failed renumbering changes nothing.</summary>
        /// <param name="number">The port's COM number now, 1 to 256.</param>
        /// <param name="newNumber">The COM number it is to have, 1 to 256.</param>
        /// <param name="force">Also take a number that only the COM port
        /// database holds (left by a removed device).</param>
        /// <param name="rebootRequired">True when the device takes its new
        /// number only once Windows restarts.</param>
        /// <exception cref="ArgumentOutOfRangeException">A number out of
        /// range; nothing was changed.</exception>
        /// <exception cref="ArgumentException">No present port has
        /// <paramref name="number"/>; nothing was changed.</exception>
        /// <exception cref="Win32Exception">The library refused: its
        /// <see cref="Win32Exception.NativeErrorCode"/> is
        /// <see cref="NumberInUse"/>, 5 without administrator rights, or the
        /// code of the step that failed; nothing was changed.</exception>
        public static Port SetNumber(int number, int newNumber, bool force, out bool rebootRequired)
        {
            PortNames.CheckNumber(number, nameof(number));
            PortNames.CheckNumber(newNumber, nameof(newNumber));
            string name = PresentName(number, nameof(number));
            Library library = Library.Current;
            LastError.Clear();
            int succeeded = PoSetComNumberEx(number, newNumber, force ? ForceNumber : 0);
            int code = LastError.Read();
            if (succeeded != 1)
            {
                throw new Win32Exception(code, $"{name} was not given COM{newNumber} (error {code}).");
            }
            rebootRequired = code == RebootRequired;
            return Read(library, PresentName(newNumber, nameof(newNumber)), newNumber);
        }

        /// <summary>Gives a present port another COM number; see
        /// <see cref="SetNumber(int, int, bool, out bool)"/>.</summary>
        public static Port SetNumber(int number, int newNumber, bool force = false) =>
            SetNumber(number, newNumber, force, out _);

        [DllImport(NativeMethods.Portopt, CallingConvention = CallingConvention.Cdecl, SetLastError = true,
            ExactSpelling = true)]
        private static extern int PoSetComNumberEx(int port, int newNumber, int flags);
    }
}
