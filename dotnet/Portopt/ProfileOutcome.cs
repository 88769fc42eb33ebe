using System;
using System.Globalization;
using System.Text.RegularExpressions;

namespace Portopt
{
    /// <summary>What became of one option of one profile entry.</summary>
    public enum ProfileResult
    {
        /// <summary>The port already has the value.</summary>
        Unchanged,

        /// <summary>The port has another value; an import would set it (a
        /// plan, a test, or a change the caller declined).</summary>
        WouldApply,

        /// <summary>Set, and read back.</summary>
        Applied,

        /// <summary>The change did not take; <see cref="ProfileOutcome.Reason"/> says why.</summary>
        Refused,

        /// <summary>No port of the entry's COM number is present (a test only).</summary>
        Absent,
    }

    /// <summary>One option of one profile entry, on the port it went to, as
    /// the profile engine reports it.  The values are the option's values
    /// as a profile writes them: 0 to 3 for the interface mode, 0 or 1 for
    /// the others (1: on, enabled).</summary>
    public sealed class ProfileOutcome
    {
        internal ProfileOutcome(string entry, string portName, PortOption option, ProfileResult result,
            int? from, int? to, string? reason = null)
        {
            Entry = entry;
            PortName = portName;
            Number = int.Parse(portName.Substring(3), NumberStyles.None, CultureInfo.InvariantCulture);
            Option = option;
            Result = result;
            From = from;
            To = to;
            Reason = reason;
            ErrorCode = reason == null ? null : CodeOf(reason);
        }

        /// <summary>The port as the profile names it.</summary>
        public string Entry { get; }

        /// <summary>The present port the entry went to: <c>COM7</c> (another
        /// COM number than <see cref="Entry"/> when matched by position).</summary>
        public string PortName { get; }

        /// <summary>Its COM number.</summary>
        public int Number { get; }

        /// <summary>The option.</summary>
        public PortOption Option { get; }

        /// <summary>What became of it.</summary>
        public ProfileResult Result { get; }

        /// <summary>The port's value before: for <see cref="ProfileResult.Applied"/>
        /// as read right before the change.  Null when no value is stored
        /// (the FIFO reads 0 then, as its query call answers), when the port
        /// has no such option, for an absent port, and for a refusal (its
        /// reason says what the port holds).</summary>
        public int? From { get; }

        /// <summary>The value the profile asks for; for
        /// <see cref="ProfileResult.Applied"/> the value read back.</summary>
        public int? To { get; }

        /// <summary>Why a change was refused, in portctl's words; null for
        /// every other result.</summary>
        public string? Reason { get; }

        /// <summary>For <see cref="ProfileResult.Refused"/>: the code the
        /// change call left (87, 1016, or the adapter's code), or 0 when the
        /// call left none or reported success but the port reads back another
        /// value; null when the refusal came before any call (a mode the
        /// adapter does not take, an option its family lacks).</summary>
        public int? ErrorCode { get; }

        private static readonly Regex NamedCode = new Regex(@"\(error (\d+)\)");

        /// <summary>The code a refusal's reason gives, in portctl's words for
        /// each code.</summary>
        private static int? CodeOf(string reason)
        {
            Match named = NamedCode.Match(reason);
            if (named.Success && int.TryParse(named.Groups[1].Value, NumberStyles.None, CultureInfo.InvariantCulture, out int code))
            {
                return code;
            }
            if (reason.StartsWith("a value out of range", StringComparison.Ordinal))
            {
                return 87;
            }
            if (reason.StartsWith("the stored setting could not be read or written", StringComparison.Ordinal))
            {
                return 1016;
            }
            return reason.Contains("no code given") || reason.StartsWith("the change was accepted but reads back", StringComparison.Ordinal) ? 0 : (int?)null;
        }

        /// <summary>"COM7 interface: applied (0 -> 2)", as a text import of
        /// portctl says it ("-" where the port holds no value).</summary>
        public override string ToString()
        {
            string name = PortOptionException.NameOf(Option);
            string what = Result switch
            {
                ProfileResult.Unchanged => $"unchanged ({ProfileOptions.Shown(Option, From)})",
                ProfileResult.WouldApply => $"would apply ({Arrow()})",
                ProfileResult.Applied => $"applied ({Arrow()})",
                ProfileResult.Refused => "refused: " + Reason,
                _ => "absent: no such port on this machine",
            };
            return $"{PortName} {name}: {what}";
        }

        private string Arrow() => $"{ProfileOptions.Shown(Option, From)} -> {ProfileOptions.Shown(Option, To)}";
    }
}
