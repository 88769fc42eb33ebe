using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Text;
using System.Text.Json.Nodes;
using Portopt.Interop;
using Xunit;

// Every test works on the one simulated machine of the process.
[assembly: CollectionBehavior(DisableTestParallelization = true)]

namespace Portopt.Tests
{
    /// <summary>Where the host build's pieces are: ctest names them in
    /// PORTOPT_LIBRARY_PATH, SIMWIN_LIBRARY, PORTCTL and RECORD_LAYOUT; run
    /// by hand after a host build, they are found in build/host.</summary>
    internal static class HostBuild
    {
        internal static readonly string Root = FindRoot();
        private static readonly string Host = Path.Combine(Root, "build", "host");

        internal static string Simulator => Variable("SIMWIN_LIBRARY", Path.Combine(Host, "sim", "libsimwin.so"));
        internal static string Portctl => Variable("PORTCTL", Path.Combine(Host, "tools", "portctl", "portctl"));
        internal static string RecordLayout => Variable("RECORD_LAYOUT", Path.Combine(Host, "dotnet", "record_layout"));

        /// <summary>The library runs here on the host build's libraries and
        /// the simulated Windows, which the shipped assembly knows nothing
        /// of: its imports are given the libraries of PORTOPT_LIBRARY_PATH,
        /// and its last-error code is the simulator's.</summary>
        [ModuleInitializer]
        internal static void UseHostLibraries()
        {
            string folders = Variable("PORTOPT_LIBRARY_PATH", string.Join(Path.PathSeparator,
                Path.Combine(Host, "source", "dll"), Path.Combine(Host, "comlist"), Path.Combine(Host, "profile")));
            NativeLibrary.SetDllImportResolver(typeof(Ports).Assembly, (name, assembly, searchPath) =>
                folders.Split(Path.PathSeparator).Select(folder => Path.Combine(folder, "lib" + name + ".so")).FirstOrDefault(File.Exists)
                    is string path ? NativeLibrary.Load(path) : IntPtr.Zero);
            LastError.ElsewhereGet = Tests.Simulator.GetLastError;
            LastError.ElsewhereSet = Tests.Simulator.LeaveLastError;
        }

        private static string Variable(string name, string fallback) =>
            Environment.GetEnvironmentVariable(name) is { Length: > 0 } value ? value : fallback;

        private static string FindRoot()
        {
            for (var folder = new DirectoryInfo(AppContext.BaseDirectory); folder != null; folder = folder.Parent)
            {
                if (File.Exists(Path.Combine(folder.FullName, "CMakeLists.txt")) && Directory.Exists(Path.Combine(folder.FullName, "dotnet")))
                {
                    return folder.FullName;
                }
            }
            throw new InvalidOperationException("the repository is not above " + AppContext.BaseDirectory);
        }

        /// <summary>What a program prints to standard output; fails the test
        /// when it exits with anything but 0.</summary>
        internal static string Run(string program, params string[] arguments)
        {
            ProgramRun run = Execute(program, arguments);
            Assert.True(run.Status == 0, $"{program} {string.Join(" ", arguments)} exited with {run.Status}: {run.Err}");
            return run.Out;
        }

        /// <summary>A program's exit status and what it prints, whatever the status.</summary>
        internal static ProgramRun Execute(string program, params string[] arguments)
        {
            var start = new ProcessStartInfo(program) { RedirectStandardOutput = true, RedirectStandardError = true };
            foreach (string argument in arguments)
            {
                start.ArgumentList.Add(argument);
            }
            using Process process = Process.Start(start)!;
            var error = process.StandardError.ReadToEndAsync();
            string output = process.StandardOutput.ReadToEnd();
            process.WaitForExit();
            return new ProgramRun(process.ExitCode, output, error.Result);
        }
    }

    internal sealed record ProgramRun(int Status, string Out, string Err);

    /// <summary>The simulator's machine-file calls.</summary>
    internal static unsafe class Simulator
    {
        private static readonly IntPtr Handle = NativeLibrary.Load(HostBuild.Simulator);

        private static readonly delegate* unmanaged[Cdecl]<byte*, nuint, byte*, nuint, int> LoadJson =
            (delegate* unmanaged[Cdecl]<byte*, nuint, byte*, nuint, int>)NativeLibrary.GetExport(Handle, "simwin_load_machine_json");

        private static readonly delegate* unmanaged[Cdecl]<byte*, nuint, nuint> MachineJson =
            (delegate* unmanaged[Cdecl]<byte*, nuint, nuint>)NativeLibrary.GetExport(Handle, "simwin_machine_json");

