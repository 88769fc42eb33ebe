# Intune remediation script: sets each option that differs from the golden
# machine's profile, on the port at the same position of the same kind of
# adapter, reads each change back and prints it.  It needs administrator
# rights (Intune runs it as SYSTEM).  A refused change is an error, and the
# script exits with 1.  The module is imported by its name, as the MSI
# installs it (docs/intune.md).
$ErrorActionPreference = 'Stop'  # a missing module or an unusable profile fails the script
Import-Module Portopt
Import-PoProfile 'C:\ProgramData\portopt\ports.json' -MatchPosition -ErrorAction Continue -ErrorVariable refused |
    Where-Object Result -ne 'Unchanged' | ForEach-Object { "$_" }
if ($refused) { exit 1 }
