using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using Portopt.Interop;
using Xunit;

namespace Portopt.Tests
{
    /// <summary>The boundary with the native libraries: the records laid
    /// out as the C compiler lays out the headers', their constants, and
    /// the calling convention and error reporting of every import.</summary>
    public class InteropTests
    {
        [Fact]
        public void RecordAndConstantsMatchTheHeader()
        {
            Dictionary<string, long> header = HostBuild.Run(HostBuild.RecordLayout)
                .Split('\n', StringSplitOptions.RemoveEmptyEntries)
                .Select(line => line.Split(' '))
                .ToDictionary(words => words[0], words => long.Parse(words[1]));

            var managed = new Dictionary<string, long>
            {
                ["sizeof(PoPortInfo)"] = Marshal.SizeOf<PortInfoRecord>(),
                ["sizeof(PoOption)"] = Marshal.SizeOf<OptionRecord>(),
                ["PO_MIN_PORT"] = Ports.FirstNumber,
                ["PO_MAX_PORT"] = Ports.LastNumber,
                ["PO_ADAPTER_ID_BYTES"] = typeof(PortInfoRecord).GetField("adapterId", BindingFlags.NonPublic | BindingFlags.Instance)!
                    .GetCustomAttribute<FixedBufferAttribute>()!.Length,
                ["PO_BUS_NONE"] = (long)AdapterBus.None,
                ["PO_BUS_USB"] = (long)AdapterBus.Usb,
                ["PO_BUS_PCI"] = (long)AdapterBus.Pci,
                ["PO_FAMILY_UNRESOLVED"] = 0,
                ["PO_FAMILY_OTHER"] = (long)AdapterFamily.Karbend,
                ["PO_FAMILY_TOVELSER"] = (long)AdapterFamily.Tovelser,
                ["PO_MODES_ALL"] = (long)InterfaceModes.All,
                ["PO_MODES_NOT_ZERO"] = (long)(InterfaceModes.Mode1 | InterfaceModes.Mode2 | InterfaceModes.Mode3),
                ["PO_MODES_ZERO_ONLY"] = (long)InterfaceModes.Mode0,
                ["PO_PORT_INFO_V1_SIZE"] = Marshal.OffsetOf<PortInfoRecord>("interfaceModes").ToInt64(),
                ["sizeof(PoProfileOutcome)"] = ProfileOutcomeRecord.Size,
                ["PoProfileOutcome.unlisted"] = Marshal.OffsetOf<ProfileOutcomeRecord>("unlisted").ToInt64(),
                ["PO_PROFILE_REASON_BYTES"] = ProfileOutcomeRecord.ReasonBytes,
                ["PO_PROFILE_NOT_LISTED"] = ProfileEngine.NotListed,
                ["PO_MATCH_NUMBER"] = ProfileEngine.MatchNumber,
                ["PO_MATCH_POSITION"] = ProfileEngine.MatchPosition,
                ["PO_MATCH_NUMBERS"] = ProfileEngine.MatchNumbers,
                ["PO_REPORT_JSON"] = ProfileEngine.ReportJson,
            };
            foreach (FieldInfo field in Fields(typeof(PortInfoRecord)))
            {
                managed[field.Name] = Marshal.OffsetOf<PortInfoRecord>(field.Name).ToInt64();
            }
            foreach (FieldInfo field in Fields(typeof(OptionRecord)))
            {
                managed["PoOption." + field.Name] = Marshal.OffsetOf<OptionRecord>(field.Name).ToInt64();
            }

            Assert.Equal(header.OrderBy(entry => entry.Key), managed.OrderBy(entry => entry.Key));
            Assert.Equal(header["sizeof(PoPortInfo)"], PortInfoRecord.Size);
        }

        // Entry point: (library, sets the last-error code).
        private static readonly Dictionary<string, (string Library, bool SetLastError)> Imports = new()
        {
            ["PoGetPortInfo"] = ("portopt", true),
            ["PoGetAllPortInfo"] = ("portopt", true),
            ["PoSetInterface"] = ("portopt", true),
            ["PoSetFastFlush"] = ("portopt", true),
            ["PoSetTxMode"] = ("portopt", true),
            ["PoSetUARTFIFO"] = ("portopt", true),
            ["PoSetComNumberEx"] = ("portopt", true),
            ["EnumCOMPortsEx"] = ("comlist", true),
            ["PoSetComNumberEx"] = ("portopt", true),
            ["PoProfileExport"] = ("portprofile", true),
            ["PoProfilePlan"] = ("portprofile", true),
            ["PoProfileImport"] = ("portprofile", true),
            ["PoProfileTest"] = ("portprofile", true),
        };

        [Fact]
        public void EveryImportOfTheLibrariesIsCdecl()
        {
            var found = new Dictionary<string, (string, bool)>();
            foreach (MethodInfo method in typeof(Ports).Assembly.GetTypes()
                         .SelectMany(type => type.GetMethods(BindingFlags.Static | BindingFlags.Public | BindingFlags.NonPublic | BindingFlags.DeclaredOnly)))
            {
                DllImportAttribute? import = method.GetCustomAttribute<DllImportAttribute>();
                if (import == null)
                {
                    continue;
                }
                string entry = import.EntryPoint ?? method.Name;
                if (import.Value == "kernel32.dll" || import.Value == "advapi32.dll")
                {
                    // The system's own calls keep the system's convention.
                    Assert.Equal(CallingConvention.Winapi, import.CallingConvention);
                    continue;
                }
                Assert.True(import.CallingConvention == CallingConvention.Cdecl, $"{entry} is imported as {import.CallingConvention}");
                found.Add(entry, (import.Value, import.SetLastError));
            }
            Assert.Equal(Imports.OrderBy(entry => entry.Key), found.OrderBy(entry => entry.Key));
        }

        private static IEnumerable<FieldInfo> Fields(Type type) =>
            type.GetFields(BindingFlags.NonPublic | BindingFlags.Instance);
    }
}
