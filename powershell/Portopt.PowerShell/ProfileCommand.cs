using System;
using System.ComponentModel;
using System.IO;
using System.Management.Automation;

namespace Portopt.PowerShell
{
    /// <summary>What the profile cmdlets share: the file, taken relative to
    /// the current PowerShell location, and how its faults are reported.</summary>
    public abstract class ProfileCommand : PSCmdlet
    {
        /// <summary>The profile file, in portctl's export format.</summary>
        [Parameter(Mandatory = true, Position = 0, ValueFromPipelineByPropertyName = true)]
        [Alias("FullName")]
        [ValidateNotNullOrEmpty]
        public string Path { get; set; } = "";

        /// <summary>The file as a path of the file system.</summary>
        private protected string FilePath => GetUnresolvedProviderPathFromPSPath(Path);

        /// <summary>Runs <paramref name="work"/>; a fault that stops it
        /// (a file or a profile that cannot be used, ports that cannot be
        /// listed) ends the cmdlet with its error.</summary>
        private protected void Run(string path, bool writing, Action work)
        {
            try
            {
                work();
            }
            catch (ProfileException fault)
            {
                ThrowTerminatingError(ErrorRecords.BadProfile(fault, path));
            }
            catch (Win32Exception fault)
            {
                ThrowTerminatingError(ErrorRecords.Unlisted(fault));
            }
            catch (Exception fault) when (fault is IOException || fault is UnauthorizedAccessException || fault is NotSupportedException)
            {
                ThrowTerminatingError(ErrorRecords.File(fault, path, writing));
            }
        }

        /// <summary>-Numbers goes with -MatchPosition: by COM number every
        /// port has its entry's number already.</summary>
        private protected void CheckNumbers(SwitchParameter byPosition, SwitchParameter numbers)
        {
            if (numbers && !byPosition)
            {
                ThrowTerminatingError(new ErrorRecord(new ArgumentException("-Numbers goes with -MatchPosition."),
                    "NumbersWithoutPosition", ErrorCategory.InvalidArgument, null));
            }
        }

        /// <summary>How entries find their ports.</summary>
        private protected static ProfileMatch Matching(SwitchParameter byPosition) =>
            byPosition ? ProfileMatch.Position : ProfileMatch.Number;
    }
}
