/*
 * portinfo: lists the COM ports present, each with its adapter and its
 * four options, read for every port in one call of the library.  With
 * "portinfo COM-NUMBER MODE" it first sets that port's interface mode.
 * A plain C program using both libraries through their import libraries.
 */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

#include "comlist.h"
#include "portopt.h"

#define MAX_PORTS (PO_MAX_PORT - PO_MIN_PORT + 1) /* one record per COM number */
#define MAX_NAMES 256

static comlist_char buffers[MAX_NAMES][COMLIST_NAME_UNITS];
static PoPortInfo records[MAX_PORTS + 1]; /* one spare for a port asked alone */

/* n of a name "COMn" that the library takes; 0 for any other name. */
static int ComNumber(const comlist_char* name) {
    wchar_t* end = NULL;
    long n;
    if (wcsncmp(name, L"COM", 3) != 0 || name[3] < L'0' || name[3] > L'9') return 0;
    n = wcstol(name + 3, &end, 10);
    return *end == 0 && n >= PO_MIN_PORT && n <= PO_MAX_PORT ? (int)n : 0;
}

/* "n/a" for an option the adapter's family does not have, "-" when none
 * is stored, else the value. */
static const char* Shown(PoOption option, char* text) {
    if (!option.available) return "n/a";
    if (!option.stored) return "-";
    sprintf(text, "%d", option.value);
    return text;
}

static void Show(const PoPortInfo* port) {
    char a[16], b[16], c[16], d[16];
    if (port->family == PO_FAMILY_UNRESOLVED) {
        printf("no adapter");
    } else {
        printf("%s %04X:%04X %s port %d", port->bus == PO_BUS_PCI ? "PCI" : "USB", port->vendorId,
               port->productId, port->family == PO_FAMILY_TOVELSER ? "tovelser" : "KARBEND",
               port->position);
    }
    printf(", interface %s, fast flush %s, transmit mode %s, FIFO enabled %s\n",
           Shown(port->interfaceMode, a), Shown(port->fastFlush, b), Shown(port->txMode, c),
           Shown(port->uartFifo, d));
}

int main(int argc, char** argv) {
    comlist_char* names[MAX_NAMES];
    int count = 0, listed, ports = 0, i, j;

    if (argc == 3) {
        int port = atoi(argv[1]);
        int mode = atoi(argv[2]);
        if (!PoSetInterface(port, mode)) {
            printf("COM%d: interface mode not changed (error %lu)\n", port, GetLastError());
            return 1;
        }
    }

    /* Every port's record at once: its adapter and its four options. */
    records[0].size = sizeof(PoPortInfo);
    if (!PoGetAllPortInfo(records, MAX_PORTS, &ports)) {
        printf("the ports cannot be read (error %lu)\n", GetLastError());
        return 1;
    }

    for (i = 0; i < MAX_NAMES; ++i) names[i] = buffers[i];
    if (!EnumCOMPortsEx(names, MAX_NAMES, &count) && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        printf("the ports cannot be listed (error %lu)\n", GetLastError());
        return 1;
    }
    /* With more ports than buffers, the first MAX_NAMES are written. */
    listed = count < MAX_NAMES ? count : MAX_NAMES;
    for (i = 0; i < listed; ++i) {
        const int number = ComNumber(names[i]);
        printf("%ls: ", names[i]);
        if (number == 0) {
            printf("not a COM number the library addresses\n");
            continue;
        }
        for (j = 0; j < ports && records[j].port != number; ++j) continue;
        if (j == ports) { /* listed, but no port device carries the number */
            records[j].size = sizeof(PoPortInfo);
            PoGetPortInfo(number, &records[j]);
        }
        Show(&records[j]);
    }
    if (count > listed) printf("and %d more ports\n", count - listed);
    if (count == 0) printf("no COM ports present\n");
    return 0;
}
