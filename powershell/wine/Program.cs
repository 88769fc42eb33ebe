using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Management.Automation;
using System.Management.Automation.Runspaces;
using Portopt.WineTests;
using static Portopt.WineTests.Suite;

// The module from its release ZIP in PowerShell 7 on Windows' own .NET
// under Wine.  The module goes where an administrator installs it for
// every user, and the Intune pair runs unchanged, with the golden profile
// where the scripts look for it.  A runspace hosted here has none of
// PowerShell's own modules (no Add-Type), so the configuration-manager
// stand-in goes into the module's portopt.dll from here, before the
// module's first call.
//
// Arguments: the unpacked ZIP's Portopt folder, and examples/intune/module;
// with --bench MS after them, times Get-PoPort beside the calls it makes
// instead.
internal static class Program
{
    private const string Installed = @"C:\Program Files\WindowsPowerShell\Modules\Portopt";
    private const string GoldenProfile = @"C:\ProgramData\portopt\ports.json";

    private static string examples = "";

    private static int Main(string[] args)
    {
        if (args.Length != 2 && !(args.Length == 4 && args[2] == "--bench"))
        {
            Console.Error.WriteLine("usage: Portopt.PowerShellHost MODULE-FOLDER INTUNE-EXAMPLES-FOLDER [--bench MS]");
            return 2;
        }
        examples = args[1];
        Install(args[0], Installed);
        // Windows gives every process the machine's module folders in
        // PSModulePath, and PowerShell 7 looks there too: that is how the
        // Intune pair finds by its name the module the MSI installs.  Wine's
        // environment has no such variable.
        Environment.SetEnvironmentVariable("PSModulePath", Path.GetDirectoryName(Installed));
        string portopt = Path.Combine(Installed, Environment.Is64BitProcess ? "x64" : "x86", "portopt.dll");
        if (args.Length == 4)
        {
            Bench(portopt, double.Parse(args[3]));
            return 0;
        }

        var suite = new Suite();
        suite.Case("Get-PoPort lists every port, the one without a COM-port interface too", Listing);
        suite.Case("Set-PoPort -WhatIf changes nothing", WhatIf);
        suite.Case("Set-PoPort changes, and gives the driver's refusal and a mode the adapter lacks as errors", Changes);
        suite.Case("the Intune pair: drift detected, remedied, none detected", Intune);
        return suite.RunOnWineMachine(portopt);
    }

    private static void Listing()
    {
        List<string> lines = Run("Get-PoPort | ForEach-Object { '{0} {1} {2} {3} {4} {5} {6} {7}' -f $_.Name, ($_.Adapter.InstanceId ?? '-'), " +
            "($_.Position ?? '-'), $_.InterfaceMode, $_.FastFlush, $_.TxMode, $_.UartFifo, $_.AcceptedInterfaceModes }").Output;
        Equal(string.Join("\n", WineMachine.Listing), string.Join("\n", lines), "Get-PoPort");
        Equal("COM12 COM4", string.Join(" ", Run("(Get-PoPort com12, 4).Name").Output), "Get-PoPort com12, 4");
    }

    private static void WhatIf()
    {
        (List<string> output, _) = Run("Get-PoPort COM3, COM12 | Set-PoPort -InterfaceMode 2 -FastFlush off -WhatIf; 'done'");
        Equal("done", string.Join(" ", output), "output");
        Equal("0 3", $"{WineMachine.Query(WineMachine.Option.InterfaceMode, 3)} {WineMachine.Query(WineMachine.Option.InterfaceMode, 12)}", "modes from C");
        Equal(0, WineMachine.Requests(WineMachine.Karbend), "requests");
    }

