// The control channel to the adapter that carries a COM port: the device
// path of the port's parent node, opened for exclusive read and write, and
// the requests sent through it.
#ifndef PORTOPT_ADAPTER_CHANNEL_H
#define PORTOPT_ADAPTER_CHANNEL_H

#include <optional>
#include <string>

#include "control_request.h"
#include "unique_resource.h"
#include "win32.h"

namespace portopt {

struct ResolvedPort;

// The device path of the adapter's first ports-class interface; `adapter`
// is its record on `list`.  nullopt when it has no such interface in the
// list or the path cannot be read.
std::optional<std::string> AdapterDevicePath(HDEVINFO list, SP_DEVINFO_DATA& adapter);

// Opens the device path a change's resolution found, for exclusive read
// and write.  Empty when no path was found or the device cannot be opened.
platform::DeviceHandle OpenAdapterChannel(const ResolvedPort& port);

// Sends one request (8-byte input, no output).  True when the driver
// accepted it.
bool SendControlRequest(HANDLE adapter, DWORD code, const ControlRecord& record);

}  // namespace portopt

#endif
