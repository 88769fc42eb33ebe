using System;
using System.IO;
using System.Text;

namespace Portopt
{
    /// <summary>Writes a file whole or not at all: the text goes to a
    /// temporary file beside it, which is flushed to disk and then takes the
    /// file's place, so that an interrupted write leaves the old file whole.
    /// The file gets the permissions any new file gets.</summary>
    internal static class AtomicFile
    {
        private static readonly Encoding Utf8 = new UTF8Encoding(encoderShouldEmitUTF8Identifier: false);

        internal static void Write(string path, string text)
        {
            string target = Path.GetFullPath(path);
            string temporary = target + ".tmp" + Guid.NewGuid().ToString("N").Substring(0, 8);
            bool created = false;
            try
            {
                using (var stream = new FileStream(temporary, FileMode.CreateNew, FileAccess.Write, FileShare.None))
                {
                    created = true;
                    byte[] bytes = Utf8.GetBytes(text);
                    stream.Write(bytes, 0, bytes.Length);
                    stream.Flush(flushToDisk: true);
                }
                if (File.Exists(target))
                {
                    File.Replace(temporary, target, destinationBackupFileName: null);
                }
                else
                {
                    File.Move(temporary, target);
                }
            }
            finally
            {
                if (created && File.Exists(temporary))
                {
                    File.Delete(temporary);
                }
            }
        }
    }
}
