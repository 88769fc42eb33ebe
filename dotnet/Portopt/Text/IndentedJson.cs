using System;
using System.Collections.Generic;
using System.Globalization;
using System.Text;

namespace Portopt.Text
{
    /// <summary>Writes JSON as portctl writes it: two spaces a level, one
    /// member a line, <c>"key": value</c>, <c>{}</c> for an empty object, a
    /// line feed at the end; control characters, quotes and backslashes
    /// escaped, everything else as it is.  Values are objects
    /// (<see cref="JsonMap"/>), strings, integers, booleans and null.</summary>
    internal static class IndentedJson
    {
        private const int IndentWidth = 2;

        internal static string Write(JsonMap document)
        {
            var text = new StringBuilder();
            Value(text, document, 0);
            return text.Append('\n').ToString();
        }

        private static void Value(StringBuilder text, object? value, int depth)
        {
            switch (value)
            {
                case null: text.Append("null"); break;
                case bool flag: text.Append(flag ? "true" : "false"); break;
                case int number: text.Append(number.ToString(CultureInfo.InvariantCulture)); break;
                case long number: text.Append(number.ToString(CultureInfo.InvariantCulture)); break;
                case string words: Quoted(text, words); break;
                case JsonMap map: Object(text, map, depth); break;
                default: throw new ArgumentException($"no JSON form for {value.GetType()}", nameof(value));
            }
        }

        private static void Object(StringBuilder text, JsonMap map, int depth)
        {
            if (map.Count == 0)
            {
                text.Append("{}");
                return;
            }
            text.Append("{\n");
            bool first = true;
            foreach (KeyValuePair<string, object?> member in map)
            {
                if (!first)
                {
                    text.Append(",\n");
                }
                first = false;
                text.Append(' ', (depth + 1) * IndentWidth);
                Quoted(text, member.Key);
                text.Append(": ");
                Value(text, member.Value, depth + 1);
            }
            text.Append('\n').Append(' ', depth * IndentWidth).Append('}');
        }

        internal static void Quoted(StringBuilder text, string words)
        {
            text.Append('"');
            foreach (char c in words)
            {
                switch (c)
                {
                    case '"': text.Append("\\\""); break;
                    case '\\': text.Append("\\\\"); break;
                    case '\b': text.Append("\\b"); break;
                    case '\f': text.Append("\\f"); break;
                    case '\n': text.Append("\\n"); break;
                    case '\r': text.Append("\\r"); break;
                    case '\t': text.Append("\\t"); break;
                    default:
                        if (c < 0x20)
                        {
                            text.Append("\\u").Append(((int)c).ToString("x4", CultureInfo.InvariantCulture));
                        }
                        else
                        {
                            text.Append(c);
                        }
                        break;
                }
            }
            text.Append('"');
        }
    }
}
