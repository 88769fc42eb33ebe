using System;
using System.Collections.Generic;
using System.Linq;

namespace Portopt
{
    /// <summary>COM port names and numbers: parsing, and the order in which
    /// ports are listed.</summary>
    internal static class PortNames
    {
        // "COM" and at most nine digits, so that every number fits an int.
        private const int MostDigits = 9;

        /// <summary>n for a name of the form COMn (any case, no leading
        /// zeros); null for any other name.</summary>
        internal static int? ComNumber(string name)
        {
            if (name.Length < 4 || name.Length > 3 + MostDigits
                || string.Compare(name, 0, "COM", 0, 3, StringComparison.OrdinalIgnoreCase) != 0
                || name[3] == '0')
            {
                return null;
            }
            int number = 0;
            for (int i = 3; i < name.Length; i++)
            {
                if (name[i] < '0' || name[i] > '9')
                {
                    return null;
                }
                number = number * 10 + (name[i] - '0');
            }
            return number;
        }

        /// <summary>COMn names by n (COM2 before COM10, duplicates kept),
        /// then every other name in its own order.</summary>
        internal static IEnumerable<string> NaturalOrder(IEnumerable<string> names) =>
            names.Select((name, index) => (name, index, number: ComNumber(name)))
                .OrderBy(entry => entry.number.HasValue ? 0 : 1)
                .ThenBy(entry => entry.number ?? 0)
                .ThenBy(entry => entry.index)
                .Select(entry => entry.name);

        /// <summary>The COM number a caller's port name gives.</summary>
        /// <exception cref="ArgumentNullException"><paramref name="name"/> is null.</exception>
        /// <exception cref="ArgumentException">Not a name of the form COMn.</exception>
        /// <exception cref="ArgumentOutOfRangeException">n outside 1 to 256.</exception>
        internal static int NumberOf(string name, string parameter)
        {
            if (name == null)
            {
                throw new ArgumentNullException(parameter);
            }
            int? number = ComNumber(name);
            if (number == null)
            {
                throw new ArgumentException($"\"{name}\" is not a COM port: give \"COM7\", \"com7\" or 7.", parameter);
            }
            return CheckNumber(number.Value, parameter);
        }

        /// <exception cref="ArgumentOutOfRangeException">Outside 1 to 256.</exception>
        internal static int CheckNumber(int number, string parameter)
        {
            if (number < Ports.FirstNumber || number > Ports.LastNumber)
            {
                throw new ArgumentOutOfRangeException(parameter, number,
                    $"COM numbers run from {Ports.FirstNumber} to {Ports.LastNumber}.");
            }
            return number;
        }

        internal static bool Addressable(int? number) =>
            number >= Ports.FirstNumber && number <= Ports.LastNumber;
    }
}
