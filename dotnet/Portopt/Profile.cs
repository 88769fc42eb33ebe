using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Text;
using Portopt.Interop;
using Portopt.Text;

namespace Portopt
{
    /// <summary>The stored options of a machine's ports, in the file format
    /// of portctl's export and import, so that the same file serves both:
    /// <c>{"portctl": 1, "ports": {"COM3": {"adapter": {"id": "USB\\...",
    /// "vendor": 6699, "product": 8260}, "position": 1, "interface": 0,
    /// "fastflush": 1, "txmode": 0, "fifo": true}, ...}}</c>.  A profile is
    /// taken from a machine (<see cref="Export"/>), saved and loaded, and
    /// then planned, imported or tested on this or another machine, each
    /// entry on the port of its COM number or on the port at its position on
    /// the same kind of adapter (<see cref="ProfileMatch"/>).  Every call
    /// that looks at the machine lists the ports once; nothing is kept.</summary>
    public sealed class Profile
    {
        private static readonly Encoding StrictUtf8 = new UTF8Encoding(encoderShouldEmitUTF8Identifier: false, throwOnInvalidBytes: true);

        private Profile(IReadOnlyList<ProfileEntry> entries) => Entries = entries;

        /// <summary>The ports of the profile, in its order.</summary>
        public IReadOnlyList<ProfileEntry> Entries { get; }

        /// <summary>Reads a profile from JSON text, checking all of it.</summary>
        /// <exception cref="ArgumentNullException"><paramref name="json"/> is null.</exception>
        /// <exception cref="ProfileException">Malformed JSON, or a fault in
        /// the format; the message names the place.</exception>
        public static Profile Parse(string json)
        {
            if (json == null)
            {
                throw new ArgumentNullException(nameof(json));
            }
            return new Profile(ProfileReader.Read(json));
        }

        /// <summary>Reads a profile from a file of UTF-8 text.</summary>
        /// <exception cref="IOException">The file cannot be read.</exception>
        /// <exception cref="UnauthorizedAccessException">The file may not be read.</exception>
        /// <exception cref="ProfileException">The file is not a profile.</exception>
        public static Profile Load(string path)
        {
            byte[] bytes = File.ReadAllBytes(path);
            string text;
            try
            {
                text = StrictUtf8.GetString(bytes);
            }
            catch (DecoderFallbackException)
            {
                throw new ProfileException("malformed JSON: not UTF-8 text");
            }
            return Parse(text);
        }

        /// <summary>The stored options of every port the library addresses,
        /// as <c>portctl export</c> takes them: with each port's adapter and
        /// position, leaving out options that are not stored or that the
        /// port's family does not have, and ports left with none.</summary>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public static Profile Export() => FromPorts(Ports.GetAll());

        /// <summary>The stored options of <paramref name="ports"/>, as
        /// <see cref="Export"/> takes them; a COM number given twice keeps
        /// its first place and its last port.</summary>
        /// <exception cref="ArgumentNullException"><paramref name="ports"/> is null.</exception>
        public static Profile FromPorts(IEnumerable<Port> ports)
        {
            if (ports == null)
            {
                throw new ArgumentNullException(nameof(ports));
            }
            var entries = new List<ProfileEntry>();
            var places = new Dictionary<int, int>();
            foreach (Port port in ports.Where(port => PortNames.Addressable(port.Number)))
            {
                var settings = new List<ProfileSetting>();
                foreach (PortOption option in ProfileOptions.All)
                {
                    Setting setting = Setting.Of(port, option);
                    if (setting.State == OptionState.Stored)
                    {
                        int value = option == PortOption.UartFifo ? (setting.Raw != 0 ? 1 : 0) : setting.Raw;
                        settings.Add(new ProfileSetting(option, value));
                    }
                }
                if (settings.Count == 0)
                {
                    continue;
                }
                Adapter? adapter = port.Adapter;
                int number = port.Number!.Value;
                var entry = new ProfileEntry("COM" + number,
                    number,
                    adapter == null ? null : new ProfileAdapter(adapter.InstanceId, adapter.VendorId, adapter.ProductId),
                    port.Position,
                    settings.AsReadOnly());
                if (places.TryGetValue(number, out int place))
                {
                    entries[place] = entry;
                }
                else
                {
                    places.Add(number, entries.Count);
                    entries.Add(entry);
                }
            }
            return new Profile(entries.AsReadOnly());
        }

        /// <summary>The profile in portctl's file format, as
        /// <c>portctl export</c> writes it (two spaces a level, a line feed at
        /// the end).</summary>
        public string ToJson()
        {
            var ports = new JsonMap();
            foreach (ProfileEntry entry in Entries)
            {
                var members = new JsonMap();
                if (entry.Adapter != null)
                {
                    var adapter = new JsonMap();
                    if (entry.Adapter.InstanceId.Length > 0)
                    {
                        adapter.Set("id", entry.Adapter.InstanceId);
                    }
                    adapter.Set("vendor", entry.Adapter.VendorId);
                    adapter.Set("product", entry.Adapter.ProductId);
                    members.Set("adapter", adapter);
                }
                if (entry.Position != null)
                {
                    members.Set("position", entry.Position.Value);
                }
                foreach (ProfileSetting setting in entry.Settings)
                {
                    members.Set(PortOptionException.NameOf(setting.Option),
                        setting.Option == PortOption.UartFifo ? (object)(setting.Value != 0) : setting.Value);
                }
                ports.Set(entry.Key, members);
            }
            var document = new JsonMap();
            document.Set("portctl", ProfileReader.Version);
            document.Set("ports", ports);
            return IndentedJson.Write(document);
        }

