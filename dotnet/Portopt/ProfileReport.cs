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

        private ProfileReport(string json, bool changed, IReadOnlyList<ProfileOutcome> outcomes)
        {
            this.json = json;
            Changed = changed;
            Outcomes = outcomes;
        }

        /// <summary>Each option of each entry.</summary>
        public IReadOnlyList<ProfileOutcome> Outcomes { get; }

        /// <summary>True when any option was applied.</summary>
        public bool Changed { get; }

        /// <summary>True when every option already held: the machine is as
        /// the profile gives it.</summary>
        public bool Compliant => Outcomes.All(outcome => outcome.Result == ProfileResult.Unchanged);

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
            using JsonDocument document = JsonDocument.Parse(json);
            foreach (JsonProperty port in document.RootElement.GetProperty("ports").EnumerateObject())
            {
                string entry = port.Value.GetProperty("entry").GetString()!;
                foreach (JsonProperty option in port.Value.GetProperty("options").EnumerateObject())
                {
                    outcomes.Add(Outcome(entry, port.Name, ProfileOptions.Named(option.Name), option.Value, profile));
                }
            }
            return new ProfileReport(json, document.RootElement.GetProperty("changed").GetBoolean(), outcomes.AsReadOnly());
        }

        /// <summary>The change an import asks to confirm:
        /// <c>{"port", "entry", "option", "from", "to"}</c>.</summary>
        internal static ProfileOutcome Change(string json)
        {
            using JsonDocument document = JsonDocument.Parse(json);
            JsonElement change = document.RootElement;
            return new ProfileOutcome(change.GetProperty("entry").GetString()!, change.GetProperty("port").GetString()!,
                ProfileOptions.Named(change.GetProperty("option").GetString()!), ProfileResult.WouldApply,
                ProfileJson.Value(change.GetProperty("from")), ProfileJson.Value(change.GetProperty("to")));
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
