using System;
using System.Collections.Generic;
using System.Linq;
using System.Text.Json;

namespace Portopt
{
    /// <summary>What a profile's plan, import or test found for each option
    /// of each entry, in the profile's order.</summary>
    public sealed class ProfileReport
    {
        private readonly string json;

        private ProfileReport(string json, bool changed, IReadOnlyList<ProfileOutcome> outcomes,
            IReadOnlyList<ProfileNumberOutcome> numbers)
        {
            this.json = json;
            Changed = changed;
            Outcomes = outcomes;
            Numbers = numbers;
        }

        /// <summary>Each option of each entry.</summary>
        public IReadOnlyList<ProfileOutcome> Outcomes { get; }

        /// <summary>Each entry's COM number, when the ports were to be given
        /// their entries' numbers; else none.</summary>
        public IReadOnlyList<ProfileNumberOutcome> Numbers { get; }

        /// <summary>True when any option or number was applied.</summary>
        public bool Changed { get; }

        /// <summary>True when every option (and number) already held: the
        /// machine is as the profile gives it.</summary>
        public bool Compliant =>
            Outcomes.All(outcome => outcome.Result == ProfileResult.Unchanged)
            && Numbers.All(number => number.Result == ProfileResult.Unchanged);

        /// <summary>The report as <c>portctl import --json</c> (and
        /// <c>portctl check --json</c>) prints it, for configuration tools:
        /// <c>"changed"</c>, and under <c>"ports"</c> each present port with
        /// the profile's <c>"entry"</c> for it and each option's
        /// <c>"result"</c> with <c>"from"</c> and <c>"to"</c>,
        /// <c>"value"</c> or <c>"reason"</c>.</summary>
        public string ToJson() => json;

        /// <summary>The engine's JSON report of <paramref name="profile"/>.</summary>
        internal static ProfileReport Read(string json, Profile profile)
        {
            var outcomes = new List<ProfileOutcome>();
            var numbers = new List<ProfileNumberOutcome>();
            using JsonDocument document = JsonDocument.Parse(json);
            foreach (JsonProperty port in document.RootElement.GetProperty("ports").EnumerateObject())
            {
                string entry = port.Value.GetProperty("entry").GetString()!;
                if (port.Value.TryGetProperty("number", out JsonElement number))
                {
                    numbers.Add(Number(entry, port.Name, number, profile));
                }
                foreach (JsonProperty option in port.Value.GetProperty("options").EnumerateObject())
                {
                    outcomes.Add(Outcome(entry, port.Name, ProfileOptions.Named(option.Name), option.Value, profile));
                }
            }
            return new ProfileReport(json, document.RootElement.GetProperty("changed").GetBoolean(), outcomes.AsReadOnly(),
                numbers.AsReadOnly());
        }

        /// <summary>Asks <paramref name="confirm"/> or
        /// <paramref name="confirmNumber"/> about the change an import would
        /// make: <c>{"port", "entry", "option", "from", "to"}</c>, with
        /// <c>"option": "number"</c> for a COM number.  A kind of change
        /// without its question is made.</summary>
        internal static bool Confirm(string json, Func<ProfileOutcome, bool>? confirm, Func<ProfileNumberOutcome, bool>? confirmNumber)
        {
            using JsonDocument document = JsonDocument.Parse(json);
            JsonElement change = document.RootElement;
            string entry = change.GetProperty("entry").GetString()!;
            string port = change.GetProperty("port").GetString()!;
            string option = change.GetProperty("option").GetString()!;
            int? from = ProfileJson.Value(change.GetProperty("from"));
            int? to = ProfileJson.Value(change.GetProperty("to"));
            if (option == "number")
            {
                return confirmNumber?.Invoke(new ProfileNumberOutcome(entry, port, ProfileResult.WouldApply, from, to)) ?? true;
            }
            return confirm?.Invoke(new ProfileOutcome(entry, port, ProfileOptions.Named(option), ProfileResult.WouldApply, from, to)) ?? true;
        }

        private static ProfileNumberOutcome Number(string entry, string port, JsonElement result, Profile profile)
        {
            int? Member(string name) => result.TryGetProperty(name, out JsonElement value) ? ProfileJson.Value(value) : null;
            bool restart = result.TryGetProperty("restart", out JsonElement flag) && flag.ValueKind == JsonValueKind.True;
            switch (result.GetProperty("result").GetString())
            {
                case "unchanged":
                    return new ProfileNumberOutcome(entry, port, ProfileResult.Unchanged, Member("value"), Member("value"));
                case "would apply":
                    return new ProfileNumberOutcome(entry, port, ProfileResult.WouldApply, Member("from"), Member("to"), Member("through"), restart);
                case "applied":
                    return new ProfileNumberOutcome(entry, port, ProfileResult.Applied, Member("from"), Member("to"), Member("through"), restart);
                default:
                    return new ProfileNumberOutcome(entry, port, ProfileResult.Refused, null, profile.EntryNumber(entry),
                        reason: result.GetProperty("reason").GetString());
            }
        }

        private static ProfileOutcome Outcome(string entry, string port, PortOption option, JsonElement result, Profile profile)
        {
            int? Member(string name) => result.TryGetProperty(name, out JsonElement value) ? ProfileJson.Value(value) : null;
            switch (result.GetProperty("result").GetString())
            {
                case "unchanged":
                    return new ProfileOutcome(entry, port, option, ProfileResult.Unchanged, Member("value"), Member("value"));
                case "would apply":
                    return new ProfileOutcome(entry, port, option, ProfileResult.WouldApply, Member("from"), Member("to"));
                case "applied":
                    return new ProfileOutcome(entry, port, option, ProfileResult.Applied, Member("from"), Member("to"));
                case "absent":
                    return new ProfileOutcome(entry, port, option, ProfileResult.Absent, null, Member("to"));
                default:
                    return new ProfileOutcome(entry, port, option, ProfileResult.Refused, null, profile.Wanted(entry, option),
                        result.GetProperty("reason").GetString());
            }
        }
    }
}
