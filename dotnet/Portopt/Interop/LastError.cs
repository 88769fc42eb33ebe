using System.Runtime.InteropServices;

namespace Portopt.Interop
{
    /// <summary>The calling thread's last-error code, which the libraries set
    /// and never clear.  On Windows it is the system's, captured by the
    /// runtime after each import marked SetLastError.  Elsewhere the
    /// libraries run on the simulated Windows of the host build, which keeps
    /// the code itself: it is read and cleared through the simulator's own
    /// GetLastError and SetLastError, reached through libportopt's
    /// dependencies.</summary>
    internal static class LastError
    {
        private static readonly bool OnWindows = RuntimeInformation.IsOSPlatform(OSPlatform.Windows);

        /// <summary>Clears the code before a call, so that a code read after
        /// it is the call's own.  (.NET clears it for imports marked
        /// SetLastError; .NET Framework does not.)</summary>
        internal static void Clear()
        {
            if (OnWindows)
            {
                WindowsSetLastError(0);
            }
            else
            {
                SimulatedSetLastError(0);
            }
        }

        /// <summary>The code the last call left; read right after it.</summary>
        internal static int Read() =>
            OnWindows ? Marshal.GetLastWin32Error() : unchecked((int)SimulatedGetLastError());

        // kernel32's calls use the system's convention (stdcall on x86).
        [DllImport("kernel32.dll", EntryPoint = "SetLastError", CallingConvention = CallingConvention.Winapi, ExactSpelling = true)]
        private static extern void WindowsSetLastError(uint code);

        [DllImport(NativeMethods.Portopt, EntryPoint = "GetLastError", CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        private static extern uint SimulatedGetLastError();

        [DllImport(NativeMethods.Portopt, EntryPoint = "SetLastError", CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        private static extern void SimulatedSetLastError(uint code);
    }
}
