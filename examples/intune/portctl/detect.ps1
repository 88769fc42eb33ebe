# Intune detection script: exit 0 when the serial adapters' options are as
# the golden machine's export gives them, whatever COM numbers the adapters
# got here; exit 1, with one line naming what differs, when they are not,
# so that Intune runs remediate.ps1.  portctl changes nothing here, and
# writes to standard error only when the file itself is unusable (exit 2).
$ErrorActionPreference = 'Stop'  # a missing portctl.exe fails the script
# Where the x64 MSI installs it.  The MSI also puts this folder on the
# system PATH, but the Intune agent's scripts see that only after the
# agent restarts: the full path works at once.
$portctl = 'C:\Program Files\portopt\bin\portctl.exe'
$golden = 'C:\ProgramData\portopt\ports.json'
& $portctl check --match position $golden
exit $LASTEXITCODE
