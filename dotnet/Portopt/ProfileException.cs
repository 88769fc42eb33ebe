using System;

namespace Portopt
{
    /// <summary>A profile that cannot be used as a whole: malformed JSON, a
    /// fault in its format (the message names the place, such as
    /// <c>ports.COM4.interface: value 4 out of range (0 to 3)</c>), or
    /// entries that do not fit the present ports (a COM number not present,
    /// a port given twice, entries that cannot be matched by position).
    /// Nothing was changed.</summary>
    public sealed class ProfileException : Exception
    {
        internal ProfileException(string message)
            : base(message)
        {
        }
    }
}
