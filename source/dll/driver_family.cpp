#include "driver_family.h"

#include "interface_code.h"
#include "port_identity.h"

namespace portopt {

namespace {

int SameNumbering(int value) { return value; }

// Device types of the two drivers' requests; every request is buffered and
// open to any access.
constexpr DWORD kTovelserDeviceType = 0x22;
constexpr DWORD kKarbendDeviceType = 0x404;

constexpr DWORD Request(DWORD deviceType, DWORD function) {
    return CTL_CODE(deviceType, function, METHOD_BUFFERED, FILE_ANY_ACCESS);
}

constexpr FamilyOption kLacking = {nullptr, 0, RecordLayout::kChannelFirst, SameNumbering};

// Tovelser-family drivers have the interface mode only, in the calls' own
// numbering, and take it with the value first in the record.
constexpr DriverFamily kTovelser = {
    PO_FAMILY_TOVELSER,
    "tovelser",
    "SYSTEM\\CurrentControlSet\\Services\\tovelser\\FixComFunc",
    "portopt.tovelser.FixComFunc",
    {
        {"SerInterface", Request(kTovelserDeviceType, 0x820), RecordLayout::kValueFirst,
         SameNumbering},
        kLacking,
        kLacking,
        kLacking,
    },
};

// The KARBEND driver numbers the interface modes with 1 and 2 swapped.
constexpr DriverFamily kKarbend = {
    PO_FAMILY_OTHER,
    "KARBEND",
    "SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc",
    "portopt.KARBEND.FixComFunc",
    {
        {"InterfaceMode", Request(kKarbendDeviceType, 0x805), RecordLayout::kChannelFirst,
         TranslateInterfaceCode},
        {"FastFlush", Request(kKarbendDeviceType, 0x806), RecordLayout::kChannelFirst,
         SameNumbering},
        {"TxMode", Request(kKarbendDeviceType, 0x807), RecordLayout::kChannelFirst, SameNumbering},
        {"DisableFiFo", Request(kKarbendDeviceType, 0x808), RecordLayout::kChannelFirst,
         SameNumbering},
    },
};

// The drivers decode these exact numbers.
static_assert(kTovelser.options[0].controlCode == 0x00222080);
static_assert(kKarbend.options[0].controlCode == 0x04042014);
static_assert(kKarbend.options[1].controlCode == 0x04042018);
static_assert(kKarbend.options[2].controlCode == 0x0404201C);
static_assert(kKarbend.options[3].controlCode == 0x04042020);

}  // namespace

const DriverFamily& FamilyOf(int productId) {
    return IsTovelserFamily(productId) ? kTovelser : kKarbend;
}

}  // namespace portopt