    private static void Changes()
    {
        (_, List<ErrorRecord> errors) = Run("Set-PoPort COM3, COM12 -InterfaceMode 2");
        Equal(0, errors.Count, "errors of a change that takes");
        Equal("2 2", $"{WineMachine.Query(WineMachine.Option.InterfaceMode, 3)} {WineMachine.Query(WineMachine.Option.InterfaceMode, 12)}", "modes from C");

        WineMachine.Refuse(WineMachine.Karbend, 31);
        (_, errors) = Run("Set-PoPort COM4 -TxMode 0");
        Equal("OptionRefused,Portopt.PowerShell.SetPortCommand WriteError COM4 31",
            string.Join(" | ", errors.Select(e => $"{e.FullyQualifiedErrorId} {e.CategoryInfo.Category} {e.TargetObject} {(e.Exception as System.ComponentModel.Win32Exception)?.NativeErrorCode}")),
            "the refusal");

        (_, errors) = Run("Set-PoPort COM10 -InterfaceMode 0");
        Equal("InterfaceModeNotAccepted,Portopt.PowerShell.SetPortCommand InvalidArgument COM10",
            string.Join(" | ", errors.Select(e => $"{e.FullyQualifiedErrorId} {e.CategoryInfo.Category} {e.TargetObject}")), "the mode refused");
        True(errors[0].ToString().Contains(WineMachine.NoModeZero) && errors[0].ToString().Contains("modes 1, 2 and 3"), errors[0].ToString());
        Equal(0, WineMachine.Requests(WineMachine.NoModeZero), "requests to COM10's adapter");
    }

    private static void Intune()
    {
        Directory.CreateDirectory(Path.GetDirectoryName(GoldenProfile)!);
        Run($"Export-PoProfile '{GoldenProfile}'");
        Run("Set-PoPort COM3 -InterfaceMode 3; Set-PoPort COM12 -FastFlush off");

        Equal("drift: COM3 interface: would apply (3 -> 0), COM12 fastflush: would apply (0 -> 1) | exit 1", Script("detect.ps1"), "detection");
        Equal("COM3 interface: applied (3 -> 0) | COM12 fastflush: applied (0 -> 1) | exit 0", Script("remediate.ps1"), "remediation");
        Equal("compliant | exit 0", Script("detect.ps1"), "detection after it");
        Equal("0 1", $"{WineMachine.Query(WineMachine.Option.InterfaceMode, 3)} {WineMachine.Query(WineMachine.Option.FastFlush, 12)}", "from C");
    }

    /// <summary>What Get-PoPort costs beside the calls it makes, in one
    /// runspace with the module imported.</summary>
    private static void Bench(string portopt, double minMs)
    {
        WineMachine.BuildForTimings(portopt);
        InitialSessionState state = InitialSessionState.CreateDefault2();
        state.ExecutionPolicy = Microsoft.PowerShell.ExecutionPolicy.Bypass;
        using Runspace runspace = RunspaceFactory.CreateRunspace(state);
        runspace.Open();
        using (PowerShell import = PowerShell.Create(runspace))
        {
            import.AddScript($"Import-Module '{Installed}' -ErrorAction Stop").Invoke();
        }
        using PowerShell listing = PowerShell.Create(runspace);
        listing.AddCommand("Get-PoPort");
        WineMachine.Compare("Get-PoPort", () => listing.Invoke(), minMs);
        WineMachine.Close();
    }

    /// <summary>An Intune script as Intune runs it: its output and exit code
    /// (0 for a script that ends without exit).</summary>
    private static string Script(string name)
    {
        (List<string> output, List<ErrorRecord> errors) = Run($"$LASTEXITCODE = 0; & '{Path.Combine(examples, name)}'; \"exit $LASTEXITCODE\"");
        return string.Join(" | ", output.Concat(errors.Select(error => "error: " + error)));
    }

    /// <summary>Runs a script in a fresh runspace with the module imported
    /// from where it is installed; its output as text and its errors.</summary>
    private static (List<string> Output, List<ErrorRecord> Errors) Run(string script)
    {
        InitialSessionState state = InitialSessionState.CreateDefault2();
        state.ExecutionPolicy = Microsoft.PowerShell.ExecutionPolicy.Bypass;
        using Runspace runspace = RunspaceFactory.CreateRunspace(state);
        runspace.Open();
        using PowerShell shell = PowerShell.Create(runspace);
        shell.AddScript($"Import-Module '{Installed}' -ErrorAction Stop\n{script}");
        var output = shell.Invoke().Select(item => item?.ToString() ?? "").ToList();
        return (output, shell.Streams.Error.ToList());
    }

    /// <summary>Copies the unpacked module where Windows keeps modules for
    /// every user.</summary>
    private static void Install(string from, string to)
    {
        foreach (string file in Directory.GetFiles(from, "*", SearchOption.AllDirectories))
        {
            string target = Path.Combine(to, Path.GetRelativePath(from, file));
            Directory.CreateDirectory(Path.GetDirectoryName(target)!);
            File.Copy(file, target, overwrite: true);
        }
    }
}
