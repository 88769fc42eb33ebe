using System;
using System.Collections.Generic;
using System.IO;
using System.Runtime.InteropServices;
#if NET8_0_OR_GREATER
using System.Reflection;
#endif

namespace Portopt.Interop
{
    /// <summary>Where portopt, comlist and portprofile are loaded from,
    /// settled once before the first call.
    ///
    /// A project with a runtime identifier (or a .NET project, through its
    /// runtimes folder) finds the DLLs of its bitness by itself.  A .NET
    /// Framework project without one gets both bitnesses in x86\ and x64\
    /// beside this assembly (the package's build targets copy them there,
    /// and the PowerShell module carries them so); the DLLs of the
    /// process's bitness are loaded from there first, and the imports then
    /// bind to those modules.  On .NET 8 and later the imports are given
    /// those modules directly: that runtime looks in the assembly's own
    /// folder before it asks the system, where a program's own portopt.dll
    /// might be another build.</summary>
    internal static class NativeLoading
    {
        private static readonly string[] Libraries = { NativeMethods.Portopt, NativeMethods.Comlist, NativeMethods.Portprofile };

        private static readonly bool Prepared = PrepareOnce();

        /// <summary>Settles where the libraries come from, the first time
        /// it is asked.</summary>
        internal static void Prepare() => _ = Prepared;

        private static bool PrepareOnce()
        {
            if (!RuntimeInformation.IsOSPlatform(OSPlatform.Windows))
            {
                return false;
            }
            Dictionary<string, IntPtr> loaded = LoadBitnessFolder();
#if NET8_0_OR_GREATER
            if (loaded.Count > 0)
            {
                NativeLibrary.SetDllImportResolver(typeof(NativeLoading).Assembly,
                    (string library, Assembly assembly, DllImportSearchPath? searchPath) =>
                        loaded.TryGetValue(library, out IntPtr module) ? module : IntPtr.Zero);
            }
#endif
            return true;
        }

        /// <summary>The DLLs of the process's bitness, by import name, loaded
        /// from x86\ or x64\ beside this assembly (or beside the program);
        /// none where neither folder is.</summary>
        private static Dictionary<string, IntPtr> LoadBitnessFolder()
        {
            var loaded = new Dictionary<string, IntPtr>();
            string bitness = IntPtr.Size == 8 ? "x64" : "x86";
            // Beside this assembly, or beside the program where the assembly
            // runs from a shadow copy.
            string?[] places = { Path.GetDirectoryName(typeof(NativeLoading).Assembly.Location), AppDomain.CurrentDomain.BaseDirectory };
            foreach (string? place in places)
            {
                if (string.IsNullOrEmpty(place) || !Directory.Exists(Path.Combine(place, bitness)))
                {
                    continue;
                }
                foreach (string library in Libraries)
                {
                    string path = Path.Combine(place, bitness, library + ".dll");
                    if (File.Exists(path))
                    {
                        // Kept loaded for the life of the process, as an import's DLL is.
                        IntPtr module = LoadLibraryW(path);
                        if (module != IntPtr.Zero)
                        {
                            loaded[library] = module;
                        }
                    }
                }
                break;
            }
            return loaded;
        }

        [DllImport("kernel32.dll", CallingConvention = CallingConvention.Winapi, CharSet = CharSet.Unicode, ExactSpelling = true)]
        private static extern IntPtr LoadLibraryW(string path);
    }
}
