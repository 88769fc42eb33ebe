using System;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text;

namespace Portopt.Tests
{
    /// <summary>The simulated Windows the module runs on in the tests: the
    /// host build's simulator library, the same one the module's
    /// libraries call, loaded by its path.  Open it before the module.</summary>
    public static class Simulator
    {
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        private delegate int LoadJson(byte[] json, UIntPtr length, byte[] error, UIntPtr errorSize);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        private delegate UIntPtr MachineJson(byte[] buffer, UIntPtr size);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        private delegate IntPtr DemoJson();

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        private delegate int FailAtCall(string operation, int k, uint error);

        private static IntPtr library;

        /// <summary>Loads the simulator, and readies the .NET library for it
        /// when it loads: the shipped assembly knows only Windows, so its
        /// imports are given the host build's libraries of
        /// PORTOPT_LIBRARY_PATH, and its last-error code is the simulator's.</summary>
        public static void Open(string path)
        {
            library = NativeLibrary.Load(path);
            AppDomain.CurrentDomain.AssemblyLoad += (sender, loaded) => Ready(loaded.LoadedAssembly);
            foreach (Assembly assembly in AppDomain.CurrentDomain.GetAssemblies())
            {
                Ready(assembly);
            }
        }

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        private delegate uint GetLastErrorCall();

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        private delegate void SetLastErrorCall(uint code);

        private static void Ready(Assembly assembly)
        {
            if (assembly.GetName().Name != "Portopt.Net")
            {
                return;
            }
            string[] folders = (Environment.GetEnvironmentVariable("PORTOPT_LIBRARY_PATH") ?? "").Split(Path.PathSeparator);
            NativeLibrary.SetDllImportResolver(assembly, (name, from, searchPath) =>
                folders.Select(folder => Path.Combine(folder, "lib" + name + ".so")).FirstOrDefault(File.Exists) is string found
                    ? NativeLibrary.Load(found) : IntPtr.Zero);
            Type lastError = assembly.GetType("Portopt.Interop.LastError", throwOnError: true);
            GetLastErrorCall get = Call<GetLastErrorCall>("GetLastError");
            SetLastErrorCall set = Call<SetLastErrorCall>("SetLastError");
            lastError.GetField("ElsewhereGet", BindingFlags.Static | BindingFlags.NonPublic).SetValue(null, new Func<uint>(() => get()));
            lastError.GetField("ElsewhereSet", BindingFlags.Static | BindingFlags.NonPublic).SetValue(null, new Action<uint>(code => set(code)));
        }

        private static T Call<T>(string name) where T : Delegate =>
            Marshal.GetDelegateForFunctionPointer<T>(NativeLibrary.GetExport(library, name));

        /// <summary>The demo machine's document.</summary>
        public static string Demo() => Marshal.PtrToStringUTF8(Call<DemoJson>("simwin_demo_machine_json")());

        /// <summary>Replaces the machine with the one the document describes.</summary>
        public static void Load(string document)
        {
            byte[] json = Encoding.UTF8.GetBytes(document);
            byte[] error = new byte[1024];
            if (Call<LoadJson>("simwin_load_machine_json")(json, (UIntPtr)json.Length, error, (UIntPtr)error.Length) != 0)
            {
                throw new InvalidOperationException("machine not loaded: " + Encoding.UTF8.GetString(error).TrimEnd('\0'));
            }
        }

        /// <summary>The k-th call of the Win32 operation from now fails with
        /// <paramref name="error"/>.</summary>
        public static void FailAt(string operation, int k, uint error) => Call<FailAtCall>("simwin_fail_at")(operation, k, error);

        /// <summary>The machine's document now.</summary>
        public static string Dump()
        {
            MachineJson dump = Call<MachineJson>("simwin_machine_json");
            int size = (int)dump(null, UIntPtr.Zero);
            byte[] buffer = new byte[size + 1];
            dump(buffer, (UIntPtr)buffer.Length);
            return Encoding.UTF8.GetString(buffer, 0, size);
        }
    }
}
