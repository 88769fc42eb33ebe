/*
 * portprofile: the ports' stored options as a profile, a JSON document that
 * portctl's export writes and its import and check read:
 *   {"portctl": 1, "ports": {"COM7": {"adapter": {"id": "USB\\...",
 *    "vendor": 6699, "product": 8260}, "position": 2, "interface": 2,
 *    "fifo": true}, ...}}
 * It exports the machine's profile, checks a profile, plans and makes an
 * import, and tests whether a machine complies.  It reads and changes the
 * ports through portopt.dll and comlist.dll beside it, and keeps nothing
 * between calls.  Usable from C and C++.
 *
 * Text goes in and out as UTF-8, terminated by a zero byte.  Every call
 * that gives text writes it to the caller's buffer `text` of `capacity`
 * bytes and sets *needed to the bytes it takes, terminator included.  A
 * null `text` with a capacity of 0 asks only for the size.
 *
 * Calls return 1 on success and 0 on failure, with the reason in the
 * thread's last-error code:
 *   87 (ERROR_INVALID_PARAMETER): a null `needed` or profile, a negative
 *       capacity, a null `text` with a capacity above 0, an unknown match
 *       or form, or an outcome whose size is not sizeof(PoProfileOutcome):
 *       nothing is written or changed;
 *   122 (ERROR_INSUFFICIENT_BUFFER): the text does not fit: nothing is
 *       written, and *needed says how many bytes it takes.  An import
 *       finds this out before it changes anything;
 *   13 (ERROR_INVALID_DATA): the profile is malformed or does not fit the
 *       present ports (a COM number not here, a port given twice, entries
 *       that cannot be matched by position).  The text is the fault with
 *       its place, as portctl reports it ("ports.COM4.interface: value 4
 *       out of range (0 to 3)"); nothing was changed;
 *   PO_PROFILE_NOT_LISTED: the ports could not be listed.  The text is
 *       the report of no ports (an export of none, or the plan's report
 *       form saying so), and the outcome's `unlisted` says why;
 *   8 (ERROR_NOT_ENOUGH_MEMORY): memory ran out; nothing more was changed.
 * An import in which a change was refused still succeeds: its outcome
 * counts the refusals, and its report gives each reason.
 */
#ifndef PORTPROFILE_H
#define PORTPROFILE_H

#if defined(_WIN32)
#if defined(PORTPROFILE_BUILDING)
#define PORTPROFILE_API __declspec(dllexport)
#else
#define PORTPROFILE_API __declspec(dllimport)
#endif
#define PORTPROFILE_CALL __cdecl
#else
#define PORTPROFILE_API __attribute__((visibility("default")))
#define PORTPROFILE_CALL
#endif

/* The last-error code of a call whose ports could not be listed (an
 * application's own code, as Windows marks them with bit 29). */
#define PO_PROFILE_NOT_LISTED 0x20000001UL

/* How a profile's entries find the present ports. */
#define PO_MATCH_NUMBER 0   /* by the entry's COM number */
#define PO_MATCH_POSITION 1 /* the port at the entry's position on an adapter of its model */
/*
 * OR'd with PO_MATCH_POSITION (alone, or with PO_MATCH_NUMBER, it is an
 * unknown match): each matched port is also to carry the COM number its
 * entry is keyed by.  An import gives the ports their numbers first,
 * through PoSetComNumber (never forced), in an order in which no two ports
 * hold one number at once, passing through a free number where ports swap;
 * then their options, under their new numbers.  A number that a present
 * port outside the profile carries, or that only the COM port database
 * holds, is refused for that port.  Should a renumbering fail, those made
 * are put back.  Reports give each port's "number" beside its options
 * (ports named as they were found), and a test counts a wrong number as a
 * difference; `options` in the outcome counts options only, `differing`
 * and `refused` count numbers too.  The confirm callback is asked about a
 * number with "option": "number".
 */
#define PO_MATCH_NUMBERS 0x10

/* The form of a report. */
#define PO_REPORT_LINES 0 /* a line for each option, as portctl import prints them */
#define PO_REPORT_JSON 1  /* one object, as portctl import --json prints it */
#define PO_REPORT_LINE 2  /* a test's one line, as portctl check prints it */

/* Bytes of PoProfileOutcome.unlisted, terminator included. */
#define PO_PROFILE_REASON_BYTES 256

/* What a plan, an import or a test found and did. */
typedef struct PoProfileOutcome {
    int size;      /* set by the caller: sizeof(PoProfileOutcome) */
    int options;   /* the options the profile asks for */
    int differing; /* found to differ (planned, declined, or absent in a test) */
    int refused;   /* changes refused or failed */
    int changed;   /* 1 when any change call was made */
    /* Empty, or why the ports could not be listed (PO_PROFILE_NOT_LISTED). */
    char unlisted[PO_PROFILE_REASON_BYTES];
} PoProfileOutcome;

/*
 * Asked by PoProfileImport before each change, with the change as a JSON
 * object: {"port": "COM7", "entry": "COM3", "option": "interface",
 * "from": 0, "to": 2}.  Returns nonzero to make it; a change it declines is
 * reported as "would apply" and counted as differing.
 */
typedef int(PORTPROFILE_CALL* PoProfileConfirm)(const char* change, void* context);

#ifdef __cplusplus
extern "C" {
#endif

/* The machine's profile: every port's stored options, as portctl export
 * writes it (ending in a line feed).  `outcome` (may be null) counts the
 * options exported. */
PORTPROFILE_API int PORTPROFILE_CALL PoProfileExport(char* text, int capacity, int* needed,
                                                     PoProfileOutcome* outcome);

/*
 * Whether `profile` fits the present ports, matched by `match`, as an
 * import takes it.  On success the text is empty; with error 13 it is the
 * first fault and its place (or every entry that cannot be matched by
 * position); with PO_PROFILE_NOT_LISTED, why the ports could not be listed.
 */
PORTPROFILE_API int PORTPROFILE_CALL PoProfileCheck(const char* profile, int match, char* text,
                                                    int capacity, int* needed);

/* What an import would do, in the report form `form` (portctl import
 * --dry-run).  Changes nothing.  `outcome`, here and below, may be null. */
PORTPROFILE_API int PORTPROFILE_CALL PoProfilePlan(const char* profile, int match, int form,
                                                   char* text, int capacity, int* needed,
                                                   PoProfileOutcome* outcome);

/*
 * Sets each option that differs, in the profile's order, reading each
 * change back (portctl import).  `confirm`, when not null, is asked before
 * each change with `context`.  Nothing changes when the profile does not
 * fit or the report would not fit `capacity`.
 */
PORTPROFILE_API int PORTPROFILE_CALL PoProfileImport(const char* profile, int match, int form,
                                                     PoProfileConfirm confirm, void* context,
                                                     char* text, int capacity, int* needed,
                                                     PoProfileOutcome* outcome);

/*
 * Whether every option the profile gives already holds (portctl check):
 * a plan in which an entry whose COM number is not here gives "absent"
 * options instead of refusing the profile.  The machine complies when the
 * call succeeds with no option differing.  PO_REPORT_LINE gives the one
 * line ("compliant: 12 options on 4 ports", "drift: COM3 interface 0
 * (want 2), ..."), at most 2,046 characters.
 */
PORTPROFILE_API int PORTPROFILE_CALL PoProfileTest(const char* profile, int match, int form,
                                                   char* text, int capacity, int* needed,
                                                   PoProfileOutcome* outcome);

#ifdef __cplusplus
}
#endif

#endif
