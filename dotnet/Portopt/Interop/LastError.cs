using System;
using System.Runtime.InteropServices;

namespace Portopt.Interop
{
    /// <summary>The calling thread's last-error code, which the libraries set
    /// and never clear: the system's, captured by the runtime after each
    /// import marked SetLastError.</summary>
    internal static class LastError
    {
        /// <summary>Where the code is kept when the libraries do not run on
        /// Windows' own last-error code: the host build's tests run them on
        /// the simulated Windows, which keeps it itself, and put its
        /// GetLastError and SetLastError here.</summary>
        internal static Func<uint>? ElsewhereGet;

        /// <summary>See <see cref="ElsewhereGet"/>.</summary>
        internal static Action<uint>? ElsewhereSet;

        /// <summary>Clears the code before a call, so that a code read after
        /// it is the call's own.  (.NET clears it for imports marked
        /// SetLastError; .NET Framework does not.)</summary>
        internal static void Clear()
        {
            if (ElsewhereSet != null)
            {
                ElsewhereSet(0);
            }
            else
            {
                SetLastError(0);
            }
        }

        /// <summary>The code the last call left; read right after it.</summary>
        internal static int Read() =>
            ElsewhereGet != null ? unchecked((int)ElsewhereGet()) : Marshal.GetLastWin32Error();

        // kernel32's calls use the system's convention (stdcall on x86).
        [DllImport("kernel32.dll", CallingConvention = CallingConvention.Winapi, ExactSpelling = true)]
        private static extern void SetLastError(uint code);
    }
}
