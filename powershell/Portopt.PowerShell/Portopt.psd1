# The manifest of the Portopt module; the build writes in the project's version.
@{
    RootModule = 'Portopt.PowerShell.dll'
    ModuleVersion = '@PORTOPT_VERSION@'
    GUID = '01887539-b3c4-4d74-bb34-eb02cbac96ef'
    Author = 'The portopt authors'
    Description = 'Lists the COM ports of multi-port USB and PCI serial adapters with their adapters and options, changes the interface mode, fast flush, transmit mode and UART FIFO with read-back, and exports, imports and tests profiles in the file format of portctl. Loads the 32-bit or 64-bit portopt.dll and comlist.dll to match the process.'
    CompatiblePSEditions = @('Desktop', 'Core')
    PowerShellVersion = '5.1'
    DotNetFrameworkVersion = '4.7.2'
    FormatsToProcess = @('Portopt.Format.ps1xml')
    CmdletsToExport = @('Get-PoPort', 'Set-PoPort', 'Export-PoProfile', 'Import-PoProfile', 'Test-PoProfile')
    FunctionsToExport = @()
    VariablesToExport = @()
    AliasesToExport = @()
    PrivateData = @{
        PSData = @{
            Tags = @('serial', 'com-port', 'uart', 'fifo', 'serial-adapter', 'Windows')
        }
    }
}
