# Intune detection script: exit 0 when the serial adapters' options are as
# the golden machine's profile gives them, whatever COM numbers the adapters
# got here; exit 1, with one line naming what differs, so that Intune runs
# remediate.ps1.  It changes nothing.  The module is imported by its name,
# as the MSI installs it (docs/intune.md): the x64 MSI for the 64-bit host
# ("Run script in 64-bit PowerShell host"), the x86 MSI for the 32-bit one;
# it loads the DLLs of the process's bitness.
$ErrorActionPreference = 'Stop'  # a missing module or an unusable profile fails the script
Import-Module Portopt
$drift = Test-PoProfile 'C:\ProgramData\portopt\ports.json' -MatchPosition -Detailed | Where-Object Result -ne 'Unchanged'
if (-not $drift) { 'compliant'; exit 0 }
$line = 'drift: ' + ($drift -join ', ')  # COM4 interface: would apply (1 -> 0), ...
$line.Substring(0, [Math]::Min($line.Length, 2046))  # Intune shows the last line, cut at 2,048 characters
exit 1
