using System;
using System.Runtime.InteropServices;

namespace Portopt.Interop
{
    /// <summary>The exports of portopt and comlist.  The libraries use the C
    /// calling convention on every platform; the runtime's default for
    /// DllImport on 32-bit Windows is stdcall, which would unbalance the
    /// caller's stack, so each import says Cdecl.  Every call here reports
    /// why it failed through the thread's last-error code.</summary>
    internal static unsafe class NativeMethods
    {
        internal const string Portopt = "portopt";
        internal const string Comlist = "comlist";
        internal const string Portprofile = "portprofile";

        [DllImport(Portopt, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        internal static extern int PoGetPortInfo(int port, PortInfoRecord* info);

        [DllImport(Portopt, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        internal static extern int PoGetAllPortInfo(PortInfoRecord* infos, int capacity, int* count);

        [DllImport(Portopt, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        internal static extern int PoSetInterface(int port, int mode);

        [DllImport(Portopt, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        internal static extern int PoSetFastFlush(int port, int on);

        [DllImport(Portopt, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        internal static extern int PoSetTxMode(int port, int mode);

        [DllImport(Portopt, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        internal static extern int PoSetUARTFIFO(int port, int enable);

        /// <summary>names[0..capacity-1] each point at a buffer of
        /// <see cref="ComPortNames.NameUnits"/> UTF-16 units.</summary>
        [DllImport(Comlist, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        internal static extern int EnumCOMPortsEx(IntPtr* names, int capacity, int* count);
    }
}
