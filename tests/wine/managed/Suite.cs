using System;
using System.Collections.Generic;
using System.Diagnostics;

namespace Portopt.WineTests
{
    /// <summary>The managed suites' cases, each on a fresh machine, run in
    /// order; every failure is printed and counted.  (A test framework's
    /// runner would start a second program under Wine for little gain.)</summary>
    internal sealed class Suite
    {
        private readonly List<(string Name, Action Body)> cases = new List<(string, Action)>();

        internal void Case(string name, Action body) => cases.Add((name, body));

        /// <summary>Runs every case, each on a fresh machine whose
        /// stand-in goes into the portopt.dll at <paramref name="portopt"/>;
        /// the program's exit status.</summary>
        internal int RunOnWineMachine(string portopt)
        {
            int failed = Run(() => WineMachine.Build(portopt));
            WineMachine.Close();
            return failed == 0 ? 0 : 1;
        }

        /// <summary>Runs every case; the number that failed.</summary>
        internal int Run(Action prepare)
        {
            int failed = 0;
            foreach ((string name, Action body) in cases)
            {
                var clock = Stopwatch.StartNew();
                try
                {
                    prepare();
                    body();
                    Console.WriteLine($"ok     {name} ({clock.ElapsedMilliseconds} ms)");
                }
                catch (Exception e)
                {
                    failed++;
                    Console.WriteLine($"FAILED {name}: {e}");
                }
            }
            Console.WriteLine($"{cases.Count - failed} of {cases.Count} cases passed");
            return failed;
        }

        internal static void Equal<T>(T expected, T actual, string what)
        {
            if (!EqualityComparer<T>.Default.Equals(expected, actual))
            {
                throw new Exception($"{what}: expected {expected}, got {actual}");
            }
        }

        internal static void True(bool condition, string what)
        {
            if (!condition)
            {
                throw new Exception(what);
            }
        }

        /// <summary>The exception <paramref name="call"/> throws, which must
        /// be a <typeparamref name="E"/>.</summary>
        internal static E Throws<E>(Action call, string what) where E : Exception
        {
            try
            {
                call();
            }
            catch (E e)
            {
                return e;
            }
            catch (Exception e)
            {
                throw new Exception($"{what}: expected {typeof(E).Name}, got {e.GetType().Name}: {e.Message}");
            }
            throw new Exception($"{what}: expected {typeof(E).Name}, nothing thrown");
        }
    }
}
