using System.Management.Automation;

namespace Portopt.PowerShell
{
    /// <summary>Test-PoProfile: $true when every option of a profile already
    /// holds on the port it goes to, else $false, as <c>portctl check</c>
    /// answers; an entry whose COM number is not present counts as a
    /// difference.  Changes nothing.</summary>
    [Cmdlet(VerbsDiagnostic.Test, "PoProfile")]
    [OutputType(typeof(bool), typeof(ProfileOutcome), typeof(ProfileNumberOutcome))]
    public sealed class TestProfileCommand : ProfileCommand
    {
        /// <summary>Each entry goes to the port at its position on an adapter
        /// of the same vendor and product, whatever its COM number here.</summary>
        [Parameter]
        public SwitchParameter MatchPosition { get; set; }

        /// <summary>With -MatchPosition: a port that does not carry its
        /// entry's COM number is a difference too.</summary>
        [Parameter]
        public SwitchParameter Numbers { get; set; }

        /// <summary>Writes each option's outcome (Unchanged, WouldApply or
        /// Absent), after each number's with -Numbers, instead of $true or
        /// $false.</summary>
        [Parameter]
        public SwitchParameter Detailed { get; set; }

        /// <inheritdoc/>
        protected override void ProcessRecord()
        {
            string path = FilePath;
            CheckNumbers(MatchPosition, Numbers);
            ProfileReport? report = null;
            Run(path, writing: false, () => report = Profile.Load(path).Test(Matching(MatchPosition), Numbers));
            if (Detailed)
            {
                WriteObject(report!.Numbers, enumerateCollection: true);
                WriteObject(report.Outcomes, enumerateCollection: true);
            }
            else
            {
                WriteObject(report!.Compliant);
            }
        }
    }
}