        private static readonly delegate* unmanaged[Cdecl]<byte*> DemoJson =
            (delegate* unmanaged[Cdecl]<byte*>)NativeLibrary.GetExport(Handle, "simwin_demo_machine_json");

        private static readonly delegate* unmanaged[Cdecl]<uint, void> SetLastError =
            (delegate* unmanaged[Cdecl]<uint, void>)NativeLibrary.GetExport(Handle, "SetLastError");

        private static readonly delegate* unmanaged[Cdecl]<uint> GetLastErrorCall =
            (delegate* unmanaged[Cdecl]<uint>)NativeLibrary.GetExport(Handle, "GetLastError");

        private static readonly delegate* unmanaged[Cdecl]<byte*, int, uint, int> FailAtCall =
            (delegate* unmanaged[Cdecl]<byte*, int, uint, int>)NativeLibrary.GetExport(Handle, "simwin_fail_at");

        /// <summary>The k-th call of the Win32 operation from now fails with
        /// <paramref name="error"/>.</summary>
        internal static void FailAt(string operation, int k, uint error)
        {
            byte[] name = Encoding.UTF8.GetBytes(operation + "\0");
            fixed (byte* text = name)
            {
                FailAtCall(text, k, error);
            }
        }

        /// <summary>Sets the thread's last-error code, as a failing call does.</summary>
        internal static void LeaveLastError(uint code) => SetLastError(code);

        /// <summary>The thread's last-error code.</summary>
        internal static uint GetLastError() => GetLastErrorCall();

        internal static JsonObject Demo() =>
            JsonNode.Parse(Marshal.PtrToStringUTF8((IntPtr)DemoJson())!)!.AsObject();

        internal static void Load(JsonNode machine)
        {
            byte[] text = Encoding.UTF8.GetBytes(machine.ToJsonString());
            byte[] error = new byte[1024];
            fixed (byte* json = text)
            fixed (byte* message = error)
            {
                if (LoadJson(json, (nuint)text.Length, message, (nuint)error.Length) != 0)
                {
                    throw new InvalidOperationException("machine not loaded: " + Marshal.PtrToStringUTF8((IntPtr)message));
                }
            }
        }

        internal static string Dump()
        {
            nuint size = MachineJson(null, 0);
            byte[] buffer = new byte[(int)size + 1];
            fixed (byte* text = buffer)
            {
                MachineJson(text, (nuint)buffer.Length);
            }
            return Encoding.UTF8.GetString(buffer, 0, (int)size);
        }

        /// <summary><c>portctl list --json</c> on the machine.</summary>
        internal static JsonArray PortctlListing(JsonNode machine)
        {
            string file = Path.GetTempFileName();
            try
            {
                File.WriteAllText(file, machine.ToJsonString());
                return JsonNode.Parse(HostBuild.Run(HostBuild.Portctl, "--machine", file, "list", "--json"))!.AsArray();
            }
            finally
            {
                File.Delete(file);
            }
        }
    }

    /// <summary>The library calls, counted.</summary>
    internal sealed class CountingLibrary : Library
    {
        internal readonly Dictionary<string, int> Calls = new Dictionary<string, int>();

        private void Count(string call) => Calls[call] = Calls.GetValueOrDefault(call) + 1;

        internal override PortInfoRecord PortInfo(int number)
        {
            Count("PoGetPortInfo");
            return base.PortInfo(number);
        }

        internal override PortInfoRecord[] AllPortInfo()
        {
            Count("PoGetAllPortInfo");
            return base.AllPortInfo();
        }

        /// <summary>When set, every change call reports success with this
        /// code and changes nothing.</summary>
        internal int? ChangeReports;

        internal override int Change(PortOption option, int number, int value, out bool succeeded)
        {
            Count("change");
            if (ChangeReports is int code)
            {
                succeeded = true;
                return code;
            }
            return base.Change(option, number, value, out succeeded);
        }

        /// <summary>When set, the lister fails with this code and count.</summary>
        internal (uint Code, int Count)? ListingFails;

        internal override unsafe int EnumComPorts(IntPtr* names, int capacity, int* count)
        {
            Count("EnumCOMPortsEx");
            if (ListingFails is (uint code, int needed))
            {
                *count = needed;
                Simulator.LeaveLastError(code);
                return 0;
            }
            return base.EnumComPorts(names, capacity, count);
        }
    }

    /// <summary>A test on the demo machine, with the library calls counted.</summary>
    public abstract class MachineTest : IDisposable
    {
        private readonly Library previous = Library.Current;
        private protected readonly CountingLibrary Counted = new CountingLibrary();

        protected MachineTest()
        {
            Simulator.Load(Simulator.Demo());
            Library.Current = Counted;
        }

        public void Dispose() => Library.Current = previous;
    }
}
