# The module in PowerShell 7 on the host build's libraries and the
# simulated Windows, held against portctl on the same machines.
# test-module.sh names the pieces: PORTOPT_MODULE (the built module's
# manifest), SIMWIN_LIBRARY, PORTCTL, PWSH (PowerShell itself, for the
# example scripts), and PORTOPT_LIBRARY_PATH for the library's loader.

Describe 'Portopt' {
    BeforeAll {
        # Compiled once, for this process and for the examples' own.
        $script:SimulatorAssembly = Join-Path $TestDrive 'Simulator.dll'
        Add-Type -Path (Join-Path $PSScriptRoot 'Simulator.cs') -OutputAssembly $SimulatorAssembly
        Add-Type -Path $SimulatorAssembly
        [Portopt.Tests.Simulator]::Open($env:SIMWIN_LIBRARY)
        Import-Module $env:PORTOPT_MODULE -Force

        $script:Demo = [Portopt.Tests.Simulator]::Demo()

        # The demo machine with another four-port adapter, whose first two ports
        # have each other's COM numbers, as do the tovelser adapter's.
        $script:Renumbered = $Demo.Replace('KB4P0001', 'KB4P0777').
            Replace('COM3', 'COMx').Replace('COM4', 'COM3').Replace('COMx', 'COM4').
            Replace('COM8', 'COMy').Replace('COM9', 'COM8').Replace('COMy', 'COM9')

        function Use-Machine([string] $document) { [Portopt.Tests.Simulator]::Load($document) }

        function Get-Machine { [Portopt.Tests.Simulator]::Dump() }

        # portctl on the machine as it is now; its output, and the machine
        # portctl leaves (in the simulator's own writing), which becomes the
        # machine here.
        function Invoke-Portctl([string[]] $arguments) {
            $file = Join-Path $TestDrive 'machine.json'
            Set-Content -LiteralPath $file -Value (Get-Machine) -NoNewline
            $output = & $env:PORTCTL --machine $file @arguments
            $script:PortctlStatus = $LASTEXITCODE
            Use-Machine (Get-Content -LiteralPath $file -Raw)
            $output -join "`n"
        }

        # An example script in a PowerShell of its own, on the machine as it
        # is now and with the module and profile here in place of the
        # Windows paths; its status and output, and the machine it leaves.
        function Invoke-Example([string] $name, [string] $profile) {
            $machine = Join-Path $TestDrive 'example-machine.json'
            Set-Content -LiteralPath $machine -Value (Get-Machine) -NoNewline
            $example = (Get-Content -LiteralPath (Join-Path $PSScriptRoot "../../examples/intune/module/$name") -Raw).
                Replace('C:\ProgramData\portopt\ports.json', $profile)
            # The example imports the module by name, as installed: the folder
            # that holds this build's Portopt\ stands first on the module path.
            $modules = Split-Path (Split-Path $env:PORTOPT_MODULE)
            $script = Join-Path $TestDrive $name
            Set-Content -LiteralPath $script -Value @"
`$env:PSModulePath = '$modules' + [IO.Path]::PathSeparator + `$env:PSModulePath
Add-Type -Path '$SimulatorAssembly'
[Portopt.Tests.Simulator]::Open('$env:SIMWIN_LIBRARY')
[Portopt.Tests.Simulator]::Load((Get-Content -LiteralPath '$machine' -Raw))
try {
$example
}
finally {
    Set-Content -LiteralPath '$machine' -Value ([Portopt.Tests.Simulator]::Dump()) -NoNewline
}
"@
            $errors = Join-Path $TestDrive 'stderr'
            $output = & $env:PWSH -NoProfile -NonInteractive -File $script 2>$errors
            $result = @{ Status = $LASTEXITCODE; Out = @($output); Err = Get-Content -LiteralPath $errors -Raw }
            Use-Machine (Get-Content -LiteralPath $machine -Raw)
            $result
        }

        # Compares JSON texts as values.
        function ConvertTo-Canonical([string] $json) { $json | ConvertFrom-Json | ConvertTo-Json -Depth 10 -Compress }

        $script:OptionNames = @{ InterfaceMode = 'interface'; FastFlush = 'fastflush'; TxMode = 'txmode'; UartFifo = 'fifo' }

        # A port as portctl list --json writes it.
        function ConvertTo-PortctlPort($port) {
            function Stored($option) { if ($option.IsStored) { $option.RawValue } }
            [ordered]@{
                port = $port.Name
                number = $port.Number
                adapter = if ($port.Adapter) {
                    [ordered]@{
                        id = $port.Adapter.InstanceId
                        bus = $port.Adapter.Bus.ToString().ToUpperInvariant()
                        vendor = $port.Adapter.VendorId
                        product = $port.Adapter.ProductId
                        family = if ($port.Adapter.Family -eq 'Tovelser') { 'tovelser' } else { 'KARBEND' }
                    }
                }
                position = $port.Position
                interface = Stored $port.InterfaceMode
                fastflush = Stored $port.FastFlush
                txmode = Stored $port.TxMode
                # The FIFO as its query answers: disabled also when nothing is stored.
                fifo = if ($port.UartFifo.IsAvailable) { $port.UartFifo.RawValue -ne 0 }
                interfaceModes = if ($port.AcceptedInterfaceModes -ne 'None') { , [int[]]@(0..3 | Where-Object { $port.Accepts($_) }) }
            }
        }

        # Import outcomes as portctl import --json writes them.
        function ConvertTo-PortctlReport($outcomes) {
            $ports = [ordered]@{}
            foreach ($outcome in $outcomes) {
                if (-not $ports.Contains($outcome.PortName)) {
                    $ports[$outcome.PortName] = [ordered]@{ entry = $outcome.Entry; options = [ordered]@{} }
                }
                $fifo = $outcome.Option -eq 'UartFifo'
                $from, $to = $outcome.From, $outcome.To | ForEach-Object { if ($fifo -and $null -ne $_) { $_ -ne 0 } else { $_ } }
                $ports[$outcome.PortName].options[$OptionNames["$($outcome.Option)"]] = switch ($outcome.Result) {
                    'Unchanged' { [ordered]@{ result = 'unchanged'; value = $from } }
                    'Applied' { [ordered]@{ result = 'applied'; from = $from; to = $to } }
                    'WouldApply' { [ordered]@{ result = 'would apply'; from = $from; to = $to } }
                    'Refused' { [ordered]@{ result = 'refused'; reason = $outcome.Reason } }
                    'Absent' { [ordered]@{ result = 'absent'; to = $to } }
                }
            }
            [ordered]@{ changed = [bool]($outcomes | Where-Object Result -eq 'Applied'); ports = $ports } | ConvertTo-Json -Depth 10
        }
    }

    BeforeEach {
        Use-Machine $Demo
    }

    Describe 'The module' {
        It 'exports the manifest''s cmdlets, with approved verbs, prefixed singular nouns and help with examples' {
            $manifest = Test-ModuleManifest $env:PORTOPT_MODULE
            $manifest.CompatiblePSEditions | Should -Be @('Desktop', 'Core')
            $manifest.Version | Should -Be ([version](Get-Content (Join-Path $PSScriptRoot '../../CMakeLists.txt') |
                Select-String 'project\(portopt VERSION ([0-9.]+)').Matches[0].Groups[1].Value)
            $cmdlets = Get-Command -Module Portopt
            $cmdlets.Name | Sort-Object | Should -Be ($manifest.ExportedCmdlets.Keys | Sort-Object)
            foreach ($cmdlet in $cmdlets) {
                $cmdlet.Verb | Should -BeIn (Get-Verb).Verb
                $cmdlet.Noun | Should -Match '^Po[A-Z][a-z]+[^s]$'
                $help = Get-Help $cmdlet.Name -Full
                $help.Synopsis | Should -Not -BeNullOrEmpty
                @($help.Examples.Example).Count | Should -BeGreaterThan 0
            }
            # The help file is the one its source and the cmdlets make.
            $written = Join-Path $TestDrive 'help.xml'
            & (Join-Path $PSScriptRoot '../help/New-PortoptHelp.ps1') -Module $env:PORTOPT_MODULE -OutFile $written
            Get-Content $written -Raw | Should -BeExactly (Get-Content (Join-Path $PSScriptRoot '../Portopt.PowerShell/en-US/Portopt.PowerShell.dll-Help.xml') -Raw)
        }
    }

    Describe 'Get-PoPort' {
        It 'lists the demo machine as portctl list --json does, and shows it as portctl list' {
            $ports = Get-PoPort
            ConvertTo-Json -Depth 5 @($ports | ForEach-Object { ConvertTo-PortctlPort $_ }) |
                Should -BeExactly (ConvertTo-Json -Depth 5 (Invoke-Portctl list, --json | ConvertFrom-Json))
            ($ports | Format-Table | Out-String).Trim() -replace ' +', ' ' -replace '(?m)^-[- ]*\r?\n', '' |
                Should -BeExactly ((Invoke-Portctl list) -replace ' +', ' ')
            (Get-PoPort com7, 8 -ErrorAction Stop).Name | Should -Be @('COM7', 'COM8')
        }
    }

    Describe 'Changes' {
        It '<what>: -WhatIf changes nothing' -ForEach @(
            @{ what = 'Set-PoPort'; prepare = {}; run = { Get-PoPort COM3, COM4 | Set-PoPort -InterfaceMode 3 -UartFifo off -WhatIf } }
            @{ what = 'Import-PoProfile'; prepare = { Set-PoPort COM3 -InterfaceMode 2 }; run = { Import-PoProfile $profile -WhatIf } }
            @{ what = 'Export-PoProfile'; prepare = {}; run = { Export-PoProfile (Join-Path $TestDrive 'new.json') -WhatIf } }
            @{ what = 'Set-PoPort -NewNumber'; prepare = {}; run = { Set-PoPort COM7 -NewNumber 12 -WhatIf } }
        ) {
            $profile = Join-Path $TestDrive 'demo.json'
            Set-Content -LiteralPath $profile -Value (Invoke-Portctl export, -)
            & $prepare
            $before = Get-Machine

            $output = & $run

            Get-Machine | Should -BeExactly $before
            Join-Path $TestDrive 'new.json' | Should -Not -Exist
            if ($what -eq 'Import-PoProfile') {
                # The plan, as outcomes that were held back.
                ($output | Where-Object Result -ne 'Unchanged' | ForEach-Object ToString) | Should -Be 'COM3 interface: would apply (2 -> 0)'
            }
        }

        It 'reads each change back: <change>' -ForEach @(
            @{ change = 'Set-PoPort COM3 -InterfaceMode 2 -Fifo off -PassThru'; port = 'COM3'; expected = 'COM3 USB 1A2B:2044 KARBEND 1 2 1 0 off' }
            @{ change = 'Get-PoPort COM4 | Set-PoPort -FastFlush on -TxMode 0 -PassThru'; port = 'COM4'; expected = 'COM4 USB 1A2B:2044 KARBEND 2 1 1 0 off' }
            @{ change = 'Set-PoPort 8 -Interface 1 -PassThru'; port = 'COM8'; expected = 'COM8 USB 1A2B:1131 tovelser 1 1 n/a n/a n/a' }
            # The text '1' switches on, as portctl takes it.
            @{ change = "Set-PoPort COM4 -FastFlush '1' -UartFifo '1' -PassThru"; port = 'COM4'; expected = 'COM4 USB 1A2B:2044 KARBEND 2 1 1 1 on' }
            @{ change = 'Set-PoPort COM7 -TxMode 1 -NewNumber 12 -PassThru'; port = 'COM12'; expected = 'COM12 PCI 1A2B:2021 KARBEND - 3 0 1 on' }
        ) {
            $passed = Invoke-Expression $change
            $read = Get-PoPort $port
            ConvertTo-Json (ConvertTo-PortctlPort $passed) | Should -BeExactly (ConvertTo-Json (ConvertTo-PortctlPort $read))
            (Invoke-Portctl list) -split "`n" -replace ' +', ' ' | Should -Contain $expected
        }

        It 'gives a refused change as one error, not terminating, with its ID, category, port and code: <what>' -ForEach @(
            @{ what = 'nothing stored'; change = { Set-PoPort COM6 -FastFlush on }; port = 'COM6'; id = 'OptionRefused'; category = 'WriteError'; code = 1016 }
            @{ what = 'a family without the option'; change = { Set-PoPort COM8 -TxMode 1 }; port = 'COM8'; id = 'OptionRefused'; category = 'WriteError'; code = 'the adapter refused the change, no code given' }
            @{ what = 'accepted, not kept'; machine = 'PID_1110'; change = { Set-PoPort COM8 -InterfaceMode 0 }; port = 'COM8'; id = 'OptionRefused'; category = 'InvalidResult'; code = 0 }
            @{ what = 'a mode the adapter lacks'; change = { Set-PoPort COM8 -InterfaceMode 0 }; port = 'COM8'; id = 'InterfaceModeNotAccepted'; category = 'InvalidArgument'; code = 'its adapter USB\\VID_1A2B&PID_1131\\TV2P0042 does not take interface mode 0; it takes modes 1, 2 and 3' }
            @{ what = 'not present'; change = { Set-PoPort COM2 -InterfaceMode 0 }; port = 'COM2'; id = 'PortNotFound'; category = 'ObjectNotFound' }
            @{ what = 'beyond 256'; change = { Set-PoPort COM300 -InterfaceMode 0 }; port = 'COM300'; id = 'PortOutOfRange'; category = 'InvalidArgument' }
            @{ what = 'ten digits'; change = { Get-PoPort 0000000007 }; port = '0000000007'; id = 'PortNotFound'; category = 'ObjectNotFound' }
            @{ what = 'the listing fails'; fault = 'SetupDiGetClassDevsW'; change = { Set-PoPort COM3 -InterfaceMode 1 }; port = 'COM3'; id = 'PortsNotRead'; category = 'ReadError'; code = 8 }
            @{ what = 'in an import'; change = { Import-PoProfile $profile }; port = 'COM6'; id = 'OptionRefused'; category = 'WriteError'; code = 1016 }
        ) {
            if ($machine) { Use-Machine $Demo.Replace('PID_1131', $machine) }
            $profile = Join-Path $TestDrive 'refused.json'
            Set-Content -LiteralPath $profile -Value '{"portctl": 1, "ports": {"COM3": {"interface": 1}, "COM6": {"fastflush": 1}}}'
            $before = Get-Machine

            if ($fault) { [Portopt.Tests.Simulator]::FailAt($fault, 1, 8) }
            # The errors as the change writes them, without stopping it.
            $written = & { $ErrorActionPreference = 'Continue'; & $change } 2>&1
            $errors = @($written | Where-Object { $_ -is [System.Management.Automation.ErrorRecord] })
            $output = @($written | Where-Object { $_ -isnot [System.Management.Automation.ErrorRecord] })

            $errors.Count | Should -Be 1
            $errors[0].FullyQualifiedErrorId | Should -BeLike "$id,Portopt.PowerShell.*"
            $errors[0].TargetObject | Should -Be $port
            $errors[0].CategoryInfo.Category | Should -Be $category
            switch ($code) {
                { $_ -is [int] } { $errors[0].Exception.NativeErrorCode | Should -Be $code }
                { $_ -is [string] } { $errors[0].Exception.NativeErrorCode | Should -Not -BeIn @(87, 1016); "$($errors[0])" | Should -Match $code }
            }
            if ($what -eq 'in an import') {
                ($output | ForEach-Object ToString) | Should -Be @('COM3 interface: applied (0 -> 1)', 'COM6 fastflush: refused: the stored setting could not be read or written')
            } else {
                Get-Machine | Should -BeExactly $before
            }
        }
    }

    Describe 'Get-PoPort without names' {
        It 'stops on a listing that fails, whatever the error action' {
            [Portopt.Tests.Simulator]::FailAt('SetupDiGetClassDevsW', 1, 8)
            $failure = { Get-PoPort -ErrorAction SilentlyContinue } | Should -Throw -ErrorId 'PortsNotRead,*' -PassThru
            $failure.CategoryInfo.Category | Should -Be 'ReadError'
            $failure.Exception.NativeErrorCode | Should -Be 8
        }
    }

    Describe 'Profiles' {
        It 'go from one machine to another with other COM numbers by position, as portctl imports them, and test true after' {
            Push-Location $TestDrive
            try {
                # Relative to the PowerShell location, as a user gives it.
                Export-PoProfile golden.json
                Get-Content golden.json -Raw | Should -BeExactly ((Invoke-Portctl export, -) + "`n")

                Use-Machine $Renumbered
                Set-PoPort COM4 -FastFlush off -TxMode 1
                $before = Get-Machine
                Test-PoProfile golden.json -MatchPosition | Should -BeFalse
                # The settings here stayed with the COM numbers.
                (Test-PoProfile golden.json -MatchPosition -Detailed | Where-Object Result -ne 'Unchanged' | ForEach-Object ToString) | Should -Be @(
                    'COM4 interface: would apply (1 -> 0)', 'COM4 fastflush: would apply (0 -> 1)', 'COM4 txmode: would apply (1 -> 0)', 'COM4 fifo: would apply (off -> on)',
                    'COM3 interface: would apply (0 -> 1)', 'COM3 fastflush: would apply (1 -> 0)', 'COM3 txmode: would apply (0 -> 1)', 'COM3 fifo: would apply (on -> off)')
                Test-PoProfile golden.json | Should -BeFalse

                $expected = Invoke-Portctl import, --match, position, --json, golden.json
                $byPortctl = Get-Machine
                Use-Machine $before
                $outcomes = Import-PoProfile golden.json -MatchPosition

                ConvertTo-Canonical (ConvertTo-PortctlReport $outcomes) | Should -BeExactly (ConvertTo-Canonical $expected)
                Get-Machine | Should -BeExactly $byPortctl
                Test-PoProfile golden.json -MatchPosition | Should -BeTrue
                (Get-PoPort COM4).InterfaceMode.Value | Should -Be 'Mode0'
            }
            finally {
                Pop-Location
            }
        }

        It 'serve the Intune pair: a detection that finds the drift in one line, a remediation, a detection that finds none' {
            $golden = Join-Path $TestDrive 'golden.json'
            Export-PoProfile $golden
            Use-Machine $Renumbered

            $drift = Invoke-Example detect.ps1 $golden
            $drift.Status | Should -Be 1
            $drift.Out | Should -Be ('drift: COM4 interface: would apply (1 -> 0), COM4 fastflush: would apply (0 -> 1), COM4 txmode: would apply (1 -> 0), ' +
                'COM4 fifo: would apply (off -> on), COM3 interface: would apply (0 -> 1), COM3 fastflush: would apply (1 -> 0), ' +
                'COM3 txmode: would apply (0 -> 1), COM3 fifo: would apply (on -> off)')
            $drift.Err | Should -BeNullOrEmpty
            $remedied = Invoke-Example remediate.ps1 $golden
            $remedied.Status | Should -Be 0
            $remedied.Out | Should -HaveCount 8
            $remedied.Out[0] | Should -Be 'COM4 interface: applied (1 -> 0)'
            $compliant = Invoke-Example detect.ps1 $golden
            $compliant.Status, $compliant.Out | Should -Be @(0, 'compliant')
        }

        It 'give the ports by position their entries'' COM numbers with -Numbers, as portctl does, and not with -WhatIf' {
            $file = Join-Path $TestDrive 'numbers.json'
            Set-Content -LiteralPath $file -Value ('{"portctl": 1, "ports": {' +
                '"COM4": {"adapter": {"vendor": 6699, "product": 8260}, "position": 1, "interface": 0}, ' +
                '"COM3": {"adapter": {"vendor": 6699, "product": 8260}, "position": 2}}}')
            { Test-PoProfile $file -Numbers } | Should -Throw -ErrorId 'NumbersWithoutPosition,*'
            Test-PoProfile $file -MatchPosition | Should -BeTrue
            Test-PoProfile $file -MatchPosition -Numbers | Should -BeFalse
            (Test-PoProfile $file -MatchPosition -Numbers -Detailed | Select-Object -First 2 | ForEach-Object ToString) |
                Should -Be @('COM3 number: would apply (3 -> 2 -> 4)', 'COM4 number: would apply (4 -> 3)')

            $before = Get-Machine
            Import-PoProfile $file -MatchPosition -Numbers -WhatIf
            Get-Machine | Should -BeExactly $before

            $expected = Invoke-Portctl import, --match, position, --numbers, --json, $file
            $byPortctl = Get-Machine
            Use-Machine $before
            $outcomes = Import-PoProfile $file -MatchPosition -Numbers
            ($outcomes | Where-Object { $_ -is [Portopt.ProfileNumberOutcome] } | ForEach-Object ToString) |
                Should -Be @('COM3 number: applied (3 -> 2 -> 4)', 'COM4 number: applied (4 -> 3)')
            Get-Machine | Should -BeExactly $byPortctl
            $expected | Should -Not -BeNullOrEmpty
            Test-PoProfile $file -MatchPosition -Numbers | Should -BeTrue
        }

        It 'that are not profiles, or do not fit, are refused whole naming the file and the place' {
            Set-Content -LiteralPath (Join-Path $TestDrive 'bad.json') -Value '{"portctl": 1, "ports": {"COM3": {"interface": 1}, "COM4": {"interface": 4}}}'
            Set-Content -LiteralPath (Join-Path $TestDrive 'absent.json') -Value '{"portctl": 1, "ports": {"COM3": {"interface": 1}, "COM2": {"txmode": 1}}}'
            $before = Get-Machine
            $bad = { Import-PoProfile (Join-Path $TestDrive 'bad.json') } | Should -Throw -ErrorId 'ProfileRefused,*' -PassThru
            "$bad" | Should -BeLike '*bad.json: ports.COM4.interface: value 4 out of range (0 to 3)'
            $absent = { Import-PoProfile (Join-Path $TestDrive 'absent.json') } | Should -Throw -ErrorId 'ProfileRefused,*' -PassThru
            "$absent" | Should -BeLike '*absent.json: ports.COM2: no such port on this machine'
            # A test counts a port that is not here as a difference.
            (Test-PoProfile (Join-Path $TestDrive 'absent.json') -Detailed | ForEach-Object Result) | Should -Be @('WouldApply', 'Absent')
            { Test-PoProfile (Join-Path $TestDrive 'missing.json') } | Should -Throw -ErrorId 'ProfileNotRead,*'
            Get-Machine | Should -BeExactly $before
        }
    }
}
