using System;
using System.Collections.Generic;
using System.ComponentModel;
using System.Globalization;
using System.Management.Automation;

namespace Portopt.PowerShell
{
    /// <summary>Set-PoPort: changes options of the ports named (or piped
    /// from Get-PoPort), in the order interface mode, fast flush, transmit
    /// mode, UART FIFO, reading each change back.</summary>
    [Cmdlet(VerbsCommon.Set, "PoPort", SupportsShouldProcess = true, ConfirmImpact = ConfirmImpact.Medium)]
    [OutputType(typeof(Port))]
    public sealed class SetPortCommand : PSCmdlet
    {
        /// <summary>The ports: COM7, com7 or 7, or the ports Get-PoPort gives.</summary>
        [Parameter(Mandatory = true, Position = 0, ValueFromPipeline = true, ValueFromPipelineByPropertyName = true)]
        [Alias("Port", "PortName")]
        [ValidateNotNullOrEmpty]
        public string[] Name { get; set; } = Array.Empty<string>();

        /// <summary>The interface mode, 0 to 3.</summary>
        [Parameter]
        [Alias("Interface")]
        [ValidateRange(0, 3)]
        public int? InterfaceMode { get; set; }

        /// <summary>Fast flush: on or off.</summary>
        [Parameter]
        [OnOff]
        public bool? FastFlush { get; set; }

        /// <summary>The transmit mode, 0 or 1.</summary>
        [Parameter]
        [ValidateRange(0, 1)]
        public int? TxMode { get; set; }

        /// <summary>The UART FIFO: on (enabled) or off.</summary>
        [Parameter]
        [Alias("Fifo")]
        [OnOff]
        public bool? UartFifo { get; set; }

        /// <summary>The port's new COM number, 1 to 256, given once its options
        /// are changed (needs administrator rights).</summary>
        [Parameter]
        [ValidateRange(1, 256)]
        public int? NewNumber { get; set; }

        /// <summary>With -NewNumber: also take a number that only the COM port
        /// database holds (left by a removed device).</summary>
        [Parameter]
        public SwitchParameter Force { get; set; }

        /// <summary>Writes each port as read back after its changes.</summary>
        [Parameter]
        public SwitchParameter PassThru { get; set; }

        /// <inheritdoc/>
        protected override void BeginProcessing()
        {
            if (InterfaceMode == null && FastFlush == null && TxMode == null && UartFifo == null && NewNumber == null)
            {
                ThrowTerminatingError(new ErrorRecord(
                    new ArgumentException("Give the options to change: -InterfaceMode, -FastFlush, -TxMode, -UartFifo or -NewNumber."),
                    "NoOptionGiven", ErrorCategory.InvalidArgument, null));
            }
        }

        /// <inheritdoc/>
        protected override void ProcessRecord()
        {
            foreach (string port in Name)
            {
                if (!ShouldProcess(port, "Set " + Changes()))
                {
                    continue;
                }
                try
                {
                    Port before = PortArgument.Get(port);
                    Port after = PortArgument.Set(port, (InterfaceMode?)InterfaceMode, FastFlush, TxMode, UartFifo);
                    foreach (string change in Changed(before, after))
                    {
                        WriteVerbose(change);
                    }
                    if (NewNumber != null && after.Number != NewNumber)
                    {
                        after = Renumber(after);
                    }
                    if (PassThru)
                    {
                        WriteObject(after);
                    }
                }
                catch (PortOptionException refusal)
                {
                    WriteError(ErrorRecords.Refused(refusal));
                }
                catch (ArgumentOutOfRangeException fault) when (fault.ParamName == "interfaceMode")
                {
                    // A mode the port's adapter does not take: refused before any change.
                    WriteError(ErrorRecords.ModeNotAccepted(fault, port));
                }
                catch (ArgumentException fault)
                {
                    WriteError(ErrorRecords.BadPort(fault, port));
                }
                catch (Win32Exception fault) when (NewNumber != null && fault.NativeErrorCode != 0)
                {
                    WriteError(new ErrorRecord(fault, "NumberRefused", ErrorCategory.InvalidOperation, port));
                }
                catch (Win32Exception fault)
                {
                    WriteError(ErrorRecords.Unlisted(fault, port));
                }
            }
        }

        /// <summary>Gives the port its new number; a refusal is a
        /// Win32Exception with the library's code.</summary>
        private Port Renumber(Port port)
        {
            Port renumbered = Ports.SetNumber(port.Number!.Value, NewNumber!.Value, Force, out bool rebootRequired);
            WriteVerbose($"{port.Name} number: {port.Number} -> {NewNumber}");
            if (rebootRequired)
            {
                WriteWarning($"{port.Name} takes COM{NewNumber} when Windows restarts.");
            }
            return renumbered;
        }

        /// <summary>"interface 2, fifo off", as portctl's set takes them.</summary>
        private string Changes()
        {
            var changes = new List<string>();
            if (InterfaceMode != null)
            {
                changes.Add("interface " + InterfaceMode.Value.ToString(CultureInfo.InvariantCulture));
            }
            if (FastFlush != null)
            {
                changes.Add("fastflush " + (FastFlush.Value ? "on" : "off"));
            }
            if (TxMode != null)
            {
                changes.Add("txmode " + TxMode.Value.ToString(CultureInfo.InvariantCulture));
            }
            if (UartFifo != null)
            {
                changes.Add("fifo " + (UartFifo.Value ? "on" : "off"));
            }
            if (NewNumber != null)
            {
                changes.Add("number " + NewNumber.Value.ToString(CultureInfo.InvariantCulture));
            }
            return string.Join(", ", changes);
        }

        /// <summary>"COM7 interface: 0 -> 2" for each option given.</summary>
        private IEnumerable<string> Changed(Port before, Port after)
        {
            if (InterfaceMode != null)
            {
                yield return $"{after.Name} interface: {Shown(before.InterfaceMode, false)} -> {Shown(after.InterfaceMode, false)}";
            }
            if (FastFlush != null)
            {
                yield return $"{after.Name} fastflush: {Shown(before.FastFlush, false)} -> {Shown(after.FastFlush, false)}";
            }
            if (TxMode != null)
            {
                yield return $"{after.Name} txmode: {Shown(before.TxMode, false)} -> {Shown(after.TxMode, false)}";
            }
            if (UartFifo != null)
            {
                yield return $"{after.Name} fifo: {Shown(before.UartFifo, true)} -> {Shown(after.UartFifo, true)}";
            }
        }

        /// <summary>The value as portctl shows it: the number (on or off for
        /// the FIFO), "-" when not stored, "n/a" when the port lacks the option.</summary>
        private static string Shown<T>(OptionValue<T> option, bool onOff)
            where T : struct =>
            !option.IsStored ? option.ToString()
            : onOff ? (option.RawValue != 0 ? "on" : "off")
            : option.RawValue.ToString(CultureInfo.InvariantCulture);
    }
}
