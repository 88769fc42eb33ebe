// What the query calls answer for one COM port, together with the adapter
// the port resolved to, as one record; and that record in the exported
// form of the port-information calls.
#ifndef PORTOPT_PORT_ANSWERS_H
#define PORTOPT_PORT_ANSWERS_H

#include <cstdint>
#include <string>

#include "interface_code.h"
#include "port_identity.h"
#include "portopt.h"
#include "settings_store.h"

namespace portopt {

class PortResolution;

// One COM number's answers.
struct PortAnswers {
    // The product ID: -1 or 0 when the port does not resolve.
    int productId = 0;
    // The adapter's instance ID as the lookup read it back and the identity
    // parsed from it; empty and 0 when the port does not resolve to a
    // device (a resolved ID may still yield product 0).
    std::string adapterId;
    std::uint32_t identity = 0;
    // The channel index of the port the adapter was found through (-1 when
    // its name has no "Port " number, or nothing was found).
    int channel = -1;
    bool tovelser = false;

    // PoGetInterface, PoGetFastFlush, PoGetTxMode, PoGetUARTFIFO.
    int interfaceMode = 0;
    int fastFlush = 0;
    int txMode = 0;
    int uartFifo = 0;
    // Whether "DisableFiFo" is stored, which PoGetUARTFIFO cannot tell.
    bool fifoStored = false;
};

// Fills the four options of `answers`, whose product is set, as the query
// calls answer them: `read(name)` gives the stored value of the setting of
// that name for the port (-1 when not stored or unreadable).  The
// tovelser family has only the interface mode, stored in the calls' own
// numbering; the queries answer 0 for its other options.
template <typename Read>
void AnswerOptions(PortAnswers& answers, Read read) {
    answers.tovelser = IsTovelserFamily(answers.productId);
    if (answers.tovelser) {
        answers.interfaceMode = read(kSerInterface);
        return;
    }
    answers.interfaceMode = TranslateInterfaceCode(read(kInterfaceMode));
    answers.fastFlush = read(kFastFlush);
    answers.txMode = read(kTxMode);
    const int disableFifo = read(kDisableFiFo);
    answers.uartFifo = disableFifo == 0 ? 1 : 0;  // only a stored 0 enables it
    answers.fifoStored = disableFifo != kNotStored;
}

// The answers for the port a query's walk resolved, read from the store
// with one reading of the switch.
PortAnswers AnswersOf(const PortResolution& port);

// Record sizes the port-information calls accept: this version's record
// or a later, larger one, in whole 32-bit units, up to 64 KiB.
bool IsAcceptedRecordSize(unsigned int size);

// Fills `info` (whose size field the caller set) with COM `port`'s
// answers; the bytes past this version's record are zeroed.
void FillPortInfo(const PortAnswers& answers, int port, PoPortInfo& info);

}  // namespace portopt

#endif
