using System.Globalization;

namespace Portopt
{
    /// <summary>What became of a port's COM number in a plan, an import or a
    /// test by position that gives the ports their entries' numbers
    /// (<c>numbers: true</c>), as the profile engine reports it.</summary>
    public sealed class ProfileNumberOutcome
    {
        internal ProfileNumberOutcome(string entry, string portName, ProfileResult result, int? from, int? to,
            int? through = null, bool restartRequired = false, string? reason = null)
        {
            Entry = entry;
            PortName = portName;
            Result = result;
            From = from;
            To = to;
            Through = through;
            RestartRequired = restartRequired;
            Reason = reason;
        }

        /// <summary>The port as the profile names it: the number it is to carry.</summary>
        public string Entry { get; }

        /// <summary>The present port the entry went to, as it was found:
        /// <c>COM12</c>.</summary>
        public string PortName { get; }

        /// <summary><see cref="ProfileResult.Unchanged"/>,
        /// <see cref="ProfileResult.WouldApply"/>, <see cref="ProfileResult.Applied"/>
        /// or <see cref="ProfileResult.Refused"/>.</summary>
        public ProfileResult Result { get; }

        /// <summary>The number the port carried; null for a refusal.</summary>
        public int? From { get; }

        /// <summary>The number it is to carry (or carries, once applied).</summary>
        public int? To { get; }

        /// <summary>The free number the port passed through where two ports
        /// swap numbers; null otherwise.</summary>
        public int? Through { get; }

        /// <summary>The port takes its new number when Windows restarts.</summary>
        public bool RestartRequired { get; }

        /// <summary>Why the number was refused (another present port carries
        /// it, only the COM port database holds it, or the change failed);
        /// null for every other result.</summary>
        public string? Reason { get; }

        /// <summary>"COM12 number: applied (12 -> 2 -> 11)", as a text import
        /// of portctl says it.</summary>
        public override string ToString()
        {
            string Shown(int? number) => number?.ToString(CultureInfo.InvariantCulture) ?? "-";
            string way = Shown(From) + " -> " + (Through != null ? Shown(Through) + " -> " : "") + Shown(To)
                + (RestartRequired ? "); the port takes it when Windows restarts" : ")");
            string what = Result switch
            {
                ProfileResult.Unchanged => $"unchanged ({Shown(From)})",
                ProfileResult.WouldApply => "would apply (" + way,
                ProfileResult.Applied => "applied (" + way,
                _ => "refused: " + Reason,
            };
            return $"{PortName} number: {what}";
        }
    }
}
