/*
 * portinfo: lists the COM ports present and shows the four options of each.
 * With "portinfo COM-NUMBER MODE" it also sets that port's interface mode.
 * A plain C program using both libraries through their import libraries.
 */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "comlist.h"
#include "portopt.h"

#define MAX_PORTS 256

static comlist_char buffers[MAX_PORTS][COMLIST_NAME_UNITS];

int main(int argc, char **argv)
{
    comlist_char *names[MAX_PORTS + 1] = {0}; /* a null entry ends the array */
    int count = 0;
    int i;

    if (argc == 3) {
        int port = atoi(argv[1]);
        int mode = atoi(argv[2]);
        if (!PoSetInterface(port, mode)) {
            printf("COM%d: interface mode not changed (error %lu)\n", port, GetLastError());
            return 1;
        }
    }

    for (i = 0; i < MAX_PORTS; ++i) names[i] = buffers[i];
    EnumCOMPorts(names, &count);
    for (i = 0; i < count; ++i) {
        int port = _wtoi(names[i] + 3); /* "COM7" -> 7 */
        wprintf(L"%ls: interface %d, fast flush %d, transmit mode %d, FIFO %ls\n", names[i],
                PoGetInterface(port), PoGetFastFlush(port), PoGetTxMode(port),
                PoGetUARTFIFO(port) ? L"enabled" : L"disabled");
    }
    if (count == 0) printf("no COM ports present\n");
    return 0;
}
