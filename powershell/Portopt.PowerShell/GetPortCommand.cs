using System;
using System.ComponentModel;
using System.Management.Automation;

namespace Portopt.PowerShell
{
    /// <summary>Get-PoPort: every COM port, or the ports named, each with its
    /// adapter, its position there and its four options.</summary>
    [Cmdlet(VerbsCommon.Get, "PoPort")]
    [OutputType(typeof(Port))]
    public sealed class GetPortCommand : PSCmdlet
    {
        /// <summary>The ports: COM7, com7 or 7.  Without it, every port.</summary>
        [Parameter(Position = 0, ValueFromPipeline = true, ValueFromPipelineByPropertyName = true)]
        [Alias("Port", "PortName")]
        [ValidateNotNullOrEmpty]
        public string[]? Name { get; set; }

        /// <inheritdoc/>
        protected override void ProcessRecord()
        {
            if (Name == null)
            {
                try
                {
                    WriteObject(Ports.GetAll(), enumerateCollection: true);
                }
                catch (Win32Exception fault)
                {
                    ThrowTerminatingError(ErrorRecords.Unlisted(fault));
                }
                return;
            }
            foreach (string port in Name)
            {
                try
                {
                    WriteObject(PortArgument.Get(port));
                }
                catch (ArgumentException fault)
                {
                    WriteError(ErrorRecords.BadPort(fault, port));
                }
                catch (Win32Exception fault)
                {
                    WriteError(ErrorRecords.Unlisted(fault, port));
                }
            }
        }
    }
}
