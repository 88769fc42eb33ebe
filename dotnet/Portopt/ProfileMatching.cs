using System.Collections.Generic;
using System.Linq;

namespace Portopt
{
    /// <summary>How a profile's entries find the present ports.</summary>
    public enum ProfileMatch
    {
        /// <summary>Each entry goes to the port of its own COM number.</summary>
        Number,

        /// <summary>Each entry goes to the port at its position ("Port n") on
        /// the present adapter of the vendor and product it names, whatever
        /// COM number that port has here: for setting up other machines,
        /// where the same adapters got other numbers.  Of several such
        /// adapters, the one with the entry's instance ID; a single-port
        /// adapter by the adapter alone.</summary>
        Position,
    }

    /// <summary>One option of one entry, on the present port it goes to.</summary>
    internal sealed class ProfileStep
    {
        internal ProfileStep(ProfileEntry entry, int number, PortOption option, int wanted, Port? port)
        {
            Entry = entry;
            Number = number;
            Option = option;
            Wanted = wanted;
            Present = port != null;
            Current = port == null ? default : Setting.Of(port, option);
        }

        internal ProfileEntry Entry { get; }

        internal int Number { get; }

        internal string PortName => "COM" + Number;

        internal PortOption Option { get; }

        internal int Wanted { get; }

        /// <summary>False: no port of the entry's COM number is here.</summary>
        internal bool Present { get; }

        /// <summary>The port's setting as listed.</summary>
        internal Setting Current { get; }

        /// <summary>Whether the port has the value asked for.  The FIFO's
        /// query answers "disabled" also when nothing is stored.</summary>
        internal bool Unchanged =>
            (Current.State == OptionState.Stored || (Option == PortOption.UartFifo && Current.State == OptionState.NotStored))
            && Current.Raw == Wanted;
    }

    /// <summary>Matches a profile's entries to the present ports, as portctl
    /// matches an import file's, with its words for what does not fit.</summary>
    internal static class ProfileMatching
    {
        /// <summary>The steps of every entry, in the profile's order.  With
        /// <paramref name="keepMissing"/>, an entry whose COM number is not
        /// present (but is one the library addresses) gives steps that are
        /// not present, instead of refusing the profile.</summary>
        /// <exception cref="ProfileException">An entry does not fit.</exception>
        internal static List<ProfileStep> Steps(IReadOnlyList<ProfileEntry> entries, IReadOnlyList<Port> ports,
            ProfileMatch match, bool keepMissing)
        {
            var present = new Dictionary<int, Port>();
            foreach (Port port in ports.Where(port => PortNames.Addressable(port.Number)))
            {
                if (!present.ContainsKey(port.Number!.Value))
                {
                    present.Add(port.Number.Value, port);
                }
            }
            var taken = new Dictionary<int, string>();
            var unmatched = new List<string>();
            var steps = new List<ProfileStep>();
            foreach (ProfileEntry entry in entries)
            {
                string place = "ports." + entry.Key;
                Port? port;
                if (match == ProfileMatch.Number)
                {
                    if (!present.TryGetValue(entry.Number, out port)
                        && (!keepMissing || !PortNames.Addressable(entry.Number)))
                    {
                        throw new ProfileException(place + ": no such port on this machine");
                    }
                }
                else
                {
                    (port, string fault) = ByPosition(entry, ports);
                    if (port == null)
                    {
                        unmatched.Add($"\n  {place}: {fault}");
                        continue;
                    }
                }
                int number = port?.Number ?? entry.Number;
                if (taken.TryGetValue(number, out string? earlier))
                {
                    throw new ProfileException($"{place}: COM{number} is given twice"
                        + (match == ProfileMatch.Number ? "" : $" (also by {earlier})"));
                }
                taken.Add(number, place);
                steps.AddRange(entry.Settings.Select(setting => new ProfileStep(entry, number, setting.Option, setting.Value, port)));
            }
            if (unmatched.Count > 0)
            {
                throw new ProfileException($"{unmatched.Count} {(unmatched.Count == 1 ? "entry" : "entries")} "
                    + "cannot be matched by position, so nothing is changed:" + string.Concat(unmatched));
            }
            return steps;
        }

        /// <summary>The port at the entry's position on the one present
        /// adapter of its model; of several, the one with its instance ID
        /// (compared as Windows compares them, in either case).</summary>
        private static (Port? Port, string Fault) ByPosition(ProfileEntry entry, IReadOnlyList<Port> ports)
        {
            ProfileAdapter? adapter = entry.Adapter;
            if (adapter == null)
            {
                return (null, "names no adapter (its export has none)");
            }
            // The first port of each adapter of the model at the position.
            var candidates = new List<Port>();
            foreach (Port port in ports)
            {
                if (!PortNames.Addressable(port.Number) || port.Adapter == null || port.Position != entry.Position
                    || port.Adapter.VendorId != adapter.VendorId || port.Adapter.ProductId != adapter.ProductId)
                {
                    continue;
                }
                if (!candidates.Any(candidate => SameId(candidate.Adapter!.InstanceId, port.Adapter.InstanceId)))
                {
                    candidates.Add(port);
                }
            }
            string model = $"{adapter.VendorId & 0xFFFF:X4}:{adapter.ProductId & 0xFFFF:X4}";
            if (candidates.Count == 0)
            {
                string at = entry.Position == null
                    ? $"single-port {model} adapter"
                    : $"position {entry.Position} of a {model} adapter";
                return (null, $"no port at {at} here");
            }
            if (candidates.Count == 1)
            {
                return (candidates[0], "");
            }
            Port? named = candidates.FirstOrDefault(candidate => SameId(candidate.Adapter!.InstanceId, adapter.InstanceId));
            if (named != null)
            {
                return (named, "");
            }
            string ids = string.Join(", ", candidates.Select(candidate => candidate.Adapter!.InstanceId));
            string wanted = adapter.InstanceId.Length == 0 ? "named in the file" : adapter.InstanceId;
            return (null, $"ambiguous: {candidates.Count} {model} adapters here ({ids}), none of them {wanted}");
        }

        /// <summary>Instance IDs are ASCII, and compare without regard to the
        /// case of their letters.</summary>
        private static bool SameId(string left, string right)
        {
            if (left.Length != right.Length)
            {
                return false;
            }
            for (int i = 0; i < left.Length; i++)
            {
                if (UpperAscii(left[i]) != UpperAscii(right[i]))
                {
                    return false;
                }
            }
            return true;
        }

        private static char UpperAscii(char c) => c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
    }
}
