using System;
using System.Collections.Generic;
using Portopt.Text;

namespace Portopt
{
    /// <summary>Reads a profile in portctl's export format, checking all of
    /// it as portctl does, with portctl's words for each fault and its
    /// place (<c>ports.COM4.interface: value 4 out of range (0 to 3)</c>).</summary>
    internal static class ProfileReader
    {
        internal const int Version = 1;
        private const int HighestModelId = 0xFFFF;
        private const int HighestPosition = 9999; // "Port n" carries at most four digits
        private const int MostDigits = 9;         // keeps every COM number within an int

        /// <exception cref="ProfileException">The text is not a profile.</exception>
        internal static IReadOnlyList<ProfileEntry> Read(string json)
        {
            object? document;
            try
            {
                document = StrictJson.Parse(json);
            }
            catch (FormatException e)
            {
                throw new ProfileException("malformed JSON: " + e.Message);
            }
            JsonMap ports = Header(document);
            var entries = new List<ProfileEntry>();
            foreach (KeyValuePair<string, object?> port in ports)
            {
                entries.Add(Entry(port.Key, port.Value));
            }
            return entries;
        }

        private static JsonMap Header(object? document)
        {
            if (!(document is JsonMap header))
            {
                throw Fault("the file", "not a JSON object");
            }
            foreach (KeyValuePair<string, object?> member in header)
            {
                if (member.Key != "portctl" && member.Key != "ports")
                {
                    throw Fault(member.Key, "unknown key (expected portctl, ports)");
                }
            }
            if (!header.Contains("portctl"))
            {
                throw Fault("portctl", "missing (a portctl export file has \"portctl\": 1)");
            }
            object? version = header["portctl"];
            if (!(version is JsonNumber { Integer: Version }))
            {
                throw Fault("portctl", $"version {Abbreviated(version)} is not supported (expected {Version})");
            }
            if (!header.Contains("ports"))
            {
                throw Fault("ports", "missing");
            }
            return header["ports"] as JsonMap ?? throw Fault("ports", "not an object of ports");
        }

        private static ProfileEntry Entry(string key, object? value)
        {
            string place = "ports." + key;
            int number = PortNumber(key) ?? throw Fault(place, "not a port name (COMn)");
            if (!(value is JsonMap members))
            {
                throw Fault(place, "not an object of options");
            }
            ProfileAdapter? adapter = null;
            int? position = null;
            var settings = new List<ProfileSetting>();
            foreach (KeyValuePair<string, object?> member in members)
            {
                string at = place + "." + member.Key;
                if (member.Key == "adapter")
                {
                    adapter = member.Value == null ? null : Adapter(member.Value, at);
                    continue;
                }
                if (member.Key == "position")
                {
                    position = member.Value == null ? (int?)null : Bounded(member.Value, at, 1, HighestPosition);
                    continue;
                }
                PortOption option = ProfileOptions.Find(member.Key)
                    ?? throw Fault(at, $"unknown option (options: {ProfileOptions.Names})");
                int setting = OptionValue(option, member.Value)
                    ?? throw Fault(at, $"value {Abbreviated(member.Value)} out of range ({ProfileOptions.Range(option)})");
                settings.Add(new ProfileSetting(option, setting));
            }
            return new ProfileEntry(key, number, adapter, position, settings.AsReadOnly());
        }

        private static ProfileAdapter Adapter(object value, string place)
        {
            if (!(value is JsonMap members))
            {
                throw Fault(place, "not an object (id, vendor, product)");
            }
            foreach (KeyValuePair<string, object?> member in members)
            {
                if (member.Key != "id" && member.Key != "vendor" && member.Key != "product")
                {
                    throw Fault(place + "." + member.Key, "unknown key (expected id, vendor, product)");
                }
            }
            string id = "";
            if (members.Contains("id"))
            {
                id = members["id"] as string ?? throw Fault(place + ".id", "not a string");
            }
            foreach (string key in new[] { "vendor", "product" })
            {
                if (!members.Contains(key))
                {
                    throw Fault(place + "." + key, "missing");
                }
            }
            return new ProfileAdapter(id,
                Bounded(members["vendor"], place + ".vendor", 0, HighestModelId),
                Bounded(members["product"], place + ".product", 0, HighestModelId));
        }

        private static int Bounded(object? value, string place, int low, int high)
        {
            if (value is JsonNumber { Integer: long number } && number >= low && number <= high)
            {
                return (int)number;
            }
            throw Fault(place, $"value {Abbreviated(value)} is not a number from {low} to {high}");
        }

        private static int? OptionValue(PortOption option, object? value)
        {
            if (value is bool flag)
            {
                return ProfileOptions.IsSwitch(option) ? (flag ? 1 : 0) : (int?)null;
            }
            if (value is JsonNumber { Integer: long number } && number >= 0 && number <= ProfileOptions.Highest(option))
            {
                return (int)number;
            }
            return null;
        }

        /// <summary>n of a port key: "COM7" in any case, or "7", with at
        /// most nine digits (leading zeros allowed, as portctl takes them).</summary>
        internal static int? PortNumber(string key)
        {
            string digits = key.Length > 3 && string.Compare(key, 0, "COM", 0, 3, StringComparison.OrdinalIgnoreCase) == 0
                ? key.Substring(3)
                : key;
            if (digits.Length == 0 || digits.Length > MostDigits)
            {
                return null;
            }
            int number = 0;
            foreach (char c in digits)
            {
                if (c < '0' || c > '9')
                {
                    return null;
                }
                number = number * 10 + (c - '0');
            }
            return number;
        }

        /// <summary>A value as a message shows it: scalars as JSON, arrays and
        /// objects as [...] and {...}.</summary>
        private static string Abbreviated(object? value)
        {
            switch (value)
            {
                case null: return "null";
                case bool flag: return flag ? "true" : "false";
                case JsonNumber number: return number.Text;
                case string words:
                    var text = new System.Text.StringBuilder();
                    IndentedJson.Quoted(text, words);
                    return text.ToString();
                case JsonMap _: return "{...}";
                default: return "[...]";
            }
        }

        private static ProfileException Fault(string place, string what) => new ProfileException(place + ": " + what);
    }
}
