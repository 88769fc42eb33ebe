using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;

namespace Portopt.WineTests
{
    /// <summary>The machine of the managed suites under Wine, built by the
    /// Wine fixture through wine_machine.dll (beside the program): devices
    /// made with Wine's SetupAPI, per-port values in their hardware keys, and
    /// the test driver behind each adapter.
    ///
    /// COM1 has no adapter.  A four-port KARBEND adapter carries COM3 and
    /// COM4 and, as its third port, COM12, whose device exposes the
    /// Ports-class interface only, so that no COM-port listing gives it.  An
    /// adapter that takes interface mode 0 only (tovelser family, capability
    /// 0x10) carries COM8; one that refuses mode 0 (capability 0x30) carries
    /// COM10.</summary>
    internal static class WineMachine
    {
        /// <summary>The options, as wm_query numbers them.</summary>
        internal enum Option
        {
            InterfaceMode,
            FastFlush,
            TxMode,
            UartFifo,
        }

        internal const string Karbend = @"USB\VID_1A2B&PID_2044\KB4P0001";
        internal const string ModeZeroOnly = @"USB\VID_1A2B&PID_1110\TV2P0042";
        internal const string NoModeZero = @"USB\VID_1A2B&PID_2034\KB2P0007";

        /// <summary>The machine's ports as the listing gives them: name,
        /// adapter, position, the four options ("-" not stored, "n/a" not there)
        /// and the interface modes the adapter takes.</summary>
        internal static readonly string[] Listing =
        {
            @"COM1 - - - - - - All",
            @"COM3 USB\VID_1A2B&PID_2044\KB4P0001 1 Mode0 True 0 True All",
            @"COM4 USB\VID_1A2B&PID_2044\KB4P0001 2 Mode1 False 1 False All",
            @"COM8 USB\VID_1A2B&PID_1110\TV2P0042 1 Mode0 n/a n/a n/a Mode0",
            @"COM10 USB\VID_1A2B&PID_2034\KB2P0007 1 Mode3 False 0 True Mode1, Mode2, Mode3",
            @"COM12 USB\VID_1A2B&PID_2044\KB4P0001 3 Mode3 True 1 True All",
        };

        /// <summary>The instance ID of the port of COM <paramref name="number"/>.</summary>
        internal static string PortId(int number) => @"ADPTBUS\PORT\" + number;

        /// <summary>A fresh machine; the stand-in goes into the portopt.dll
        /// at <paramref name="portopt"/> the first time.</summary>
        internal static void Build(string portopt)
        {
            Check(wm_open());
            if (!standInInstalled)
            {
                Check(wm_install_standin(portopt));
                standInInstalled = true;
            }
            Port(1, "", "Communications Port (COM1)", true);
            Check(wm_add_adapter(Karbend));
            Port(3, Karbend, "KARBEND Port 1 (COM3)", true, ("InterfaceMode", 0), ("FastFlush", 1), ("TxMode", 0), ("DisableFiFo", 0));
            // Mode 1 is stored as 2 by the KARBEND driver.
            Port(4, Karbend, "KARBEND Port 2 (COM4)", true, ("InterfaceMode", 2), ("FastFlush", 0), ("TxMode", 1), ("DisableFiFo", 1));
            Port(12, Karbend, "KARBEND Port 3 (COM12)", false, ("InterfaceMode", 3), ("FastFlush", 1), ("TxMode", 1), ("DisableFiFo", 0));
            Check(wm_add_adapter(ModeZeroOnly));
            Port(8, ModeZeroOnly, "tovelser Port 1 (COM8)", true, ("SerInterface", 0));
            Check(wm_add_adapter(NoModeZero));
            Port(10, NoModeZero, "KARBEND Port 1 (COM10)", true, ("InterfaceMode", 3), ("FastFlush", 0), ("TxMode", 0), ("DisableFiFo", 0));
        }

        private static bool standInInstalled;

        private static void Port(int number, string adapter, string friendlyName, bool listed, params (string Name, uint Value)[] values)
        {
            Check(wm_add_port(PortId(number), adapter, friendlyName, "COM" + number, listed ? 1 : 0));
            foreach ((string name, uint value) in values)
            {
                Check(wm_set_port_dword(PortId(number), name, value));
            }
        }

        /// <summary>A value in the port's hardware key; -1 when none.</summary>
        internal static long Stored(int number, string name)
        {
            Check(wm_get_port_dword(PortId(number), name, out long value));
            return value;
        }

        /// <summary>What the C query call of the option answers for the port.</summary>
        internal static int Query(Option option, int number)
        {
            Check(wm_query((int)option, number, out int value));
            return value;
        }

        internal static int Requests(string adapter)
        {
            Check(wm_request_count(adapter, out int count));
            return count;
        }

