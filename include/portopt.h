/*
 * portopt: reads and changes four options of one serial-adapter port,
 * addressed by its COM number (PO_MIN_PORT to PO_MAX_PORT, 1 to 256):
 * interface mode, fast flush, transmit mode and the UART FIFO.
 *
 * Query calls return the stored value (-1 when none is stored; see each
 * call).  Change calls return 1 on success and 0 on failure.  The
 * port-information calls give a port's adapter and all four options at
 * once, for one port or for every port present.  Usable from C and C++.
 *
 * The last-error codes the calls set of their own (a call that sets none
 * leaves the thread's code as it was):
 *   2 (ERROR_FILE_NOT_FOUND): a query of a port for which the store holds
 *       no value (the answer is -1);
 *   87 (ERROR_INVALID_PARAMETER): a COM number out of range, a value a
 *       change call does not take, a null or undersized record or count;
 *   122 (ERROR_INSUFFICIENT_BUFFER): PoGetAllPortInfo: more ports than
 *       records offered;
 *   1016 (ERROR_REGISTRY_IO_FAILED): a change whose old value cannot be
 *       read, or whose new value cannot be stored (the adapter then gets
 *       its old value back);
 *   183 (PO_ERROR_NUMBER_IN_USE): PoSetComNumber: the number is taken;
 * from PoGetAllPortInfo, the platform's code when the device list cannot
 * be built; and when the adapter's driver refuses a change request, the
 * code the refused request left (for example 31, ERROR_GEN_FAILURE).  A
 * change that the port's family or adapter does not take fails without a
 * code of its own; a failure the calls give no reason for leaves whatever
 * the platform's calls on the way left (often 0).
 */
#ifndef PORTOPT_H
#define PORTOPT_H

#if defined(_WIN32)
#if defined(PORTOPT_BUILDING)
#define PORTOPT_API __declspec(dllexport)
#else
#define PORTOPT_API __declspec(dllimport)
#endif
#define PORTOPT_CALL __cdecl
#else
#define PORTOPT_API __attribute__((visibility("default")))
#define PORTOPT_CALL
#endif

/*
 * The lowest and highest COM number the calls take; a call given a number
 * outside them sets error 87 (ERROR_INVALID_PARAMETER).
 */
#define PO_MIN_PORT 1
#define PO_MAX_PORT 256

/* Bus of a port's adapter (PoPortInfo.bus). */
#define PO_BUS_NONE 0 /* no adapter resolved, or neither USB nor PCI */
#define PO_BUS_USB 1
#define PO_BUS_PCI 2

/* Driver family of a port's adapter (PoPortInfo.family). */
#define PO_FAMILY_UNRESOLVED 0 /* no adapter's product resolved; treated as other */
#define PO_FAMILY_OTHER 1
#define PO_FAMILY_TOVELSER 2

/*
 * Interface modes a port's adapter accepts (PoPortInfo.interfaceModes):
 * bit n is set when the adapter takes interface mode n.
 */
#define PO_MODES_ALL 0x0F       /* modes 0 to 3: no restriction */
#define PO_MODES_NOT_ZERO 0x0E  /* modes 1 to 3: the adapter refuses mode 0 */
#define PO_MODES_ZERO_ONLY 0x01 /* mode 0 only */

/* Bytes of PoPortInfo.adapterId, terminator included. */
#define PO_ADAPTER_ID_BYTES 200

/* One option of a port. */
typedef struct PoOption {
    int value;     /* what the option's query call answers */
    int available; /* 1 when the adapter's family has the option, else 0 */
    int stored;    /* 1 when a value is stored for the port, else 0 */
} PoOption;

/*
 * What is known of one COM port.  The caller sets `size` to sizeof
 * (PoPortInfo); a larger size (of a later version of this record) is
 * accepted, and the bytes past this version's fields are zeroed.  The
 * first version of the record, which ends before `interfaceModes`
 * (PO_PORT_INFO_V1_SIZE bytes), is still accepted and filled as before.
 */
typedef struct PoPortInfo {
    unsigned int size;
    int port;                            /* the COM number */
    char adapterId[PO_ADAPTER_ID_BYTES]; /* the adapter's instance ID, or "" */
    int bus;                             /* PO_BUS_... */
    int vendorId;                        /* 0 when unresolved */
    int productId;                       /* -1 or 0 when unresolved */
    int family;                          /* PO_FAMILY_... */
    int position;                        /* n of the port's "Port n", 0 for none */
    PoOption interfaceMode;              /* as PoGetInterface answers */
    PoOption fastFlush;                  /* as PoGetFastFlush answers */
    PoOption txMode;                     /* as PoGetTxMode answers */
    PoOption uartFifo;                   /* as PoGetUARTFIFO answers */
    int interfaceModes;                  /* PO_MODES_...: bit n for mode n; since version 2 */
} PoPortInfo;

