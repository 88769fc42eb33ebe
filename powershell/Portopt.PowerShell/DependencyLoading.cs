using System;
using System.IO;
using System.Management.Automation;
using System.Reflection;

namespace Portopt.PowerShell
{
    /// <summary>Windows PowerShell runs on .NET Framework, which binds an
    /// assembly's references by exact version and gives a module no binding
    /// redirects: System.Text.Json and the packages it needs, carried beside
    /// the module, name each other in versions other than the ones carried.
    /// A reference that fails to bind is answered with the module's own
    /// assembly of that name.  (PowerShell 7 binds them by itself, to its
    /// own where it has them; it asks here only for what it lacks.)</summary>
    public sealed class DependencyLoading : IModuleAssemblyInitializer
    {
        private static readonly string Folder = Path.GetDirectoryName(typeof(DependencyLoading).Assembly.Location) ?? "";

        /// <inheritdoc/>
        public void OnImport() => AppDomain.CurrentDomain.AssemblyResolve += Resolve;

        private static Assembly? Resolve(object sender, ResolveEventArgs request)
        {
            string? name = new AssemblyName(request.Name).Name;
            string path = Path.Combine(Folder, name + ".dll");
            return name != null && name.IndexOfAny(Path.GetInvalidFileNameChars()) < 0 && File.Exists(path) ? Assembly.LoadFrom(path) : null;
        }
    }
}
