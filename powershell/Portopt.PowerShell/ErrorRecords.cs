using System;
using System.ComponentModel;
using System.IO;
using System.Management.Automation;

namespace Portopt.PowerShell
{
    /// <summary>The module's errors as PowerShell errors: the exception
    /// (with the library's code in <c>NativeErrorCode</c> where there is
    /// one), an error ID, a category, and the port or file concerned as the
    /// target object.</summary>
    internal static class ErrorRecords
    {
        /// <summary>A change that did not take.</summary>
        internal static ErrorRecord Refused(PortOptionException refusal) =>
            new ErrorRecord(refusal, "OptionRefused",
                refusal.Accepted ? ErrorCategory.InvalidResult : ErrorCategory.WriteError, refusal.PortName);

        /// <summary>A profile's change that did not take.</summary>
        internal static ErrorRecord Refused(ProfileOutcome outcome) =>
            new ErrorRecord(
                new Win32Exception(outcome.ErrorCode ?? 0, outcome.ToString()),
                "OptionRefused",
                outcome.ErrorCode == 0 ? ErrorCategory.InvalidResult : ErrorCategory.WriteError,
                outcome.PortName);

        /// <summary>A profile's COM number that the port was not given.</summary>
        internal static ErrorRecord Refused(ProfileNumberOutcome outcome) =>
            new ErrorRecord(new InvalidOperationException(outcome.ToString()), "NumberRefused", ErrorCategory.WriteError, outcome.PortName);

        /// <summary>A port argument the library does not take, or a port
        /// that is not present.</summary>
        internal static ErrorRecord BadPort(ArgumentException fault, string port) =>
            new ErrorRecord(fault, fault is ArgumentOutOfRangeException ? "PortOutOfRange" : "PortNotFound",
                fault is ArgumentOutOfRangeException ? ErrorCategory.InvalidArgument : ErrorCategory.ObjectNotFound, port)
            {
                ErrorDetails = new ErrorDetails(WithoutParameter(fault)),
            };

        /// <summary>The message without the parameter's name, which is the
        /// library's and not the cmdlet's.</summary>
        private static string WithoutParameter(ArgumentException fault) =>
            fault.Message.Split('\n')[0].Replace($" (Parameter '{fault.ParamName}')", "").Trim();

        /// <summary>An interface mode the port's adapter does not take; the
        /// message names the adapter and the modes it takes.</summary>
        internal static ErrorRecord ModeNotAccepted(ArgumentOutOfRangeException fault, string port) =>
            new ErrorRecord(fault, "InterfaceModeNotAccepted", ErrorCategory.InvalidArgument, port)
            {
                ErrorDetails = new ErrorDetails(WithoutParameter(fault)),
            };

        /// <summary>The ports cannot be listed or read.</summary>
        internal static ErrorRecord Unlisted(Win32Exception fault, string? port = null) =>
            new ErrorRecord(fault, "PortsNotRead", ErrorCategory.ReadError, port);

        /// <summary>A profile that cannot be used; nothing was changed.  The
        /// message names the file, then the place in it.</summary>
        internal static ErrorRecord BadProfile(ProfileException fault, string path) =>
            new ErrorRecord(fault, "ProfileRefused", ErrorCategory.InvalidData, path)
            {
                ErrorDetails = new ErrorDetails($"{path}: {fault.Message}"),
            };

        /// <summary>A file that cannot be read or written.</summary>
        internal static ErrorRecord File(Exception fault, string path, bool writing) =>
            new ErrorRecord(fault, writing ? "ProfileNotWritten" : "ProfileNotRead",
                fault is UnauthorizedAccessException ? ErrorCategory.PermissionDenied
                : writing ? ErrorCategory.WriteError : fault is FileNotFoundException || fault is DirectoryNotFoundException ? ErrorCategory.ObjectNotFound
                : ErrorCategory.ReadError,
                path);
    }
}
