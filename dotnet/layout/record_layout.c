/*
 * Prints the port-information record and the profile outcome as this
 * compiler lays them out, and the headers' constants, one "name value" per
 * line: the .NET tests hold the managed records and enums against them.
 */
#include <stddef.h>
#include <stdio.h>

#include "portopt.h"
#include "portprofile.h"

#define FIELD(name) printf("%s %zu\n", #name, offsetof(PoPortInfo, name))
#define OPTION_FIELD(name) printf("PoOption.%s %zu\n", #name, offsetof(PoOption, name))
#define CONSTANT(name) printf("%s %d\n", #name, (int)(name))

int main(void) {
    printf("sizeof(PoPortInfo) %zu\n", sizeof(PoPortInfo));
    printf("sizeof(PoOption) %zu\n", sizeof(PoOption));
    FIELD(size);
    FIELD(port);
    FIELD(adapterId);
    FIELD(bus);
    FIELD(vendorId);
    FIELD(productId);
    FIELD(family);
    FIELD(position);
    FIELD(interfaceMode);
    FIELD(fastFlush);
    FIELD(txMode);
    FIELD(uartFifo);
    FIELD(interfaceModes);
    OPTION_FIELD(value);
    OPTION_FIELD(available);
    OPTION_FIELD(stored);
    CONSTANT(PO_MIN_PORT);
    CONSTANT(PO_MAX_PORT);
    CONSTANT(PO_ADAPTER_ID_BYTES);
    CONSTANT(PO_BUS_NONE);
    CONSTANT(PO_BUS_USB);
    CONSTANT(PO_BUS_PCI);
    CONSTANT(PO_FAMILY_UNRESOLVED);
    CONSTANT(PO_FAMILY_OTHER);
    CONSTANT(PO_FAMILY_TOVELSER);
    CONSTANT(PO_MODES_ALL);
    CONSTANT(PO_MODES_NOT_ZERO);
    CONSTANT(PO_MODES_ZERO_ONLY);
    CONSTANT(PO_PORT_INFO_V1_SIZE);
    printf("sizeof(PoProfileOutcome) %zu\n", sizeof(PoProfileOutcome));
    printf("PoProfileOutcome.unlisted %zu\n", offsetof(PoProfileOutcome, unlisted));
    CONSTANT(PO_PROFILE_REASON_BYTES);
    CONSTANT(PO_PROFILE_NOT_LISTED);
    CONSTANT(PO_MATCH_NUMBER);
    CONSTANT(PO_MATCH_POSITION);
    CONSTANT(PO_MATCH_NUMBERS);
    CONSTANT(PO_REPORT_JSON);
    return 0;
}
