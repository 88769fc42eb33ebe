using System;
using System.Collections.Generic;
using System.Linq;
using System.Text.Json.Nodes;

namespace Portopt.Tests
{
    /// <summary>Machine files generated from a seed: adapters of both
    /// families and buses, capability-restricted and unresolvable ones; ports
    /// on them and orphaned, hidden, absent, without a key or a ports-class
    /// interface; COM numbers shared by several ports and names the friendly
    /// name and the listed name disagree on; names that are not COMn or lie
    /// beyond 256; stored values in both layouts, odd ones included.</summary>
    internal static class GeneratedMachine
    {
        // COM numbers are drawn from 1 to this, so that duplicates are common.
        private const int HighestCom = 12;

        private static readonly string[] AdapterIds =
        {
            @"USB\VID_1A2B&PID_2052\A", @"USB\VID_1A2B&PID_1131\B", @"USB\VID_1A2B&PID_1110\C",
            @"PCI\VEN_10B5&DEV_9050\D", @"PCI\VEN_10B5&DEV_1100\E", @"ROOT\SERIAL\F",
            @"USB\VID_1A2B&REV_0100\G", @"USB\VID_1A2B&PID_2052\" + new string('H', 178),
        };

        private static readonly string[] Settings = { "SerInterface", "InterfaceMode", "FastFlush", "TxMode", "DisableFiFo" };
        private static readonly string[] OddNames = { "CNCA0", "COM257", "com5", "COM", "Port \u00dc" };

        internal static JsonObject Build(int seed)
        {
            var random = new Random(seed);
            bool Chance(int inAll, int of) => random.Next(of) < inAll;
            var devices = new JsonArray();
            var registry = new JsonObject();
            var adapters = new List<string>();

            foreach (string id in AdapterIds.Where(_ => Chance(1, 3)))
            {
                devices.Add(new JsonObject { ["id"] = id, ["interfaces"] = Chance(1, 5) ? new JsonArray() : new JsonArray("ports") });
                adapters.Add(id);
            }
            int ports = random.Next(15);
            for (int i = 0; i < ports; i++)
            {
                string id = @"PORTBUS\PORT\" + i;
                var device = new JsonObject { ["id"] = id };
                if (adapters.Count > 0 && !Chance(1, 6))
                {
                    device["parent"] = adapters[random.Next(adapters.Count)];
                }
                int com = 1 + random.Next(HighestCom);
                if (!Chance(1, 12))
                {
                    device["friendlyName"] = random.Next(4) switch
                    {
                        0 => $"Serial (COM{com})",
                        1 => $"Adapter Port {random.Next(6)} (COM{com})",
                        2 => $"COMBO Port {1 + random.Next(4)} (COM{com})",
                        _ => $"Port 12345 (COM{com})", // matches nothing
                    };
                }
                if (Chance(1, 10))
                {
                    device["status"] = 13;
                }
                if (Chance(1, 12))
                {
                    device["present"] = false;
                }
                var interfaces = new JsonArray();
                if (!Chance(1, 8))
                {
                    interfaces.Add("ports");
                }
                if (!Chance(1, 8))
                {
                    interfaces.Add("comport");
                }
                device["interfaces"] = interfaces;
                devices.Add(device);
                if (Chance(1, 8))
                {
                    continue; // no hardware key
                }
                var values = new JsonObject();
                if (!Chance(1, 10))
                {
                    values["PortName"] = random.Next(8) switch
                    {
                        0 => OddNames[random.Next(OddNames.Length)],
                        1 => $"COM{1 + random.Next(HighestCom)}",
                        _ => $"COM{com}",
                    };
                }
                foreach (string name in Settings)
                {
                    switch (random.Next(6))
                    {
                        case 0: break; // not stored
                        case 1: values[name] = 0xFFFFFFFFL; break;
                        case 2: values[name] = Binary(random.Next(4)); break;
                        default: values[name] = random.Next(4); break;
                    }
                }
                registry[$@"SYSTEM\CurrentControlSet\Enum\{id}\Device Parameters"] = values;
            }
            foreach (string driver in new[] { "KARBEND", "tovelser" })
            {
                if (Chance(1, 4))
                {
                    continue;
                }
                var values = new JsonObject();
                if (!Chance(1, 4))
                {
                    values["FixComFunc"] = random.Next(2);
                }
                foreach (string name in Settings.Where(_ => !Chance(1, 5)))
                {
                    // Mostly whole tables; some short ones, some too long to read.
                    int[] sizes = { 256, 256, 256, 8, 300 };
                    values[name] = Binary(Enumerable.Range(0, sizes[random.Next(sizes.Length)])
                        .Select(_ => Chance(1, 3) ? 0xFF : random.Next(4)).ToArray());
                }
                registry[$@"SYSTEM\CurrentControlSet\Services\{driver}\FixComFunc"] = values;
            }
            return new JsonObject { ["simwin-machine"] = 1, ["devices"] = devices, ["registry"] = registry };
        }

        private static JsonObject Binary(params int[] bytes) => new JsonObject
        {
            ["type"] = "REG_BINARY",
            ["hex"] = string.Join(" ", bytes.Select(b => b.ToString("x2"))),
        };
    }
}
