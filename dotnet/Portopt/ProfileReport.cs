using System.Collections.Generic;
using System.Linq;
using Portopt.Text;

namespace Portopt
{
    /// <summary>What a profile's plan, import or test found for each option
    /// of each entry, in the profile's order.</summary>
    public sealed class ProfileReport
    {
        internal ProfileReport(IReadOnlyList<ProfileOutcome> outcomes) => Outcomes = outcomes;

        /// <summary>Each option of each entry.</summary>
        public IReadOnlyList<ProfileOutcome> Outcomes { get; }

        /// <summary>True when any option was applied.</summary>
        public bool Changed => Outcomes.Any(outcome => outcome.Result == ProfileResult.Applied);

        /// <summary>True when every option already held: the machine is as
        /// the profile gives it.</summary>
        public bool Compliant => Outcomes.All(outcome => outcome.Result == ProfileResult.Unchanged);

        /// <summary>The report as <c>portctl import --json</c> (and
        /// <c>portctl check --json</c>) prints it, for configuration tools:
        /// <c>"changed"</c>, and under <c>"ports"</c> each present port with
        /// the profile's <c>"entry"</c> for it and each option's
        /// <c>"result"</c> with <c>"from"</c> and <c>"to"</c>,
        /// <c>"value"</c> or <c>"reason"</c>.</summary>
        public string ToJson()
        {
            var ports = new JsonMap();
            foreach (ProfileOutcome outcome in Outcomes)
            {
                if (!(ports[outcome.PortName] is JsonMap port))
                {
                    port = new JsonMap();
                    port.Set("entry", outcome.Entry);
                    port.Set("options", new JsonMap());
                    ports.Set(outcome.PortName, port);
                }
                ((JsonMap)port["options"]!).Set(PortOptionException.NameOf(outcome.Option), Result(outcome));
            }
            var report = new JsonMap();
            report.Set("changed", Changed);
            report.Set("ports", ports);
            return IndentedJson.Write(report);
        }

        private static JsonMap Result(ProfileOutcome outcome)
        {
            var result = new JsonMap();
            object? From() => ProfileOptions.Json(outcome.Option, outcome.FromSetting);
            object? To() => ProfileOptions.Json(outcome.Option, outcome.ToSetting);
            switch (outcome.Result)
            {
                case ProfileResult.Unchanged:
                    result.Set("result", "unchanged");
                    result.Set("value", From());
                    break;
                case ProfileResult.Refused:
                    result.Set("result", "refused");
                    result.Set("reason", outcome.Reason);
                    break;
                case ProfileResult.Absent:
                    result.Set("result", "absent");
                    result.Set("to", To());
                    break;
                default:
                    result.Set("result", outcome.Result == ProfileResult.Applied ? "applied" : "would apply");
                    result.Set("from", From());
                    result.Set("to", To());
                    break;
            }
            return result;
        }
    }
}
