using System.ComponentModel;
using System.Linq;
using Xunit;

namespace Portopt.Tests
{
    /// <summary>Ports.SetNumber on the demo machine: the port is then read
    /// under its new name with its options; a number another port carries
    /// is refused with the library's code and nothing changes.</summary>
    public class NumberTests : MachineTest
    {
        [Fact]
        public void RenumberedPortIsReadUnderItsNewNameAndATakenNumberChangesNothing()
        {
            Port before = Ports.Get(7);
            Port renumbered = Ports.SetNumber(7, 12);
            Assert.Equal("COM12", renumbered.Name);
            Assert.Equal(before.InterfaceMode, renumbered.InterfaceMode);
            Assert.DoesNotContain(Ports.GetAll(), p => p.Name == "COM7");

            var listed = Ports.GetAll();
            var refused = Assert.Throws<Win32Exception>(() => Ports.SetNumber(12, 4));
            Assert.Equal(Ports.NumberInUse, refused.NativeErrorCode);
            Assert.Equal(listed, Ports.GetAll());
        }
    }
}
