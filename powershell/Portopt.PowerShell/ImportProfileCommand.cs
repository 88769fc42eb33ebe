using System.Management.Automation;

namespace Portopt.PowerShell
{
    /// <summary>Import-PoProfile: sets each option of a profile that differs
    /// on the port it goes to, reading each change back, and writes what
    /// became of every option, as <c>portctl import</c> reports it.</summary>
    [Cmdlet(VerbsData.Import, "PoProfile", SupportsShouldProcess = true, ConfirmImpact = ConfirmImpact.Medium)]
    [OutputType(typeof(ProfileOutcome), typeof(ProfileNumberOutcome))]
    public sealed class ImportProfileCommand : ProfileCommand
    {
        /// <summary>Each entry goes to the port at its position on an adapter
        /// of the same vendor and product, whatever its COM number here.</summary>
        [Parameter]
        public SwitchParameter MatchPosition { get; set; }

        /// <summary>With -MatchPosition: each port first gets its entry's COM
        /// number (administrator rights needed), then its options.</summary>
        [Parameter]
        public SwitchParameter Numbers { get; set; }

        /// <inheritdoc/>
        protected override void ProcessRecord()
        {
            string path = FilePath;
            CheckNumbers(MatchPosition, Numbers);
            ProfileReport? report = null;
            Run(path, writing: false, () =>
                report = Profile.Load(path).Import(Matching(MatchPosition), Numbers,
                    change => ShouldProcess(change.PortName, $"Set {Described(change)}"),
                    number => ShouldProcess(number.PortName, $"Set number {number.From} -> {number.To}")));
            foreach (ProfileNumberOutcome number in report!.Numbers)
            {
                WriteObject(number);
                if (number.Result == ProfileResult.Refused)
                {
                    WriteError(ErrorRecords.Refused(number));
                }
            }
            foreach (ProfileOutcome outcome in report.Outcomes)
            {
                WriteObject(outcome);
                if (outcome.Result == ProfileResult.Refused)
                {
                    WriteError(ErrorRecords.Refused(outcome));
                }
            }
        }

        // "InterfaceMode 0 -> 2"; "-" where nothing is stored.
        private static string Described(ProfileOutcome change) =>
            $"{change.Option} {(change.From == null ? "-" : change.From.ToString())} -> {change.To}";
    }
}
