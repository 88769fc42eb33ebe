# Intune detection script: exit 0 when the serial adapters' options are as
# the golden machine's export gives them, whatever COM numbers the adapters
# got here; exit 1, with one line naming what differs, when they are not,
# so that Intune runs remediate.ps1.  portctl changes nothing here, and
# writes to standard error only when the file itself is unusable (exit 2).
$ErrorActionPreference = 'Stop'  # a missing portctl.exe fails the script
$portctl = 'C:\Tools\portopt\bin\portctl.exe'
$golden = 'C:\ProgramData\portopt\ports.json'
& $portctl check --match position $golden
exit $LASTEXITCODE
