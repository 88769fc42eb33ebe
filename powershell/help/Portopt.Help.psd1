# The module's help, from which New-PortoptHelp.ps1 writes the help file
# (Portopt.PowerShell/en-US/Portopt.PowerShell.dll-Help.xml) with each
# cmdlet's syntax and parameters as the module declares them.  Each item of
# an example's Code is a line.
@{
    'Get-PoPort' = @{
        Synopsis = 'Gets COM ports with their adapters and options.'
        Description = @(
            'Gets every COM port, or the ports named, as Portopt.Port objects: the name and COM number, the adapter that carries the port (instance ID, bus, vendor and product ID, driver family), the position n of the port''s "Port n" on that adapter, and its four options: InterfaceMode, FastFlush, TxMode and UartFifo.'
            'Each option tells whether the adapter''s family has it (IsAvailable), whether a value is stored (IsStored) and the value (Value, RawValue). The table view shows the ports as portctl list does: - for a value that is not stored, n/a for an option the adapter''s family does not have.'
            'Every port is read in one pass over the machine. A port that is not present is an error (PortNotFound) and the other ports are still read.'
        )
        Parameters = @{
            Name = 'The ports to get: COM7, com7 or 7. Without it, every port, COM2 before COM10.'
        }
        Inputs = @{ 'System.String' = 'Port names, also as the Name property of piped objects.' }
        Outputs = @{ 'Portopt.Port' = 'A port as read now; it does not change when the port does.' }
        Examples = @(
            @{ Title = 'Every port'; Code = 'Get-PoPort'; Remarks = 'Lists every COM port with its adapter, position and options.' }
            @{ Title = 'Ports of one adapter model'; Code = 'Get-PoPort | Where-Object { $_.Adapter.ProductId -eq 0x2044 } | Select-Object Name, Position, InterfaceMode'; Remarks = 'Shows the interface mode of every port of the adapters with product ID 2044.' }
        )
    }
    'Set-PoPort' = @{
        Synopsis = 'Changes options of COM ports, reading each change back.'
        Description = @(
            'Changes the options given, in the order interface mode, fast flush, transmit mode, UART FIFO, on each port named or piped from Get-PoPort. Each change is read back; a change that does not take is an error (OptionRefused) whose exception carries the library''s code in NativeErrorCode (87: a value the adapter does not take; 1016: the stored setting could not be read or written, for example without administrator rights; another code: the adapter could not be reached or refused the change; 0: the change was accepted but the port reads back another value) and whose target is the port. The options after it on that port are not tried; the other ports are.'
            'Changing the drivers'' settings needs administrator rights: run PowerShell elevated ("Run as administrator"). -WhatIf says what would change and changes nothing; -Verbose says each change as old -> new.'
        )
        Parameters = @{
            Name = 'The ports to change: COM7, com7 or 7, or the ports Get-PoPort gives.'
            InterfaceMode = 'The interface mode, 0 to 3.'
            FastFlush = 'Fast flush: on or off (also 1, 0, $true, $false).'
            TxMode = 'The transmit mode, 0 or 1.'
            UartFifo = 'The UART FIFO: on (enabled) or off (also 1, 0, $true, $false).'
            NewNumber = 'The port''s new COM number, 1 to 256, given once its options are changed: the COM port database, the port''s names and its stored options follow, and the device restarts (needs administrator rights).'
            Force = 'With -NewNumber: also take a number that only the COM port database holds, left by a removed device.'
            PassThru = 'Writes each port as read back after its changes.'
        }
        Inputs = @{ 'Portopt.Port' = 'Ports from Get-PoPort (by their Name).' }
        Outputs = @{ 'Portopt.Port' = 'With -PassThru, each port as read back.' }
        Examples = @(
            @{ Title = 'Interface mode 2 and the FIFO off'; Code = 'Set-PoPort COM7 -InterfaceMode 2 -UartFifo off -PassThru'; Remarks = 'Changes both options of COM7 and shows the port as read back.' }
            @{ Title = 'A new COM number'; Code = 'Set-PoPort COM7 -NewNumber 12 -PassThru'; Remarks = 'Gives the port of COM7 the number 12, as an application expects it, and shows it as read back as COM12.' }
            @{ Title = 'Every port of an adapter'; Code = 'Get-PoPort | Where-Object { $_.Adapter.InstanceId -like ''*\KB4P0001'' } | Set-PoPort -FastFlush on -WhatIf'; Remarks = 'Says which ports of the adapter would get fast flush, and changes nothing; without -WhatIf it changes them.' }
        )
    }
    'Export-PoProfile' = @{
        Synopsis = 'Writes the ports'' stored options to a profile file.'
        Description = @(
            'Writes the stored options of every port to a file in the format of portctl export, which portctl import and check read as well: for each port its adapter (instance ID, vendor and product ID) and its position there, then each option that has a stored value. Options that are not stored, or that the port''s family does not have, are left out. A port left with none is written when it sits on an adapter, so that Import-PoProfile -Numbers gives it back its COM number.'
            'The file is written whole or not at all: the profile goes to a temporary file beside it, which then replaces it. When the ports cannot be listed, the file is left alone.'
        )
        Parameters = @{
            Path = 'The file to write, relative to the current location.'
            PassThru = 'Writes the profile (a Portopt.Profile) too.'
        }
        Inputs = @{ 'None' = '' }
        Outputs = @{ 'Portopt.Profile' = 'With -PassThru, the profile written.' }
        Examples = @(
            @{ Title = 'The golden machine''s profile'; Code = 'Export-PoProfile C:\ProgramData\portopt\ports.json'; Remarks = 'Writes the stored options of every port, to be imported or tested on other machines.' }
        )
    }
    'Import-PoProfile' = @{
        Synopsis = 'Sets the options a profile file gives, where they differ.'
        Description = @(
            'Reads a profile (the format of portctl export), checks all of it, and sets each option that differs on the port its entry goes to, reading each change back, as portctl import does. By default each entry goes to the port of its COM number; with -MatchPosition to the port at the same position ("Port n") of an adapter with the same vendor and product ID, whatever COM number that port has here (of several such adapters, the one with the entry''s instance ID).'
            'Writes one Portopt.ProfileOutcome for each option of each entry: Unchanged, Applied (From, To), WouldApply (a change -WhatIf or -Confirm held back) or Refused (Reason, ErrorCode). Each refusal is also an error (OptionRefused) carrying the change call''s code and the port; it does not stop the other options.'
            'With -MatchPosition -Numbers each port first gets its entry''s COM number (renumbered in an order in which no two ports carry one number at once, never to a number another present port outside the profile carries or only the COM port database holds), then its options; a Portopt.ProfileNumberOutcome for each port comes before the option outcomes, and a number not given is an error (NumberRefused).'
            'A file that is not a profile, or whose entries do not fit the ports here (a COM number not present, a port given twice, entries that cannot be matched by position), is a terminating error (ProfileRefused) naming the file and the place, and nothing is changed. Changing the drivers'' settings needs administrator rights.'
        )
        Parameters = @{
            Path = 'The profile file, relative to the current location.'
            MatchPosition = 'Each entry goes to the port at its position on an adapter of the same vendor and product ID, whatever its COM number here.'
            Numbers = 'With -MatchPosition: each port is first given its entry''s COM number. -WhatIf and -Confirm hold back numbers as they hold back options.'
        }
        Inputs = @{ 'System.String' = 'The file, also as the FullName of piped files.' }
        Outputs = @{ 'Portopt.ProfileOutcome' = 'What became of each option of each entry.'; 'Portopt.ProfileNumberOutcome' = 'With -Numbers, what became of each port''s COM number.' }
        Examples = @(
            @{ Title = 'Onto a machine whose adapters got other COM numbers'; Code = 'Import-PoProfile C:\ProgramData\portopt\ports.json -MatchPosition'; Remarks = 'Sets each option that differs on the port at the same place of the same kind of adapter, and lists every option''s outcome.' }
            @{ Title = 'The plan only'; Code = 'Import-PoProfile .\ports.json -WhatIf | Where-Object Result -ne Unchanged'; Remarks = 'Shows what would change, as WouldApply outcomes, and changes nothing.' }
        )
    }
    'Test-PoProfile' = @{
        Synopsis = 'Tests whether the ports already are as a profile file gives them.'
        Description = @(
            'Answers $true when every option of the profile already holds on the port its entry goes to, and $false when any differs, as portctl check answers; an entry whose COM number is not present counts as a difference. Entries are matched as Import-PoProfile matches them (-MatchPosition as well). It changes nothing.'
            'With -Detailed it writes each option''s Portopt.ProfileOutcome instead: Unchanged, WouldApply (From, To) or Absent. A file that Import-PoProfile would refuse for any other reason than a port that is not present is a terminating error (ProfileRefused), and so are ports that cannot be listed (PortsNotRead).'
        )
        Parameters = @{
            Path = 'The profile file, relative to the current location.'
            MatchPosition = 'Each entry goes to the port at its position on an adapter of the same vendor and product ID, whatever its COM number here.'
            Detailed = 'Writes each option''s outcome instead of $true or $false.'
            Numbers = 'With -MatchPosition: a port that does not carry its entry''s COM number is a difference too (with -Detailed, each number''s outcome comes first).'
        }
        Inputs = @{ 'System.String' = 'The file, also as the FullName of piped files.' }
        Outputs = @{ 'System.Boolean' = 'Whether every option holds.'; 'Portopt.ProfileOutcome' = 'With -Detailed, each option''s outcome.'; 'Portopt.ProfileNumberOutcome' = 'With -Detailed -Numbers, each port''s number.' }
        Examples = @(
            @{ Title = 'An Intune detection script'; Code = @('if (Test-PoProfile C:\ProgramData\portopt\ports.json -MatchPosition) { ''compliant''; exit 0 }', '''drift''; exit 1'); Remarks = 'Exits with 0 when the machine is as the golden machine''s profile gives it, and with 1 when not, so that Intune runs the remediation.' }
            @{ Title = 'What differs'; Code = 'Test-PoProfile .\ports.json -Detailed | Where-Object Result -ne Unchanged'; Remarks = 'Lists the options that differ, with the value here (From) and the profile''s (To).' }
        )
    }
}
