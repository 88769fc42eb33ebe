using System;
using System.Runtime.InteropServices;

namespace Portopt.Interop
{
    /// <summary>Whether the process is known to run without administrator
    /// rights, from its token's elevation.  On the simulated Windows the
    /// token calls come from the simulator, reached through the library as
    /// the last-error calls are.</summary>
    internal static class Elevation
    {
        private const uint TokenQuery = 0x0008;
        private const int TokenElevationClass = 20;
        private static readonly IntPtr CurrentProcess = new IntPtr(-1);
        private static readonly bool OnWindows = RuntimeInformation.IsOSPlatform(OSPlatform.Windows);

        /// <summary>True only when the token says that the process is not
        /// elevated; false also when the token cannot be read.</summary>
        internal static bool KnownNotElevated()
        {
            IntPtr token;
            bool opened = OnWindows ? WindowsOpenProcessToken(CurrentProcess, TokenQuery, out token)
                : SimulatedOpenProcessToken(CurrentProcess, TokenQuery, out token);
            if (!opened)
            {
                return false;
            }
            try
            {
                uint elevated;
                bool read = OnWindows
                    ? WindowsGetTokenInformation(token, TokenElevationClass, out elevated, sizeof(uint), out _)
                    : SimulatedGetTokenInformation(token, TokenElevationClass, out elevated, sizeof(uint), out _);
                return read && elevated == 0;
            }
            finally
            {
                if (OnWindows)
                {
                    WindowsCloseHandle(token);
                }
                else
                {
                    SimulatedCloseHandle(token);
                }
            }
        }

        [DllImport("advapi32.dll", EntryPoint = "OpenProcessToken", CallingConvention = CallingConvention.Winapi, ExactSpelling = true)]
        private static extern bool WindowsOpenProcessToken(IntPtr process, uint access, out IntPtr token);

        [DllImport("advapi32.dll", EntryPoint = "GetTokenInformation", CallingConvention = CallingConvention.Winapi, ExactSpelling = true)]
        private static extern bool WindowsGetTokenInformation(IntPtr token, int informationClass, out uint information, uint length, out uint returned);

        [DllImport("kernel32.dll", EntryPoint = "CloseHandle", CallingConvention = CallingConvention.Winapi, ExactSpelling = true)]
        private static extern bool WindowsCloseHandle(IntPtr handle);

        [DllImport(NativeMethods.Portopt, EntryPoint = "OpenProcessToken", CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        private static extern bool SimulatedOpenProcessToken(IntPtr process, uint access, out IntPtr token);

        [DllImport(NativeMethods.Portopt, EntryPoint = "GetTokenInformation", CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        private static extern bool SimulatedGetTokenInformation(IntPtr token, int informationClass, out uint information, uint length, out uint returned);

        [DllImport(NativeMethods.Portopt, EntryPoint = "CloseHandle", CallingConvention = CallingConvention.Cdecl, ExactSpelling = true)]
        private static extern bool SimulatedCloseHandle(IntPtr handle);
    }
}
