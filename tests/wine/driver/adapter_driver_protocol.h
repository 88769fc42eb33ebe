/* What the test adapter driver and the tests that drive it share: the
 * control device's name, its requests, and the record of one request an
 * adapter received.  Plain C, included by the kernel-mode driver and by the
 * user-mode fixture alike; every field has a fixed size, so 32-bit and
 * 64-bit sides agree. */
#ifndef TESTS_DRIVER_ADAPTER_DRIVER_PROTOCOL_H
#define TESTS_DRIVER_ADAPTER_DRIVER_PROTOCOL_H

/* The driver's service name: the port driver whose FixComFunc subkey holds
 * the switch and shared tables of the non-tovelser family. */
#define ADAPTER_DRIVER_SERVICE "KARBEND"

/* The control device, opened by the tests as \\.\PortoptTestAdapters. */
#define ADAPTER_DRIVER_CONTROL_DEVICE L"\\Device\\PortoptTestAdapters"
#define ADAPTER_DRIVER_CONTROL_LINK L"\\??\\PortoptTestAdapters"
#define ADAPTER_DRIVER_CONTROL_PATH "\\\\.\\PortoptTestAdapters"

/* At most this many adapter devices and logged requests per driver run. */
#define ADAPTER_DRIVER_MAX_ADAPTERS 64
#define ADAPTER_DRIVER_MAX_REQUESTS 1024
/* Input bytes kept per logged request (the whole length is kept too). */
#define ADAPTER_DRIVER_KEPT_INPUT 16

/* Control requests: device type 0x8001, buffered, any access. */
#define ADAPTER_DRIVER_CODE(function) ((0x8001u << 16) | ((function) << 2))

/* Input: the symbolic link to create, as UTF-16 without terminator
 * ("\??\usb#vid_...#{...}").  Output: the adapter's index (4 bytes).  An
 * adapter whose link already exists keeps its device and its index. */
#define ADAPTER_DRIVER_ADD ADAPTER_DRIVER_CODE(0x901)
/* No input: forgets every logged request and accepts everything again. */
#define ADAPTER_DRIVER_RESET ADAPTER_DRIVER_CODE(0x902)
/* Input: struct adapter_driver_refusal. */
#define ADAPTER_DRIVER_REFUSE ADAPTER_DRIVER_CODE(0x903)
/* No input; output: the logged requests in order, as many whole records
 * as the output buffer holds. */
#define ADAPTER_DRIVER_READ_LOG ADAPTER_DRIVER_CODE(0x904)

struct adapter_driver_refusal {
    unsigned int adapter;
    /* The NTSTATUS refused requests complete with; 0 accepts again. */
    int status;
    /* Requests accepted before the refusals begin. */
    unsigned int accept_first;
};

struct adapter_driver_request {
    unsigned int adapter;
    unsigned int code;
    unsigned int input_length;
    int status; /* what the request completed with */
    unsigned char input[ADAPTER_DRIVER_KEPT_INPUT];
};

#endif
