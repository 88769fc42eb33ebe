using System.Collections;
using System.Collections.Generic;

namespace Portopt.Text
{
    /// <summary>A JSON object: its members in the order of the text.  A key
    /// given twice keeps its first place and takes its last value, as
    /// portctl reads its files.</summary>
    internal sealed class JsonMap : IEnumerable<KeyValuePair<string, object?>>
    {
        private readonly List<KeyValuePair<string, object?>> members = new List<KeyValuePair<string, object?>>();
        private readonly Dictionary<string, int> places = new Dictionary<string, int>();

        internal int Count => members.Count;

        /// <summary>Sets the member, in place when the key is there already.</summary>
        internal void Set(string key, object? value)
        {
            if (places.TryGetValue(key, out int place))
            {
                members[place] = new KeyValuePair<string, object?>(key, value);
                return;
            }
            places.Add(key, members.Count);
            members.Add(new KeyValuePair<string, object?>(key, value));
        }

        internal bool Contains(string key) => places.ContainsKey(key);

        /// <summary>The member's value; null also for a JSON null.</summary>
        internal object? this[string key] => places.TryGetValue(key, out int place) ? members[place].Value : null;

        public IEnumerator<KeyValuePair<string, object?>> GetEnumerator() => members.GetEnumerator();

        IEnumerator IEnumerable.GetEnumerator() => GetEnumerator();
    }

    /// <summary>A JSON number as written.  Only integers are read as values
    /// (<see cref="Integer"/>); a fraction or an exponent makes any number
    /// another kind of value, as it does for portctl.</summary>
    internal sealed class JsonNumber
    {
        internal JsonNumber(string text, long? integer)
        {
            Text = text;
            Integer = integer;
        }

        /// <summary>The number as the text writes it.</summary>
        internal string Text { get; }

        /// <summary>The value of an integer within 64 bits; null for any
        /// other number.</summary>
        internal long? Integer { get; }
    }
}
