using System;
using System.Management.Automation;

namespace Portopt.PowerShell
{
    /// <summary>Takes a switch option's value as portctl does, on or off (or
    /// 1 or 0), besides $true and $false.</summary>
    internal sealed class OnOffAttribute : ArgumentTransformationAttribute
    {
        public override object Transform(EngineIntrinsics engineIntrinsics, object inputData)
        {
            object value = inputData is PSObject wrapped ? wrapped.BaseObject : inputData;
            switch (value)
            {
                case bool flag:
                    return flag;
                case int number when number == 0 || number == 1:
                    return number == 1;
                case string text when string.Equals(text, "on", StringComparison.OrdinalIgnoreCase) || text == "1":
                    return true;
                case string text when string.Equals(text, "off", StringComparison.OrdinalIgnoreCase) || text == "0":
                    return false;
                default:
                    throw new ArgumentTransformationMetadataException($"'{value}' is not on or off (give on, off, 1, 0, $true or $false).");
            }
        }
    }
}
