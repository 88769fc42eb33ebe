using System.Linq;
using Xunit;

namespace Portopt.Tests
{
    /// <summary>What a caller compares and reads of an option and of a
    /// profile made from ports.</summary>
    public class OptionValueTests
    {
        private static readonly OptionValue<int> Lacking = new OptionValue<int>(OptionState.NotAvailable, 0, 0);
        private static readonly OptionValue<int> NotStored = new OptionValue<int>(OptionState.NotStored, -1, -1);
        private static readonly OptionValue<int> StoredZero = new OptionValue<int>(OptionState.Stored, 0, 0);

        [Fact]
        public void OnlyAStoredValueIsAValue()
        {
            // An option the port lacks is not a stored 0.
            Assert.NotEqual(Lacking, StoredZero);
            Assert.True(Lacking != StoredZero);
            Assert.Equal(StoredZero, new OptionValue<int>(OptionState.Stored, 0, 0));
            Assert.Equal(new int?[] { null, null, 0 }, new[] { Lacking, NotStored, StoredZero }.Select(option => option.ValueOrNull));
        }

        /// <summary>A COM number given twice keeps its first place and its
        /// last port, as the documentation says.</summary>
        [Fact]
        public void AProfileOfPortsKeepsTheLastPortOfANumber()
        {
            Port first = DemoMachine.Row("COM3", DemoMachine.Karbend, 1, "1", "-", "-", "-");
            Port other = DemoMachine.Row("COM4", DemoMachine.Karbend, 2, "0", "-", "-", "-");
            Port last = DemoMachine.Row("COM3", DemoMachine.Karbend, 1, "2", "-", "-", "-");

            Profile profile = Profile.FromPorts(new[] { first, other, last });

            Assert.Equal(new[] { "COM3 2", "COM4 0" },
                profile.Entries.Select(entry => $"{entry.Key} {entry.Settings.Single(setting => setting.Option == PortOption.InterfaceMode).Value}"));
        }
    }
}
