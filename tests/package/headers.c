/* The installed headers on their own, compiled as C and as C++: the
 * declarations have the types the documentation gives. */
#include "comlist.h"
#include "portopt.h"
#include "portprofile.h"

/* Port names are UTF-16 wherever the library runs. */
typedef char comlist_char_is_two_bytes[sizeof(comlist_char) == 2 ? 1 : -1];

int headers_check(void);
int headers_check(void) {
    int(PORTOPT_CALL * query)(int) = PoGetUARTFIFO;
    int(PORTOPT_CALL * change)(int, int) = PoSetUARTFIFO;
    int(PORTOPT_CALL * info)(int, PoPortInfo*) = PoGetPortInfo;
    int(PORTOPT_CALL * all)(PoPortInfo*, int, int*) = PoGetAllPortInfo;
    static PoPortInfo record; /* zero-initialised */
    int(PORTPROFILE_CALL * plan)(const char*, int, int, char*, int, int*, PoProfileOutcome*) =
        PoProfilePlan;
    int(PORTPROFILE_CALL * import)(const char*, int, int, PoProfileConfirm, void*, char*, int, int*,
                                   PoProfileOutcome*) = PoProfileImport;
    int(COMLIST_CALL * list)(comlist_char**, int*) = EnumCOMPorts;
    int(COMLIST_CALL * bounded)(comlist_char**, int, int*) = EnumCOMPortsEx;
#ifdef __cplusplus
    Cportopt& (Cportopt::*assign)(const Cportopt&) = &Cportopt::operator=;
    (void)assign;
#endif
    record.size = sizeof record;
    return query != 0 && change != 0 && info != 0 && all != 0 && list != 0 && bounded != 0 &&
           plan != 0 && import != 0 && sizeof(PoProfileOutcome) == 20 + PO_PROFILE_REASON_BYTES &&
           COMLIST_NAME_UNITS == 260 && record.uartFifo.available == 0 &&
           PO_ADAPTER_ID_BYTES == sizeof record.adapterId && PO_FAMILY_TOVELSER != PO_BUS_NONE &&
           PO_MIN_PORT == 1 && PO_MAX_PORT == 256;
}
