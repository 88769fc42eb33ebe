// The demo machine: a four-port USB adapter on the KARBEND driver in
// shared-table mode (COM3 to COM6), a two-port tovelser-family adapter in
// per-port mode (COM8, COM9), a single-port PCI adapter (COM7), a COM1
// with no adapter, a single-port USB adapter that refuses interface mode 0
// (COM10), whose driver registers its port in the Ports class only, without
// a COM-port interface, so that the lister does not name it, and the COM
// port database holding those nine numbers.  Some options are stored and
// some are not, so that a listing shows every kind of answer.  It is
// exactly what the machine-file
// writer produces for this machine.
#include "machine_file.h"

namespace simwin::detail {

const char* const kDemoMachineJson = R"json({
  "simwin-machine": 1,
  "devices": [
    {
      "id": "ACPI_HAL\\PNP0C08\\0"
    },
    {
      "id": "ACPI\\PNP0501\\1",
      "parent": "ACPI_HAL\\PNP0C08\\0",
      "friendlyName": "Communications Port (COM1)",
      "interfaces": [
        "ports",
        "comport"
      ]
    },
    {
      "id": "USB\\VID_1A2B&PID_2044\\KB4P0001",
      "interfaces": [
        "ports"
      ]
    },
    {
      "id": "KBSER\\VID_1A2B&PID_2044\\KB4P0001&00",
      "parent": "USB\\VID_1A2B&PID_2044\\KB4P0001",
      "friendlyName": "KARBEND USB Serial Port 1 (COM3)",
      "interfaces": [
        "ports",
        "comport"
      ]
    },
    {
      "id": "KBSER\\VID_1A2B&PID_2044\\KB4P0001&01",
      "parent": "USB\\VID_1A2B&PID_2044\\KB4P0001",
      "friendlyName": "KARBEND USB Serial Port 2 (COM4)",
      "interfaces": [
        "ports",
        "comport"
      ]
    },
    {
      "id": "KBSER\\VID_1A2B&PID_2044\\KB4P0001&02",
      "parent": "USB\\VID_1A2B&PID_2044\\KB4P0001",
      "friendlyName": "KARBEND USB Serial Port 3 (COM5)",
      "interfaces": [
        "ports",
        "comport"
      ]
    },
    {
      "id": "KBSER\\VID_1A2B&PID_2044\\KB4P0001&03",
      "parent": "USB\\VID_1A2B&PID_2044\\KB4P0001",
      "friendlyName": "KARBEND USB Serial Port 4 (COM6)",
      "interfaces": [
        "ports",
        "comport"
      ]
    },
    {
      "id": "USB\\VID_1A2B&PID_1131\\TV2P0042",
      "interfaces": [
        "ports"
      ]
    },
    {
      "id": "TVSER\\VID_1A2B&PID_1131\\TV2P0042&00",
      "parent": "USB\\VID_1A2B&PID_1131\\TV2P0042",
      "friendlyName": "tovelser USB Serial Port 1 (COM8)",
      "interfaces": [
        "ports",
        "comport"
      ]
    },
    {
      "id": "TVSER\\VID_1A2B&PID_1131\\TV2P0042&01",
      "parent": "USB\\VID_1A2B&PID_1131\\TV2P0042",
      "friendlyName": "tovelser USB Serial Port 2 (COM9)",
      "interfaces": [
        "ports",
        "comport"
      ]
    },
    {
      "id": "PCI\\VEN_1A2B&DEV_2021&SUBSYS_00011A2B&REV_01\\4&2A3B4C5D&0&00E4",
      "interfaces": [
        "ports"
      ]
    },
    {
      "id": "KBSER\\VEN_1A2B&DEV_2021\\4&2A3B4C5D&0&00E4&00",
      "parent": "PCI\\VEN_1A2B&DEV_2021&SUBSYS_00011A2B&REV_01\\4&2A3B4C5D&0&00E4",
      "friendlyName": "KARBEND PCI Serial Port (COM7)",
      "interfaces": [
        "ports",
        "comport"
      ]
    },
    {
      "id": "USB\\VID_1A2B&PID_2031\\KB1P0010",
      "interfaces": [
        "ports"
      ]
    },
    {
      "id": "KBSER\\VID_1A2B&PID_2031\\KB1P0010&00",
      "parent": "USB\\VID_1A2B&PID_2031\\KB1P0010",
      "friendlyName": "KARBEND USB Serial Port (COM10)",
      "interfaces": [
        "ports"
      ]
    }
  ],
  "registry": {
    "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter": {
      "ComDB": {
        "type": "REG_BINARY",
        "hex": [
          "fd 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
          "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
        ]
      }
    },
    "SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\1\\Device Parameters": {
      "PortName": "COM1"
    },
    "SYSTEM\\CurrentControlSet\\Enum\\KBSER\\VEN_1A2B&DEV_2021\\4&2A3B4C5D&0&00E4&00\\Device Parameters": {
      "PortName": "COM7"
    },
    "SYSTEM\\CurrentControlSet\\Enum\\KBSER\\VID_1A2B&PID_2031\\KB1P0010&00\\Device Parameters": {
      "PortName": "COM10"
    },
    "SYSTEM\\CurrentControlSet\\Enum\\KBSER\\VID_1A2B&PID_2044\\KB4P0001&00\\Device Parameters": {
      "PortName": "COM3"
    },
    "SYSTEM\\CurrentControlSet\\Enum\\KBSER\\VID_1A2B&PID_2044\\KB4P0001&01\\Device Parameters": {
      "PortName": "COM4"
    },
    "SYSTEM\\CurrentControlSet\\Enum\\KBSER\\VID_1A2B&PID_2044\\KB4P0001&02\\Device Parameters": {
      "PortName": "COM5"
    },
    "SYSTEM\\CurrentControlSet\\Enum\\KBSER\\VID_1A2B&PID_2044\\KB4P0001&03\\Device Parameters": {
      "PortName": "COM6"
    },
    "SYSTEM\\CurrentControlSet\\Enum\\TVSER\\VID_1A2B&PID_1131\\TV2P0042&00\\Device Parameters": {
      "PortName": "COM8",
      "SerInterface": 2
    },
    "SYSTEM\\CurrentControlSet\\Enum\\TVSER\\VID_1A2B&PID_1131\\TV2P0042&01\\Device Parameters": {
      "PortName": "COM9"
    },
    "SYSTEM\\CurrentControlSet\\Services\\KARBEND\\FixComFunc": {
      "DisableFiFo": {
        "type": "REG_BINARY",
        "hex": [
          "ff ff 00 01 00 ff 00 ff ff 00 ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff"
        ]
      },
      "FastFlush": {
        "type": "REG_BINARY",
        "hex": [
          "ff ff 01 00 01 ff 00 ff ff 00 ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff"
        ]
      },
      "FixComFunc": 1,
      "InterfaceMode": {
        "type": "REG_BINARY",
        "hex": [
          "ff ff 00 02 01 ff 03 ff ff 02 ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff"
        ]
      },
      "TxMode": {
        "type": "REG_BINARY",
        "hex": [
          "ff ff 00 01 ff ff 00 ff ff 01 ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff",
          "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff"
        ]
      }
    },
    "SYSTEM\\CurrentControlSet\\Services\\tovelser\\FixComFunc": {
      "FixComFunc": 0
    }
  },
  "drivers": {}
}
)json";

}  // namespace simwin::detail
