// The names EnumCOMPorts gives, as UTF-8 strings in the lister's order.
#ifndef PORTCTL_PORT_ENUMERATION_H
#define PORTCTL_PORT_ENUMERATION_H

#include <string>
#include <vector>

namespace portctl {

std::vector<std::string> EnumeratePortNames();

}  // namespace portctl

#endif
