namespace Portopt
{
    /// <summary>The adapter that carries a port, as <c>portctl list --json</c>
    /// shows it.</summary>
    public sealed record Adapter
    {
        internal Adapter(string instanceId, AdapterBus bus, int vendorId, int productId, AdapterFamily family)
        {
            InstanceId = instanceId;
            Bus = bus;
            VendorId = vendorId;
            ProductId = productId;
            Family = family;
        }

        /// <summary>The adapter's device instance ID, such as
        /// <c>USB\VID_1A2B&amp;PID_2044\KB4P0001</c>.</summary>
        public string InstanceId { get; }

        /// <summary>The bus the adapter sits on.</summary>
        public AdapterBus Bus { get; }

        /// <summary>The vendor ID.</summary>
        public int VendorId { get; }

        /// <summary>The product ID.</summary>
        public int ProductId { get; }

        /// <summary>The driver family, which decides the options the adapter has.</summary>
        public AdapterFamily Family { get; }
    }
}
