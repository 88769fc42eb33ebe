using System.Globalization;

namespace Portopt
{
    /// <summary>The four options as a profile writes them: their names,
    /// their ranges, and their values as JSON and in words, the way portctl
    /// writes them.</summary>
    internal static class ProfileOptions
    {
        internal static readonly PortOption[] All =
            { PortOption.InterfaceMode, PortOption.FastFlush, PortOption.TxMode, PortOption.UartFifo };

        /// <summary>"interface, fastflush, txmode, fifo"</summary>
        internal static readonly string Names = string.Join(", ", System.Array.ConvertAll(All, PortOptionException.NameOf));

        internal static PortOption? Find(string name)
        {
            foreach (PortOption option in All)
            {
                if (PortOptionException.NameOf(option) == name)
                {
                    return option;
                }
            }
            return null;
        }

        internal static int Highest(PortOption option) => option == PortOption.InterfaceMode ? 3 : 1;

        /// <summary>Whether the option is also written as true and false (on and off).</summary>
        internal static bool IsSwitch(PortOption option) => option == PortOption.FastFlush || option == PortOption.UartFifo;

        internal static string Range(PortOption option) => option switch
        {
            PortOption.InterfaceMode => "0 to 3",
            PortOption.TxMode => "0 or 1",
            _ => "on, off, 1 or 0",
        };

        /// <summary>A setting as JSON: null when the port has no such option;
        /// the FIFO as true or false (false also when nothing is stored, as
        /// its query call answers); the others null when nothing is stored.</summary>
        internal static object? Json(PortOption option, Setting setting)
        {
            if (setting.State == OptionState.NotAvailable)
            {
                return null;
            }
            if (option == PortOption.UartFifo)
            {
                return setting.Raw != 0;
            }
            return setting.State == OptionState.NotStored ? null : (object)setting.Raw;
        }

        /// <summary>A setting in words: "-" when not stored, "n/a" when the
        /// port has no such option, on or off for the FIFO, else the number.</summary>
        internal static string Shown(PortOption option, Setting setting) => setting.State switch
        {
            OptionState.NotAvailable => "n/a",
            OptionState.NotStored => "-",
            _ when option == PortOption.UartFifo => setting.Raw != 0 ? "on" : "off",
            _ => setting.Raw.ToString(CultureInfo.InvariantCulture),
        };

        /// <summary>What the option's query call answers, as a setting: -1
        /// is "not stored" for every option but the FIFO, whose query answers
        /// 0 or 1.</summary>
        internal static Setting Queried(PortOption option, int answer) =>
            answer == -1 && option != PortOption.UartFifo
                ? new Setting(OptionState.NotStored, answer)
                : new Setting(OptionState.Stored, answer);
    }

    /// <summary>One option of one port: its state and what its query call
    /// answers.</summary>
    internal readonly struct Setting
    {
        internal Setting(OptionState state, int raw)
        {
            State = state;
            Raw = raw;
        }

        internal OptionState State { get; }

        internal int Raw { get; }

        internal static Setting Of(Port port, PortOption option)
        {
            (OptionState state, int raw) = port.Entry(option);
            return new Setting(state, raw);
        }

        internal static Setting Wanted(int value) => new Setting(OptionState.Stored, value);
    }
}
