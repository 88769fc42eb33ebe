using System;
using System.Collections.Generic;
using System.Globalization;
using System.Text;

namespace Portopt.Text
{
    /// <summary>Reads JSON text as RFC 8259 defines it, and nothing more
    /// lenient: no comments, no trailing commas, no single quotes, no
    /// leading zeros, no lone surrogates.  A profile that portctl refuses as
    /// malformed is refused here too.  Objects are read as
    /// <see cref="JsonMap"/>, arrays as lists, numbers as
    /// <see cref="JsonNumber"/>, and strings, true, false and null as
    /// themselves.</summary>
    internal static class StrictJson
    {
        /// <summary>Objects and arrays nested deeper than this are refused,
        /// so that the reading's recursion stays far from the end of the
        /// stack.  No profile nests deeper than four.</summary>
        internal const int DeepestNesting = 512;

        /// <exception cref="FormatException">The text is not one JSON value;
        /// the message gives the line and column.</exception>
        internal static object? Parse(string text)
        {
            var reader = new Reader(text);
            return reader.Document();
        }

        private sealed class Reader
        {
            private const char ByteOrderMark = '\uFEFF';

            private readonly string text;
            private int at;

            internal Reader(string text) => this.text = text;

            internal object? Document()
            {
                if (text.Length > 0 && text[0] == ByteOrderMark)
                {
                    at = 1;
                }
                SkipSpace();
                object? value = Value(0);
                SkipSpace();
                if (at < text.Length)
                {
                    throw Fault("text after the JSON value");
                }
                return value;
            }

            private object? Value(int depth)
            {
                if (at >= text.Length)
                {
                    throw Fault("the text ends where a value should be");
                }
                switch (text[at])
                {
                    case '{': return Object(depth + 1);
                    case '[': return Array(depth + 1);
                    case '"': return String();
                    case 't': return Literal("true", true);
                    case 'f': return Literal("false", false);
                    case 'n': return Literal("null", null);
                    default:
                        if (text[at] == '-' || IsDigit(text[at]))
                        {
                            return Number();
                        }
                        throw Fault($"unexpected {Shown(text[at])}");
                }
            }

            private JsonMap Object(int depth)
            {
                CheckDepth(depth);
                at++;
                var map = new JsonMap();
                SkipSpace();
                if (Next('}'))
                {
                    return map;
                }
                while (true)
                {
                    SkipSpace();
                    if (at >= text.Length || text[at] != '"')
                    {
                        throw Fault("expected a key in double quotes");
                    }
                    string key = String();
                    SkipSpace();
                    if (!Next(':'))
                    {
                        throw Fault("expected ':' after a key");
                    }
                    SkipSpace();
                    map.Set(key, Value(depth));
                    SkipSpace();
                    if (Next('}'))
                    {
                        return map;
                    }
                    if (!Next(','))
                    {
                        throw Fault("expected ',' or '}'");
                    }
                }
            }

            private List<object?> Array(int depth)
            {
                CheckDepth(depth);
                at++;
                var list = new List<object?>();
                SkipSpace();
                if (Next(']'))
                {
                    return list;
                }
                while (true)
                {
                    SkipSpace();
                    list.Add(Value(depth));
                    SkipSpace();
                    if (Next(']'))
                    {
                        return list;
                    }
                    if (!Next(','))
                    {
                        throw Fault("expected ',' or ']'");
                    }
                }
            }

            private string String()
            {
                at++;
                var value = new StringBuilder();
                while (true)
                {
                    if (at >= text.Length)
                    {
                        throw Fault("the text ends inside a string");
                    }
                    char c = text[at];
                    if (c == '"')
                    {
                        at++;
                        return value.ToString();
                    }
                    if (c < 0x20)
                    {
                        throw Fault($"{Shown(c)} inside a string (write it as an escape)");
                    }
                    if (c == '\\')
                    {
                        Escape(value);
                        continue;
                    }
                    if (char.IsHighSurrogate(c) && at + 1 < text.Length && char.IsLowSurrogate(text[at + 1]))
                    {
                        value.Append(c).Append(text[at + 1]);
                        at += 2;
                        continue;
                    }
                    if (char.IsSurrogate(c))
                    {
                        throw Fault("not Unicode text (a lone surrogate)");
                    }
                    value.Append(c);
                    at++;
                }
            }

