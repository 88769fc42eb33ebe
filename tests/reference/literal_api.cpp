#include "literal_api.h"

#include "literal_calls.h"

namespace literal {

const fixture::PortoptApi& Api() {
    static const fixture::PortoptApi api = [] {
        fixture::PortoptApi calls;
        calls.PoGetInterface = &PoGetInterface;
        calls.PoGetFastFlush = &PoGetFastFlush;
        calls.PoGetTxMode = &PoGetTxMode;
        calls.PoGetUARTFIFO = &PoGetUARTFIFO;
        calls.PoSetInterface = &PoSetInterface;
        calls.PoSetFastFlush = &PoSetFastFlush;
        calls.PoSetTxMode = &PoSetTxMode;
        calls.PoSetUARTFIFO = &PoSetUARTFIFO;
        return calls;
    }();
    return api;
}

}  // namespace literal
