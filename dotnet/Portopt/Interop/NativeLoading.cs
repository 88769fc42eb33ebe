using System;
using System.Collections.Generic;
using System.IO;
using System.Reflection;
using System.Runtime.InteropServices;

namespace Portopt.Interop
{
    /// <summary>Where portopt and comlist are loaded from, settled once
    /// before the first call.
    ///
    /// On Windows, a project with a runtime identifier (or a .NET project,
    /// through its runtimes folder) finds the DLLs of its bitness by itself.
    /// A .NET Framework project without one gets both bitnesses in x86\ and
    /// x64\ beside this assembly (the package's build targets copy them
    /// there, and the PowerShell module carries them so); the DLLs of the
    /// process's bitness are loaded from there first, and the imports then
    /// bind to those modules.  Where the runtime lets an assembly resolve its
    /// own imports (.NET Core 3.0 and later, PowerShell 7), the imports are
    /// given those modules directly: that runtime looks in the assembly's
    /// own folder before it asks the system, where a program's own
    /// portopt.dll might be another build.
    ///
    /// Elsewhere (the simulated Windows of the host build), the folders in
    /// PORTOPT_LIBRARY_PATH are searched for libportopt.so and libcomlist.so
    /// where the runtime lets an assembly resolve its own imports (.NET Core
    /// 3.0 and later); otherwise, and for names not found there, the
    /// system's search applies (LD_LIBRARY_PATH).</summary>
    internal static class NativeLoading
    {
        internal const string LibraryPathVariable = "PORTOPT_LIBRARY_PATH";

        private static readonly string[] Libraries = { NativeMethods.Portopt, NativeMethods.Comlist };

        internal static void Prepare()
        {
            if (RuntimeInformation.IsOSPlatform(OSPlatform.Windows))
            {
                Dictionary<string, IntPtr> loaded = LoadBitnessFolder();
                if (loaded.Count > 0)
                {
                    ResolveWith(library => loaded.TryGetValue(library, out IntPtr module) ? module : IntPtr.Zero);
                }
            }
            else if (!string.IsNullOrEmpty(Environment.GetEnvironmentVariable(LibraryPathVariable)))
            {
                ResolveWith(library => Find(library) is string path && load != null ? (IntPtr)load.Invoke(null, new object[] { path })! : IntPtr.Zero);
            }
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

        // Answers the library's own imports; IntPtr.Zero leaves a name to
        // the runtime's search.
        private static Func<string, IntPtr>? resolve;

        private static MethodInfo? load;

        /// <summary>Has the runtime ask <paramref name="modules"/> for this
        /// assembly's imports, where it lets an assembly resolve them.</summary>
        private static void ResolveWith(Func<string, IntPtr> modules)
        {
            // NativeLibrary and DllImportResolver are not part of .NET
            // Standard 2.0; they are looked up in the running runtime.
            Assembly runtime = typeof(Marshal).Assembly;
            Type? nativeLibrary = runtime.GetType("System.Runtime.InteropServices.NativeLibrary");
            Type? resolverType = runtime.GetType("System.Runtime.InteropServices.DllImportResolver");
            if (nativeLibrary == null || resolverType == null)
            {
                return;
            }
            MethodInfo? setResolver = nativeLibrary.GetMethod("SetDllImportResolver", new[] { typeof(Assembly), resolverType });
            MethodInfo? resolver = typeof(NativeLoading).GetMethod(nameof(Resolve), BindingFlags.NonPublic | BindingFlags.Static);
            if (setResolver == null || resolver == null)
            {
                return;
            }
            load = nativeLibrary.GetMethod("Load", new[] { typeof(string) });
            resolve = modules;
            setResolver.Invoke(null, new object[] { typeof(NativeLoading).Assembly, Delegate.CreateDelegate(resolverType, resolver) });
        }

        // The resolver's signature: DllImportResolver.
        private static IntPtr Resolve(string libraryName, Assembly assembly, DllImportSearchPath? searchPath) =>
            resolve == null ? IntPtr.Zero : resolve(libraryName);

        /// <summary>The first lib<paramref name="library"/>.so in the
        /// folders of PORTOPT_LIBRARY_PATH; null when none holds it.</summary>
        internal static string? Find(string library)
        {
            string? folders = Environment.GetEnvironmentVariable(LibraryPathVariable);
            if (Array.IndexOf(Libraries, library) < 0 || string.IsNullOrEmpty(folders))
            {
                return null;
            }
            foreach (string folder in folders!.Split(Path.PathSeparator))
            {
                string path = Path.Combine(folder, "lib" + library + ".so");
                if (folder.Length > 0 && File.Exists(path))
                {
                    return path;
                }
            }
            return null;
        }
    }
}