/* The size of the record's first version, which callers built before
 * `interfaceModes` was added still pass. */
#define PO_PORT_INFO_V1_SIZE (4 + 4 + PO_ADAPTER_ID_BYTES + 5 * 4 + 4 * 3 * 4)

/*
 * PoSetComNumber's own code: the number asked for is carried by another
 * present port, or marked in use in the COM port database (the value of
 * ERROR_ALREADY_EXISTS).
 */
#define PO_ERROR_NUMBER_IN_USE 183

/* PoSetComNumberEx flags. */
#define PO_NUMBER_FORCE 0x1 /* take a number that only the database marks in use */

#ifdef __cplusplus
extern "C" {
#endif

/* Interface mode 0 to 3; -1 when not stored (error 2 when the store holds
 * no value for the port). */
PORTOPT_API int PORTOPT_CALL PoGetInterface(int port);
/* Fast flush 0 (off) or 1 (on); -1 when not stored (error 2 as above). */
PORTOPT_API int PORTOPT_CALL PoGetFastFlush(int port);
/* Transmit mode 0 or 1; -1 when not stored (error 2 as above). */
PORTOPT_API int PORTOPT_CALL PoGetTxMode(int port);
/* 1 when the UART FIFO is enabled, else 0 (also when nothing is stored,
 * with error 2 as above). */
PORTOPT_API int PORTOPT_CALL PoGetUARTFIFO(int port);

/* Mode 0 to 3. */
PORTOPT_API int PORTOPT_CALL PoSetInterface(int port, int mode);
/* 0 off, 1 on. */
PORTOPT_API int PORTOPT_CALL PoSetFastFlush(int port, int on);
/* 0 or 1. */
PORTOPT_API int PORTOPT_CALL PoSetTxMode(int port, int mode);
/* Nonzero enables the FIFO, 0 disables it. */
PORTOPT_API int PORTOPT_CALL PoSetUARTFIFO(int port, int enable);

/*
 * Fills *info for COM `port` (PO_MIN_PORT to PO_MAX_PORT), as the four
 * query calls answer for it, resolving the port once.  1 on success; 0 with error 87 for a
 * port out of range, a null `info` or a size smaller than this record.
 */
PORTOPT_API int PORTOPT_CALL PoGetPortInfo(int port, PoPortInfo* info);

/*
 * Fills infos[0], infos[1], ... with one record for every COM number a
 * present port carries, in order of COM number, reading the device tree
 * and the settings store once; infos[0].size gives the size of every
 * record of the array.  *count receives the number of such COM numbers.
 * 1 on success.  When `capacity` is smaller, fills the first `capacity`
 * records and returns 0 with error 122 (ERROR_INSUFFICIENT_BUFFER); infos
 * may be null when capacity is 0.  0 with error 87 for a null `count`, a
 * negative capacity, null records or a bad size; 0 with the platform's
 * code and *count 0 when the device list cannot be built.
 */
PORTOPT_API int PORTOPT_CALL PoGetAllPortInfo(PoPortInfo* infos, int capacity, int* count);

/*
 * Gives the present port COM `port` the number `newNumber` (both
 * PO_MIN_PORT to PO_MAX_PORT), as Device Manager does: claims the number in
 * the COM port database, writes the port's "PortName" and the "(COMn)" of
 * its friendly name, moves its stored options to the new number in
 * shared-table mode, releases the old number and restarts the device.
 * Needs administrator rights.  1 on success, with the last-error code 0,
 * or 3010 (ERROR_SUCCESS_REBOOT_REQUIRED) when the device takes its new
 * number only once the machine restarts.  0 on failure, having changed
 * nothing (every step done is put back), with: 87 for a number out of
 * range or a friendly name the new number would make too long; 5 without
 * administrator rights; 2 when no present port carries `port`;
 * PO_ERROR_NUMBER_IN_USE when `newNumber` is taken; 1016 when the port's
 * name, friendly name or options cannot be read or written; else the code
 * of the database or of the restart that failed.  A port already carrying
 * `newNumber` succeeds without a change.
 */
PORTOPT_API int PORTOPT_CALL PoSetComNumber(int port, int newNumber);
/* The same, with PO_NUMBER_FORCE to take a number that only the database
 * marks in use (a number left behind by a removed device); a number another
 * present port carries is never taken.  Other flags: 87. */
PORTOPT_API int PORTOPT_CALL PoSetComNumberEx(int port, int newNumber, int flags);

/*
 * The library's version, as its version resource gives it (FILEVERSION
 * major, minor, patch): 1 with the three numbers set; 0 with error 87
 * when any pointer is null.
 */
PORTOPT_API int PORTOPT_CALL PoGetVersion(int* major, int* minor, int* patch);

#ifdef __cplusplus
}

/* The library's exported class: no data, no operations of its own. */
class PORTOPT_API Cportopt {
public:
    Cportopt& operator=(const Cportopt& other);
};
#endif

#endif
