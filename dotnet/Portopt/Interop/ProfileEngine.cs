using System;
using System.ComponentModel;
using System.Runtime.ExceptionServices;
using System.Runtime.InteropServices;
using System.Text;
using System.Text.RegularExpressions;

namespace Portopt.Interop
{
    /// <summary>PoProfileOutcome, field for field; the caller sets
    /// <c>size</c>.</summary>
    [StructLayout(LayoutKind.Sequential)]
    internal unsafe struct ProfileOutcomeRecord
    {
        internal const int ReasonBytes = 256;

        internal static readonly int Size = Marshal.SizeOf<ProfileOutcomeRecord>();

        internal int size;
        internal int options;
        internal int differing;
        internal int refused;
        internal int changed;
        internal fixed byte unlisted[ReasonBytes];
    }

    /// <summary>The profile engine, portprofile, which holds the profile
    /// rules for every front end: a profile's text goes in, and its report
    /// (or its fault with the place) comes back in a buffer offered until
    /// it fits.  The confirm callback is a Cdecl delegate kept alive for
    /// the call; what it throws is raised again when the call returns.</summary>
    internal static unsafe class ProfileEngine
    {
        internal const int MatchNumber = 0;
        internal const int MatchPosition = 1;
        internal const int MatchNumbers = 0x10;
        internal const int ReportJson = 1;
        internal const int InvalidData = 13;
        internal const int InsufficientBuffer = 122;
        internal const int NotListed = 0x20000001;

        /// <summary>The bytes first offered for a text; a longer one is asked
        /// for again with the size the engine needs (the tests lower it).</summary>
        internal static int FirstCapacity = 1 << 14;

        // The machine may gain ports between two calls: a text that keeps
        // growing is asked for this often.
        private const int Tries = 4;

        /// <summary>One call, given the buffer, its capacity, the needed size
        /// and the outcome record.</summary>
        internal delegate int TextCall(byte* text, int capacity, int* needed, ProfileOutcomeRecord* outcome);

        /// <summary>Asked before each change with the change as UTF-8 JSON.</summary>
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int ConfirmCallback(IntPtr change, IntPtr context);

        /// <summary>The machine's profile, as portctl export writes it.</summary>
        internal static string Export() =>
            Text((text, capacity, needed, outcome) => PoProfileExport(text, capacity, needed, outcome));

        /// <summary>A plan (<paramref name="test"/> false) or a test of
        /// <paramref name="profile"/>, as the JSON report.</summary>
        internal static string Plan(string profile, int match, bool test)
        {
            byte[] bytes = Terminated(profile);
            return Text((text, capacity, needed, outcome) =>
            {
                fixed (byte* given = bytes)
                {
                    return test ? PoProfileTest(given, match, ReportJson, text, capacity, needed, outcome)
                        : PoProfilePlan(given, match, ReportJson, text, capacity, needed, outcome);
                }
            });
        }

        /// <summary>An import of <paramref name="profile"/>, as the JSON
        /// report; <paramref name="confirm"/> (may be null) is asked before
        /// each change with the change as JSON text.</summary>
        internal static string Import(string profile, int match, Func<string, bool>? confirm)
        {
            byte[] bytes = Terminated(profile);
            ExceptionDispatchInfo? raised = null;
            ConfirmCallback? callback = confirm == null ? null : (change, context) =>
            {
                // An exception must not cross the engine's frames: it
                // declines this change and the rest, and is raised after.
                if (raised != null)
                {
                    return 0;
                }
                try
                {
                    return confirm(Utf8((byte*)change)) ? 1 : 0;
                }
                catch (Exception e)
                {
                    raised = ExceptionDispatchInfo.Capture(e);
                    return 0;
                }
            };
            string report = Text((text, capacity, needed, outcome) =>
            {
                fixed (byte* given = bytes)
                {
                    return PoProfileImport(given, match, ReportJson, callback, IntPtr.Zero, text, capacity, needed, outcome);
                }
            });
            GC.KeepAlive(callback);
            raised?.Throw();
            return report;
        }

        /// <summary>The text <paramref name="call"/> gives, offered a buffer
        /// until it fits.</summary>
        /// <exception cref="ProfileException">Error 13: the profile's fault.</exception>
        /// <exception cref="Win32Exception">The ports cannot be listed, or
        /// the engine failed otherwise.</exception>
        internal static string Text(TextCall call)
        {
            NativeLoading.Prepare();
            int capacity = FirstCapacity;
            for (int attempt = 1; ; attempt++)
            {
                var buffer = new byte[Math.Max(capacity, 1)];
                var record = new ProfileOutcomeRecord { size = ProfileOutcomeRecord.Size };
                int needed = 0;
                int answer;
                int code;
                fixed (byte* text = buffer)
                {
                    LastError.Clear();
                    answer = call(text, capacity, &needed, &record);
                    code = answer == 1 ? 0 : LastError.Read();
                }
                if (code == InsufficientBuffer && needed > capacity && attempt < Tries)
                {
                    capacity = needed;
                    continue;
                }
                if (answer == 1)
                {
                    return Written(buffer);
                }
                throw code switch
                {
                    InvalidData => new ProfileException(Written(buffer)),
                    NotListed => Unlisted(Utf8(record.unlisted, ProfileOutcomeRecord.ReasonBytes)),
                    _ => new Win32Exception(code, $"The profile engine failed (error {code})"),
                };
            }
        }

        private static readonly Regex ListingCode = new Regex(@"\(error (\d+)\)$");

        /// <summary>The engine's reason as the listing's failure, with the
        /// code the reason names.</summary>
        private static Win32Exception Unlisted(string reason)
        {
            Match found = ListingCode.Match(reason);
            int code = found.Success && int.TryParse(found.Groups[1].Value, out int named) ? named : NotListed;
            return new Win32Exception(code, reason.Length > 0 ? reason : "the ports cannot be listed");
        }

        private static byte[] Terminated(string text)
        {
            if (text.IndexOf('\0') >= 0)
            {
                // The engine would read only up to it.
                throw new ProfileException("malformed JSON: a zero character in the text");
            }
            return Encoding.UTF8.GetBytes(text + "\0");
        }

        private static string Written(byte[] buffer)
        {
            int end = Array.IndexOf(buffer, (byte)0);
            return Encoding.UTF8.GetString(buffer, 0, end < 0 ? buffer.Length : end);
        }

        private static string Utf8(byte* text, int most = int.MaxValue)
        {
            int length = 0;
            while (length < most && text[length] != 0)
            {
                length++;
            }
            return Encoding.UTF8.GetString(text, length);
        }

        [DllImport(NativeMethods.Portprofile, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        private static extern int PoProfileExport(byte* text, int capacity, int* needed, ProfileOutcomeRecord* outcome);

        [DllImport(NativeMethods.Portprofile, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        private static extern int PoProfilePlan(byte* profile, int match, int form, byte* text, int capacity, int* needed,
            ProfileOutcomeRecord* outcome);

        [DllImport(NativeMethods.Portprofile, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        private static extern int PoProfileImport(byte* profile, int match, int form, ConfirmCallback? confirm, IntPtr context,
            byte* text, int capacity, int* needed, ProfileOutcomeRecord* outcome);

        [DllImport(NativeMethods.Portprofile, CallingConvention = CallingConvention.Cdecl, SetLastError = true, ExactSpelling = true)]
        private static extern int PoProfileTest(byte* profile, int match, int form, byte* text, int capacity, int* needed,
            ProfileOutcomeRecord* outcome);
    }
}