        /// <summary>Writes the profile to a file in portctl's format: whole or
        /// not at all (the text goes to a temporary file beside it, which then
        /// takes its place).</summary>
        /// <exception cref="IOException">The file cannot be written.</exception>
        /// <exception cref="UnauthorizedAccessException">The file may not be written.</exception>
        public void Save(string path) => AtomicFile.Write(path, ToJson());

        /// <summary>What an import would do, as <c>portctl import --dry-run</c>
        /// says it: each option <see cref="ProfileResult.Unchanged"/> or
        /// <see cref="ProfileResult.WouldApply"/>.  Changes nothing.</summary>
        /// <exception cref="ProfileException">An entry does not fit the
        /// present ports: a COM number not present, a port given twice, or
        /// entries that cannot be matched by position.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Plan(ProfileMatch match = ProfileMatch.Number) => Run(match, Mode.Plan, null);

        /// <summary>Sets each option that differs, in the profile's order,
        /// reading each change back, as <c>portctl import</c> does: each
        /// option <see cref="ProfileResult.Unchanged"/>,
        /// <see cref="ProfileResult.Applied"/> or
        /// <see cref="ProfileResult.Refused"/> (a refusal does not stop the
        /// others).  Nothing changes when any entry does not fit.</summary>
        /// <param name="match">How entries find their ports.</param>
        /// <param name="confirm">Asked before each change, with the change as
        /// a <see cref="ProfileResult.WouldApply"/> outcome; a change it
        /// declines is reported as that outcome and not made.</param>
        /// <exception cref="ProfileException">An entry does not fit the
        /// present ports; nothing was changed.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Import(ProfileMatch match = ProfileMatch.Number, Func<ProfileOutcome, bool>? confirm = null) =>
            Run(match, Mode.Import, confirm);

        /// <summary>Whether every option already holds, as <c>portctl check</c>
        /// answers (<see cref="ProfileReport.Compliant"/>): entries are
        /// matched as an import matches them, and an entry whose COM number is
        /// not present gives <see cref="ProfileResult.Absent"/> options
        /// instead of refusing the profile.  Changes nothing.</summary>
        /// <exception cref="ProfileException">A profile that an import would
        /// refuse for other reasons.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Test(ProfileMatch match = ProfileMatch.Number) => Run(match, Mode.Test, null);

        private enum Mode
        {
            Plan,
            Import,
            Test,
        }

        private ProfileReport Run(ProfileMatch match, Mode mode, Func<ProfileOutcome, bool>? confirm)
        {
            Library library = Library.Current;
            List<ProfileStep> steps = ProfileMatching.Steps(Entries, Ports.GetAll(), match, keepMissing: mode == Mode.Test);
            var outcomes = new List<ProfileOutcome>();
            foreach (ProfileStep step in steps)
            {
                if (!step.Present)
                {
                    outcomes.Add(Outcome(step, ProfileResult.Absent, default, Setting.Wanted(step.Wanted)));
                    continue;
                }
                if (step.Unchanged)
                {
                    outcomes.Add(Outcome(step, ProfileResult.Unchanged, step.Current, step.Current));
                    continue;
                }
                ProfileOutcome planned = Outcome(step, ProfileResult.WouldApply, step.Current, Setting.Wanted(step.Wanted));
                bool apply = mode == Mode.Import && (confirm == null || confirm(planned));
                outcomes.Add(apply ? Apply(library, step) : planned);
            }
            return new ProfileReport(outcomes.AsReadOnly());
        }

        private static ProfileOutcome Apply(Library library, ProfileStep step)
        {
            Setting before = Read(library, step);
            int code = library.Change(step.Option, step.Number, step.Wanted, out bool succeeded);
            if (!succeeded)
            {
                return Refused(step, before, PortOptionException.Reason(code) + Note(library, step, before, code), code);
            }
            Setting after = Read(library, step);
            if (after.State != OptionState.Stored || after.Raw != step.Wanted)
            {
                return Refused(step, before, "the change was accepted but reads back " + ProfileOptions.Shown(step.Option, after), 0);
            }
            return Outcome(step, ProfileResult.Applied, before, after);
        }

        /// <summary>What the option's query call answers now.</summary>
        private static Setting Read(Library library, ProfileStep step) =>
            ProfileOptions.Queried(step.Option, Setting.Of(PortRecords.FromRecord(step.PortName, library.PortInfo(step.Number)), step.Option).Raw);

        /// <summary>What a refusal adds to its reason: that the adapter's
        /// family has no such option, when the listing said so; that
        /// administrator rights are needed, when the old value was there to
        /// read (by the change and in the listing) but the new one could not
        /// be stored, and the process is known not to run elevated.</summary>
        private static string Note(Library library, ProfileStep step, Setting before, int code)
        {
            if (step.Current.State == OptionState.NotAvailable)
            {
                return $" (the adapter's family has no {PortOptionException.NameOf(step.Option)})";
            }
            const int StoreFailed = 1016;
            bool notStored = code == StoreFailed && before.State == OptionState.Stored && step.Current.State == OptionState.Stored;
            return notStored && library.KnownNotElevated()
                ? ": administrator rights are needed (run it from an elevated prompt)"
                : "";
        }

        private static ProfileOutcome Refused(ProfileStep step, Setting before, string reason, int code) =>
            Outcome(step, ProfileResult.Refused, before, Setting.Wanted(step.Wanted), reason, code);

        private static ProfileOutcome Outcome(ProfileStep step, ProfileResult result, Setting from, Setting to,
            string? reason = null, int? code = null) =>
            new ProfileOutcome(step.Entry, step.PortName, step.Number, step.Option, result, from, to, reason, code);
    }
}
