using System;
using System.Collections.Generic;

namespace Portopt
{
    /// <summary>One option of one port: whether the port has it, whether a
    /// value is stored, and the value.</summary>
    /// <typeparam name="T">The option's type: <see cref="Portopt.InterfaceMode"/>,
    /// <see cref="bool"/> for the switches, <see cref="int"/> for the
    /// transmit mode.</typeparam>
    public readonly struct OptionValue<T> : IEquatable<OptionValue<T>>
        where T : struct
    {
        private readonly T value;

        internal OptionValue(OptionState state, T value, int rawValue)
        {
            State = state;
            this.value = value;
            RawValue = rawValue;
        }

        /// <summary>Whether the port has the option and a value is stored.</summary>
        public OptionState State { get; }

        /// <summary>True unless the port has no such option.</summary>
        public bool IsAvailable => State != OptionState.NotAvailable;

        /// <summary>True when a value is stored.</summary>
        public bool IsStored => State == OptionState.Stored;

        /// <summary>The stored value.</summary>
        /// <exception cref="InvalidOperationException">No value is stored, or
        /// the port has no such option.</exception>
        public T Value => IsStored
            ? value
            : throw new InvalidOperationException(State == OptionState.NotStored
                ? "No value is stored for this option."
                : "The port has no such option.");

        /// <summary>The stored value; null when none is stored or the port
        /// has no such option.</summary>
        public T? ValueOrNull => IsStored ? value : (T?)null;

        /// <summary>Exactly what the option's query call answers
        /// (PoGetInterface, PoGetFastFlush, PoGetTxMode, PoGetUARTFIFO): -1
        /// for the first three when nothing is stored, 0 for the FIFO; 0 when
        /// the port has no such option.  A value stored outside the option's
        /// range shows here as it is.</summary>
        public int RawValue { get; }

        /// <summary>The value, "-" when none is stored, "n/a" when the port
        /// has no such option, as portctl shows them.</summary>
        public override string ToString() => State switch
        {
            OptionState.Stored => value.ToString() ?? string.Empty,
            OptionState.NotStored => "-",
            _ => "n/a",
        };

        /// <summary>Same state and same raw value.</summary>
        public bool Equals(OptionValue<T> other) =>
            State == other.State && RawValue == other.RawValue && EqualityComparer<T>.Default.Equals(value, other.value);

        /// <inheritdoc/>
        public override bool Equals(object? obj) => obj is OptionValue<T> other && Equals(other);

        /// <inheritdoc/>
        public override int GetHashCode() => ((int)State * 397) ^ RawValue;

        /// <summary>Same state and same raw value.</summary>
        public static bool operator ==(OptionValue<T> left, OptionValue<T> right) => left.Equals(right);

        /// <summary>Different state or raw value.</summary>
        public static bool operator !=(OptionValue<T> left, OptionValue<T> right) => !left.Equals(right);
    }
}
