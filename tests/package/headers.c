/* The installed headers on their own, compiled as C and as C++: the
 * declarations have the types the documentation gives. */
#include "comlist.h"
#include "portopt.h"

/* Port names are UTF-16 wherever the library runs. */
typedef char comlist_char_is_two_bytes[sizeof(comlist_char) == 2 ? 1 : -1];

int headers_check(void);
int headers_check(void)
{
    int (PORTOPT_CALL *query)(int) = PoGetUARTFIFO;
    int (PORTOPT_CALL *change)(int, int) = PoSetUARTFIFO;
    int (COMLIST_CALL *list)(comlist_char**, int*) = EnumCOMPorts;
#ifdef __cplusplus
    Cportopt& (Cportopt::*assign)(const Cportopt&) = &Cportopt::operator=;
    (void)assign;
#endif
    return query != 0 && change != 0 && list != 0 && COMLIST_NAME_UNITS == 260;
}
