using System.Collections.Generic;

namespace Portopt
{
    /// <summary>The adapter a profile entry was taken from: its instance ID
    /// on the machine the profile was made on, and its model.</summary>
    public sealed record ProfileAdapter
    {
        internal ProfileAdapter(string instanceId, int vendorId, int productId)
        {
            InstanceId = instanceId;
            VendorId = vendorId;
            ProductId = productId;
        }

        /// <summary>The adapter's device instance ID where the profile was
        /// made; empty when the profile names none.</summary>
        public string InstanceId { get; }

        /// <summary>The vendor ID, 0 to 65535.</summary>
        public int VendorId { get; }

        /// <summary>The product ID, 0 to 65535.</summary>
        public int ProductId { get; }
    }

    /// <summary>One option value a profile entry asks for.</summary>
    public readonly struct ProfileSetting
    {
        internal ProfileSetting(PortOption option, int value)
        {
            Option = option;
            Value = value;
        }

        /// <summary>The option.</summary>
        public PortOption Option { get; }

        /// <summary>The value: 0 to 3 for the interface mode, 0 or 1 for the
        /// others (1: on, enabled).</summary>
        public int Value { get; }
    }

    /// <summary>One port of a profile: the options it asks for and where the
    /// port was when the profile was made.</summary>
    public sealed class ProfileEntry
    {
        internal ProfileEntry(string key, int number, ProfileAdapter? adapter, int? position,
            IReadOnlyList<ProfileSetting> settings)
        {
            Key = key;
            Number = number;
            Adapter = adapter;
            Position = position;
            Settings = settings;
        }

        /// <summary>The port as the profile names it: <c>COM3</c> (a file
        /// written by hand may say <c>com3</c> or <c>3</c>).</summary>
        public string Key { get; }

        /// <summary>The COM number the key gives.</summary>
        public int Number { get; }

        /// <summary>The adapter that carried the port; null when the profile
        /// names none.</summary>
        public ProfileAdapter? Adapter { get; }

        /// <summary>n of the port's "Port n" on that adapter; null for a
        /// single-port adapter, or when the profile gives none.</summary>
        public int? Position { get; }

        /// <summary>The options and values asked for, in the profile's order.</summary>
        public IReadOnlyList<ProfileSetting> Settings { get; }
    }
}
