using System.Management.Automation;

namespace Portopt.PowerShell
{
    /// <summary>Export-PoProfile: writes the ports' stored options to a file
    /// in portctl's format, with each port's adapter and position.</summary>
    [Cmdlet(VerbsData.Export, "PoProfile", SupportsShouldProcess = true, ConfirmImpact = ConfirmImpact.Medium)]
    [OutputType(typeof(Profile))]
    public sealed class ExportProfileCommand : ProfileCommand
    {
        /// <summary>Writes the profile object too.</summary>
        [Parameter]
        public SwitchParameter PassThru { get; set; }

        /// <inheritdoc/>
        protected override void ProcessRecord()
        {
            string path = FilePath;
            Run(path, writing: true, () =>
            {
                // Read first: ports that cannot be listed leave the file alone.
                Profile profile = Profile.Export();
                if (ShouldProcess(path, "Write the ports' stored options"))
                {
                    profile.Save(path);
                }
                if (PassThru)
                {
                    WriteObject(profile);
                }
            });
        }
    }
}
