using System;
using System.Collections.Generic;
using System.ComponentModel;

namespace Portopt.Interop
{
    /// <summary>The bounded COM-port listing: names into buffers the caller
    /// counts, asked again with as many buffers as the listing needs.</summary>
    internal static class ComPortNames
    {
        /// <summary>UTF-16 units of one name buffer, terminator included.</summary>
        internal const int NameUnits = 260;

        private const int ErrorInsufficientBuffer = 122;
        private const int FirstCapacity = 256;
        // More names than any machine has: a count beyond it is not believed.
        private const int MostNames = 65536;
        // A machine that keeps gaining ports between two listings is asked
        // this often before the listing gives up.
        private const int Tries = 4;

        internal static IReadOnlyList<string> Read(Library library)
        {
            int capacity = FirstCapacity;
            for (int attempt = 1; ; attempt++)
            {
                var units = new char[capacity * NameUnits];
                int count = ReadInto(library, units, capacity, out bool listed, out int code);
                if (listed)
                {
                    return Decode(units, Math.Max(0, Math.Min(count, capacity)));
                }
                if (code != ErrorInsufficientBuffer || count <= capacity || count > MostNames || attempt == Tries)
                {
                    throw new Win32Exception(code, $"The COM ports cannot be listed (EnumCOMPortsEx, error {code})");
                }
                capacity = count;
            }
        }

        private static unsafe int ReadInto(Library library, char[] units, int capacity, out bool listed, out int code)
        {
            var entries = new IntPtr[capacity];
            int count = 0;
            fixed (char* buffers = units)
            fixed (IntPtr* names = entries)
            {
                for (int i = 0; i < capacity; i++)
                {
                    names[i] = (IntPtr)(buffers + i * NameUnits);
                }
                LastError.Clear();
                listed = library.EnumComPorts(names, capacity, &count) == 1;
                code = LastError.Read();
            }
            return count;
        }

        /// <summary>Each buffer's name up to its terminator; a name without
        /// one ends with its buffer.</summary>
        private static List<string> Decode(char[] units, int count)
        {
            var names = new List<string>(count);
            for (int i = 0; i < count; i++)
            {
                int start = i * NameUnits;
                int end = Array.IndexOf(units, '\0', start, NameUnits);
                names.Add(new string(units, start, (end < 0 ? start + NameUnits : end) - start));
            }
            return names;
        }
    }
}
