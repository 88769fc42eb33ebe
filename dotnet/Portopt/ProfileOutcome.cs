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

    /// <summary>One option of one profile entry, on the port it went to.
    /// The values are the option's values as a profile writes them: 0 to 3
    /// for the interface mode, 0 or 1 for the others (1: on, enabled).</summary>
    public sealed class ProfileOutcome
    {
        internal ProfileOutcome(ProfileEntry entry, string portName, int number, PortOption option, ProfileResult result,
            Setting from, Setting to, string? reason = null, int? errorCode = null)
        {
            Entry = entry.Key;
            PortName = portName;
            Number = number;
            Option = option;
            Result = result;
            FromSetting = from;
            ToSetting = to;
            Reason = reason;
            ErrorCode = errorCode;
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
        /// has no such option, and for an absent port.</summary>
        public int? From => Value(FromSetting);

        /// <summary>The value the profile asks for; for
        /// <see cref="ProfileResult.Applied"/> the value read back.</summary>
        public int? To => Value(ToSetting);

        /// <summary>Why a change was refused, in portctl's words; null for
        /// every other result.</summary>
        public string? Reason { get; }

        /// <summary>For <see cref="ProfileResult.Refused"/>: the code the
        /// change call left (87, 1016, or the adapter's code), or 0 when the
        /// call reported success but the port reads back another value.</summary>
        public int? ErrorCode { get; }

        internal Setting FromSetting { get; }

        internal Setting ToSetting { get; }

        private int? Value(Setting setting) =>
            setting.State == OptionState.Stored || (setting.State == OptionState.NotStored && Option == PortOption.UartFifo)
                ? setting.Raw
                : (int?)null;

        /// <summary>"COM7 interface: applied (0 -> 2)", as a text import of
        /// portctl says it.</summary>
        public override string ToString()
        {
            string name = PortOptionException.NameOf(Option);
            string what = Result switch
            {
                ProfileResult.Unchanged => $"unchanged ({ProfileOptions.Shown(Option, FromSetting)})",
                ProfileResult.WouldApply => $"would apply ({Arrow()})",
                ProfileResult.Applied => $"applied ({Arrow()})",
                ProfileResult.Refused => "refused: " + Reason,
                _ => "absent: no such port on this machine",
            };
            return $"{PortName} {name}: {what}";
        }

        private string Arrow() => $"{ProfileOptions.Shown(Option, FromSetting)} -> {ProfileOptions.Shown(Option, ToSetting)}";
    }
}
