/*
 * portopt: reads and changes four options of one serial-adapter port,
 * addressed by its COM number (1 to 256): interface mode, fast flush,
 * transmit mode and the UART FIFO.
 *
 * Query calls return the stored value (-1 when none is stored; see each
 * call).  Change calls return 1 on success and 0 on failure, with the
 * reason in the thread's last-error code for bad arguments (87) and for a
 * setting that cannot be read or stored (1016).  Usable from C and C++.
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

#ifdef __cplusplus
extern "C" {
#endif

/* Interface mode 0 to 3; -1 when not stored. */
PORTOPT_API int PORTOPT_CALL PoGetInterface(int port);
/* Fast flush 0 (off) or 1 (on); -1 when not stored. */
PORTOPT_API int PORTOPT_CALL PoGetFastFlush(int port);
/* Transmit mode 0 or 1; -1 when not stored. */
PORTOPT_API int PORTOPT_CALL PoGetTxMode(int port);
/* 1 when the UART FIFO is enabled, else 0. */
PORTOPT_API int PORTOPT_CALL PoGetUARTFIFO(int port);

/* Mode 0 to 3. */
PORTOPT_API int PORTOPT_CALL PoSetInterface(int port, int mode);
/* 0 off, 1 on. */
PORTOPT_API int PORTOPT_CALL PoSetFastFlush(int port, int on);
/* 0 or 1. */
PORTOPT_API int PORTOPT_CALL PoSetTxMode(int port, int mode);
/* Nonzero enables the FIFO, 0 disables it. */
PORTOPT_API int PORTOPT_CALL PoSetUARTFIFO(int port, int enable);

#ifdef __cplusplus
}

/* The library's exported class: no data, no operations of its own. */
class PORTOPT_API Cportopt {
public:
    Cportopt& operator=(const Cportopt& other);
};
#endif

#endif
