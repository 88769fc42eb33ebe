// The control channel to the adapter that carries a COM port: the device
// path of the port's parent node, opened for exclusive read and write, and
// the requests sent through it.
#ifndef PORTOPT_ADAPTER_CHANNEL_H
#define PORTOPT_ADAPTER_CHANNEL_H

#include "control_request.h"
#include "unique_resource.h"
#include "win32.h"

namespace portopt {

// Opens the adapter of the first present port that carries COM `port` and
// whose adapter exposes a ports-class interface.  `channel` is written by
// every friendly-name parse on the way, so after a successful open it holds
// the opened port's channel index; it is left alone when no name was
// parsed.  Empty when no adapter was found or its device could not be
// opened; once a device path is found no later port is tried.
platform::DeviceHandle OpenAdapterChannel(int port, int& channel);

// Sends one request (8-byte input, no output).  True when the driver
// accepted it.
bool SendControlRequest(HANDLE adapter, DWORD code, const ControlRecord& record);

}  // namespace portopt

#endif