        /// <summary>The adapter's driver refuses every request from now on,
        /// leaving its caller <paramref name="error"/>; 0 accepts again.</summary>
        internal static void Refuse(string adapter, uint error) => Check(wm_refuse_requests(adapter, error, 0));

        internal static void Close() => Check(wm_close());

        /// <summary>The names the COM-port lister gives, from C.</summary>
        internal static string ListedNames()
        {
            var text = new System.Text.StringBuilder(4096);
            Check(wm_listed_names(text, text.Capacity));
            return text.ToString().Trim();
        }

        /// <summary>What record_layout.exe (beside the program) prints: the
        /// record as the C compiler of the Windows build lays it out.</summary>
        internal static string RecordLayout()
        {
            var start = new System.Diagnostics.ProcessStartInfo(Path.Combine(AppContext.BaseDirectory, "record_layout.exe"))
            {
                RedirectStandardOutput = true,
                UseShellExecute = false,
            };
            using var process = System.Diagnostics.Process.Start(start)!;
            string output = process.StandardOutput.ReadToEnd();
            process.WaitForExit();
            return output;
        }

        /// <summary>A fresh machine of 64 ports among 400 devices of other
        /// classes, as the Wine benchmark's, for the timings.</summary>
        internal static void BuildForTimings(string portopt)
        {
            Check(wm_open());
            if (!standInInstalled)
            {
                Check(wm_install_standin(portopt));
                standInInstalled = true;
            }
            Check(wm_build_port_machine(64, 400));
        }

        /// <summary>One listing from C: PoGetAllPortInfo and EnumCOMPortsEx,
        /// in milliseconds.</summary>
        internal static double NativeListingMs()
        {
            Check(wm_time_native_listing(out double milliseconds));
            return milliseconds;
        }

        /// <summary>Times <paramref name="listing"/> and the listing from C
        /// in alternation, each first in turn, for at least <paramref name="minMs"/> in all and at
        /// least five rounds, and prints a table row: the face, the median
        /// of each, and the median of the rounds' differences, which is the
        /// face's own cost, also as a share of the native calls' (medians, so
        /// that a round slowed by the rest of the machine weighs little).</summary>
        internal static void Compare(string face, Action listing, double minMs)
        {
            listing();
            NativeListingMs();
            var faceMs = new List<double>();
            var nativeMs = new List<double>();
            var own = new List<double>();
            var total = System.Diagnostics.Stopwatch.StartNew();
            while (faceMs.Count < 5 || total.Elapsed.TotalMilliseconds < minMs)
            {
                // Each first in turn: under Wine the second of two listings
                // in a row runs at another pace than the first.
                bool nativeFirst = faceMs.Count % 2 == 1;
                double nativeBefore = nativeFirst ? NativeListingMs() : 0;
                var clock = System.Diagnostics.Stopwatch.StartNew();
                listing();
                faceMs.Add(clock.Elapsed.TotalMilliseconds);
                nativeMs.Add(nativeFirst ? nativeBefore : NativeListingMs());
                own.Add(faceMs[faceMs.Count - 1] - nativeMs[nativeMs.Count - 1]);
            }
            double native = Median(nativeMs);
            Console.WriteLine(System.FormattableString.Invariant(
                $"| {face} | {Median(faceMs):F1} | {native:F1} | {Median(own):F1} | {Median(own) / native * 100:F1} % | {faceMs.Count} |"));
        }

        private static double Median(List<double> values)
        {
            var sorted = values.OrderBy(value => value).ToList();
            return sorted.Count % 2 == 1 ? sorted[sorted.Count / 2] : (sorted[sorted.Count / 2 - 1] + sorted[sorted.Count / 2]) / 2;
        }

        private static void Check(int status)
        {
            if (status != 0)
            {
                throw new InvalidOperationException("wine fixture: " + Marshal.PtrToStringAnsi(wm_error()));
            }
        }

        private const string Dll = "wine_machine.dll";

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        private static extern IntPtr wm_error();

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        private static extern int wm_open();

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        private static extern int wm_close();

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        private static extern int wm_add_adapter(string instanceId);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        private static extern int wm_add_port(string instanceId, string adapterId, string friendlyName, string portName, int comPortInterface);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        private static extern int wm_set_port_dword(string instanceId, string name, uint value);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        private static extern int wm_get_port_dword(string instanceId, string name, out long value);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        private static extern int wm_refuse_requests(string adapterId, uint error, int acceptFirst);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        private static extern int wm_request_count(string adapterId, out int count);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Ansi)]
        private static extern int wm_listed_names(System.Text.StringBuilder text, int size);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        private static extern int wm_build_port_machine(int ports, int otherDevices);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        private static extern int wm_time_native_listing(out double milliseconds);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl)]
        private static extern int wm_query(int option, int port, out int value);

        [DllImport(Dll, CallingConvention = CallingConvention.Cdecl, CharSet = CharSet.Unicode)]
        private static extern int wm_install_standin(string path);
    }
}
