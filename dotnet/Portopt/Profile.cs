using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Text;
using Portopt.Interop;

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
    /// the same kind of adapter (<see cref="ProfileMatch"/>).  The profile
    /// engine (portprofile.dll beside portopt.dll) holds the rules: it
    /// checks the text, lists the ports once for every call that looks at
    /// the machine, and reports; nothing is kept.</summary>
    public sealed class Profile
    {
        private static readonly Encoding StrictUtf8 = new UTF8Encoding(encoderShouldEmitUTF8Identifier: false, throwOnInvalidBytes: true);

        // The text the engine is given: the one read, or the one written.
        private readonly string text;

        private Profile(string text, IReadOnlyList<ProfileEntry> entries)
        {
            this.text = text;
            Entries = entries;
        }

        private Profile(string text)
            : this(text, ProfileJson.Entries(text))
        {
        }

        /// <summary>The ports of the profile, in its order.</summary>
        public IReadOnlyList<ProfileEntry> Entries { get; }

        /// <summary>Reads a profile from JSON text, checking all of it as an
        /// import by COM number takes it, with the present ports: a fault in
        /// the format, a COM number that no port can have, or a port given
        /// twice.  A COM number not present here is not a fault yet.</summary>
        /// <exception cref="ArgumentNullException"><paramref name="json"/> is null.</exception>
        /// <exception cref="ProfileException">Malformed JSON, or a fault in
        /// the format; the message names the place.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed.</exception>
        public static Profile Parse(string json)
        {
            if (json == null)
            {
                throw new ArgumentNullException(nameof(json));
            }
            // A test keeps entries whose port is missing here.
            ProfileEngine.Plan(json, ProfileEngine.MatchNumber, test: true);
            return new Profile(json);
        }

        /// <summary>Reads a profile from a file of UTF-8 text.</summary>
        /// <exception cref="IOException">The file cannot be read.</exception>
        /// <exception cref="UnauthorizedAccessException">The file may not be read.</exception>
        /// <exception cref="ProfileException">The file is not a profile.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed.</exception>
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
        /// port's family does not have. A port left with none is kept when
        /// it sits on an adapter: its entry carries the port's COM number
        /// to the port at its place.</summary>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public static Profile Export() => new Profile(ProfileEngine.Export());

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
                    (OptionState state, int raw) = port.Entry(option);
                    if (state == OptionState.Stored)
                    {
                        settings.Add(new ProfileSetting(option, option == PortOption.UartFifo ? (raw != 0 ? 1 : 0) : raw));
                    }
                }
                Adapter? adapter = port.Adapter;
                if (settings.Count == 0 && adapter == null)
                {
                    continue;
                }
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
            return new Profile(ProfileJson.Write(entries), entries.AsReadOnly());
        }

        /// <summary>The profile in portctl's file format, as
        /// <c>portctl export</c> writes it (two spaces a level, a line feed at
        /// the end).</summary>
        public string ToJson() => ProfileJson.Write(Entries);

        /// <summary>Writes the profile to a file in portctl's format: whole or
        /// not at all (the text goes to a temporary file beside it, which then
        /// takes its place).</summary>
        /// <exception cref="IOException">The file cannot be written.</exception>
        /// <exception cref="UnauthorizedAccessException">The file may not be written.</exception>
        public void Save(string path) => AtomicFile.Write(path, ToJson());

        /// <summary>What an import would do, as <c>portctl import --dry-run</c>
        /// says it: each option <see cref="ProfileResult.Unchanged"/> or
        /// <see cref="ProfileResult.WouldApply"/>, or
        /// <see cref="ProfileResult.Refused"/> for a mode the adapter does not
        /// take.  Changes nothing.</summary>
        /// <exception cref="ProfileException">An entry does not fit the
        /// present ports: a COM number not present, a port given twice, or
        /// entries that cannot be matched by position.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Plan(ProfileMatch match = ProfileMatch.Number) => Plan(match, numbers: false);

        /// <summary>What an import would do (<see cref="Plan(ProfileMatch)"/>);
        /// with <paramref name="numbers"/> (by position only) also each
        /// port's COM number, in <see cref="ProfileReport.Numbers"/>.</summary>
        /// <exception cref="ArgumentException"><paramref name="numbers"/> by COM number.</exception>
        /// <exception cref="ProfileException">An entry does not fit the present ports.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Plan(ProfileMatch match, bool numbers) =>
            ProfileReport.Read(ProfileEngine.Plan(text, Matching(match, numbers), test: false), this);

        /// <summary>Sets each option that differs, in the profile's order,
        /// reading each change back, as <c>portctl import</c> does: each
        /// option <see cref="ProfileResult.Unchanged"/>,
        /// <see cref="ProfileResult.Applied"/> or
        /// <see cref="ProfileResult.Refused"/> (a refusal does not stop the
        /// others).  Nothing changes when any entry does not fit.</summary>
        /// <param name="match">How entries find their ports.</param>
        /// <param name="confirm">Asked before each change, with the change as
        /// a <see cref="ProfileResult.WouldApply"/> outcome; a change it
        /// declines is reported as that outcome and not made.  When it
        /// throws, that change and the rest are declined, and the exception
        /// is thrown once the import has returned.</param>
        /// <exception cref="ProfileException">An entry does not fit the
        /// present ports; nothing was changed.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Import(ProfileMatch match = ProfileMatch.Number, Func<ProfileOutcome, bool>? confirm = null) =>
            Import(match, numbers: false, confirm);

        /// <summary>Sets each option that differs (<see cref="Import(ProfileMatch, Func{ProfileOutcome, bool})"/>);
        /// with <paramref name="numbers"/> (by position only) first gives each
        /// port its entry's COM number, in an order in which no two ports
        /// carry one number at once (never taking a number another present
        /// port outside the profile carries, or only the COM port database
        /// holds), and then its options under that number.  Administrator
        /// rights are needed for the numbers.</summary>
        /// <param name="match">How entries find their ports.</param>
        /// <param name="numbers">Whether the ports are to carry their entries' numbers.</param>
        /// <param name="confirm">Asked before each option's change, as in
        /// <see cref="Import(ProfileMatch, Func{ProfileOutcome, bool})"/>.</param>
        /// <param name="confirmNumber">Asked before each number's change; a
        /// number it declines is reported as
        /// <see cref="ProfileResult.WouldApply"/> and not given.  A kind of
        /// change without its question is made.</param>
        /// <exception cref="ArgumentException"><paramref name="numbers"/> by COM number.</exception>
        /// <exception cref="ProfileException">An entry does not fit the
        /// present ports; nothing was changed.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Import(ProfileMatch match, bool numbers, Func<ProfileOutcome, bool>? confirm = null,
            Func<ProfileNumberOutcome, bool>? confirmNumber = null)
        {
            int matching = Matching(match, numbers);
            Func<string, bool>? ask = confirm == null && confirmNumber == null
                ? null
                : change => ProfileReport.Confirm(change, confirm, confirmNumber);
            return ProfileReport.Read(ProfileEngine.Import(text, matching, ask), this);
        }

        /// <summary>Whether every option already holds, as <c>portctl check</c>
        /// answers (<see cref="ProfileReport.Compliant"/>): entries are
        /// matched as an import matches them, and an entry whose COM number is
        /// not present gives <see cref="ProfileResult.Absent"/> options
        /// instead of refusing the profile.  Changes nothing.</summary>
        /// <exception cref="ProfileException">A profile that an import would
        /// refuse for other reasons.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Test(ProfileMatch match = ProfileMatch.Number) => Test(match, numbers: false);

        /// <summary>Whether every option already holds (<see cref="Test(ProfileMatch)"/>);
        /// with <paramref name="numbers"/> (by position only) a port that
        /// does not carry its entry's COM number is a difference too.</summary>
        /// <exception cref="ArgumentException"><paramref name="numbers"/> by COM number.</exception>
        /// <exception cref="ProfileException">A profile that an import would
        /// refuse for other reasons.</exception>
        /// <exception cref="System.ComponentModel.Win32Exception">The ports
        /// cannot be listed or read.</exception>
        public ProfileReport Test(ProfileMatch match, bool numbers) =>
            ProfileReport.Read(ProfileEngine.Plan(text, Matching(match, numbers), test: true), this);

        /// <summary>The value the entry named <paramref name="key"/> asks for.</summary>
        internal int? Wanted(string key, PortOption option) =>
            Entries.Where(entry => entry.Key == key).SelectMany(entry => entry.Settings)
                .Where(setting => setting.Option == option).Select(setting => (int?)setting.Value).LastOrDefault();

        /// <summary>The COM number of the entry named <paramref name="key"/>.</summary>
        internal int? EntryNumber(string key) =>
            Entries.Where(entry => entry.Key == key).Select(entry => (int?)entry.Number).LastOrDefault();

        private static int Matching(ProfileMatch match, bool numbers) => match switch
        {
            ProfileMatch.Number when numbers =>
                throw new ArgumentException("The ports are given their entries' numbers only when matched by position.", nameof(numbers)),
            ProfileMatch.Number => ProfileEngine.MatchNumber,
            ProfileMatch.Position => ProfileEngine.MatchPosition | (numbers ? ProfileEngine.MatchNumbers : 0),
            _ => throw new ArgumentOutOfRangeException(nameof(match)),
        };
    }
}