            private void Escape(StringBuilder value)
            {
                at++;
                if (at >= text.Length)
                {
                    throw Fault("the text ends inside a string");
                }
                char c = text[at++];
                switch (c)
                {
                    case '"': value.Append('"'); return;
                    case '\\': value.Append('\\'); return;
                    case '/': value.Append('/'); return;
                    case 'b': value.Append('\b'); return;
                    case 'f': value.Append('\f'); return;
                    case 'n': value.Append('\n'); return;
                    case 'r': value.Append('\r'); return;
                    case 't': value.Append('\t'); return;
                    case 'u': break;
                    default: at--; throw Fault($"unknown escape \\{Shown(c)}");
                }
                char unit = CodeUnit();
                if (char.IsLowSurrogate(unit))
                {
                    throw Fault("a low surrogate escape without its high surrogate");
                }
                if (char.IsHighSurrogate(unit))
                {
                    if (at + 1 >= text.Length || text[at] != '\\' || text[at + 1] != 'u')
                    {
                        throw Fault("a high surrogate escape without its low surrogate");
                    }
                    at += 2;
                    char low = CodeUnit();
                    if (!char.IsLowSurrogate(low))
                    {
                        throw Fault("a high surrogate escape without its low surrogate");
                    }
                    value.Append(unit).Append(low);
                    return;
                }
                value.Append(unit);
            }

            // The four hex digits of a \u escape.
            private char CodeUnit()
            {
                if (at + 4 > text.Length)
                {
                    throw Fault("\\u needs four hex digits");
                }
                int unit = 0;
                for (int i = 0; i < 4; i++)
                {
                    int digit = HexDigit(text[at + i]);
                    if (digit < 0)
                    {
                        throw Fault("\\u needs four hex digits");
                    }
                    unit = unit * 16 + digit;
                }
                at += 4;
                return (char)unit;
            }

            private JsonNumber Number()
            {
                int start = at;
                Next('-');
                if (Next('0'))
                {
                    // A leading zero stands alone: "01" is not a number.
                }
                else if (!Digits())
                {
                    throw Fault("a number needs digits");
                }
                bool integer = true;
                if (Next('.'))
                {
                    integer = false;
                    if (!Digits())
                    {
                        throw Fault("a fraction needs digits");
                    }
                }
                if (Next('e') || Next('E'))
                {
                    integer = false;
                    if (!Next('+'))
                    {
                        Next('-');
                    }
                    if (!Digits())
                    {
                        throw Fault("an exponent needs digits");
                    }
                }
                string written = text.Substring(start, at - start);
                long? value = integer && long.TryParse(written, NumberStyles.AllowLeadingSign, CultureInfo.InvariantCulture, out long parsed)
                    ? parsed
                    : (long?)null;
                return new JsonNumber(written, value);
            }

            private object? Literal(string word, object? value)
            {
                if (string.CompareOrdinal(text, at, word, 0, word.Length) != 0)
                {
                    throw Fault($"unexpected {Shown(text[at])}");
                }
                at += word.Length;
                return value;
            }

            private bool Digits()
            {
                int start = at;
                while (at < text.Length && IsDigit(text[at]))
                {
                    at++;
                }
                return at > start;
            }

            private bool Next(char c)
            {
                if (at < text.Length && text[at] == c)
                {
                    at++;
                    return true;
                }
                return false;
            }

            private void SkipSpace()
            {
                while (at < text.Length && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
                {
                    at++;
                }
            }

            private void CheckDepth(int depth)
            {
                if (depth > DeepestNesting)
                {
                    throw Fault($"nested deeper than {DeepestNesting} levels");
                }
            }

            private static bool IsDigit(char c) => c >= '0' && c <= '9';

            private static int HexDigit(char c) =>
                c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                : -1;

            private static string Shown(char c) =>
                c < 0x20 || c == 0x7F ? $"character U+{(int)c:X4}" : $"'{c}'";

            // The fault at the current place, by line and column (from 1).
            private FormatException Fault(string what)
            {
                int line = 1;
                int lineStart = 0;
                for (int i = 0; i < at && i < text.Length; i++)
                {
                    if (text[i] == '\n')
                    {
                        line++;
                        lineStart = i + 1;
                    }
                }
                return new FormatException($"line {line}, column {at - lineStart + 1}: {what}");
            }
        }
    }
}
