using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Text;
using System.Text.Encodings.Web;
using System.Text.Json;

namespace Portopt
{
    /// <summary>A profile's text read into its entries and written back in
    /// the form portctl export gives it.  The text read here is one the
    /// profile engine has already checked (or written): its rules decide
    /// what a profile is, and nothing here checks it again.</summary>
    internal static class ProfileJson
    {
        private const int Version = 1;

        private static readonly JsonWriterOptions Indented = new JsonWriterOptions
        {
            Indented = true,
            // As portctl writes them: only quotes, backslashes and control
            // characters escaped.
            Encoder = JavaScriptEncoder.UnsafeRelaxedJsonEscaping,
        };

        /// <summary>The entries of a checked profile, in its order.</summary>
        internal static IReadOnlyList<ProfileEntry> Entries(string text)
        {
            var entries = new List<ProfileEntry>();
            using JsonDocument document = JsonDocument.Parse(text);
            foreach (JsonProperty port in document.RootElement.GetProperty("ports").EnumerateObject())
            {
                ProfileAdapter? adapter = null;
                int? position = null;
                var settings = new List<ProfileSetting>();
                foreach (JsonProperty member in port.Value.EnumerateObject())
                {
                    if (member.Value.ValueKind == JsonValueKind.Null)
                    {
                        continue; // an adapter or position given as none
                    }
                    if (member.Name == "adapter")
                    {
                        JsonElement id = member.Value.TryGetProperty("id", out JsonElement given) ? given : default;
                        adapter = new ProfileAdapter(id.ValueKind == JsonValueKind.String ? id.GetString()! : "",
                            member.Value.GetProperty("vendor").GetInt32(), member.Value.GetProperty("product").GetInt32());
                    }
                    else if (member.Name == "position")
                    {
                        position = member.Value.GetInt32();
                    }
                    else
                    {
                        settings.Add(new ProfileSetting(ProfileOptions.Named(member.Name), Value(member.Value) ?? 0));
                    }
                }
                entries.Add(new ProfileEntry(port.Name, KeyNumber(port.Name), adapter, position, settings.AsReadOnly()));
            }
            return entries.AsReadOnly();
        }

        /// <summary>A value as a number: true and false as 1 and 0, null as null.</summary>
        internal static int? Value(JsonElement value) => value.ValueKind switch
        {
            JsonValueKind.True => 1,
            JsonValueKind.False => 0,
            JsonValueKind.Number => value.GetInt32(),
            _ => null,
        };

        /// <summary>n of a checked key: "COM7" in any case, or "7".</summary>
        private static int KeyNumber(string key) =>
            int.Parse(key.StartsWith("COM", StringComparison.OrdinalIgnoreCase) ? key.Substring(3) : key,
                NumberStyles.None, CultureInfo.InvariantCulture);

        /// <summary>The entries as portctl export writes them: two spaces a
        /// level, a line feed at the end.</summary>
        internal static string Write(IReadOnlyList<ProfileEntry> entries)
        {
            using var stream = new MemoryStream();
            using (var writer = new Utf8JsonWriter(stream, Indented))
            {
                writer.WriteStartObject();
                writer.WriteNumber("portctl", Version);
                writer.WriteStartObject("ports");
                foreach (ProfileEntry entry in entries)
                {
                    writer.WriteStartObject(entry.Key);
                    if (entry.Adapter != null)
                    {
                        writer.WriteStartObject("adapter");
                        if (entry.Adapter.InstanceId.Length > 0)
                        {
                            writer.WriteString("id", entry.Adapter.InstanceId);
                        }
                        writer.WriteNumber("vendor", entry.Adapter.VendorId);
                        writer.WriteNumber("product", entry.Adapter.ProductId);
                        writer.WriteEndObject();
                    }
                    if (entry.Position != null)
                    {
                        writer.WriteNumber("position", entry.Position.Value);
                    }
                    foreach (ProfileSetting setting in entry.Settings)
                    {
                        string name = PortOptionException.NameOf(setting.Option);
                        if (setting.Option == PortOption.UartFifo)
                        {
                            writer.WriteBoolean(name, setting.Value != 0);
                        }
                        else
                        {
                            writer.WriteNumber(name, setting.Value);
                        }
                    }
                    writer.WriteEndObject();
                }
                writer.WriteEndObject();
                writer.WriteEndObject();
            }
            // The writer ends lines as the system does; a profile's end in
            // line feeds, and a JSON string holds no line end of its own.
            return Encoding.UTF8.GetString(stream.ToArray()).Replace("\r\n", "\n") + "\n";
        }
    }
}
