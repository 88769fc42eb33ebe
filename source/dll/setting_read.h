// A setting as the store read it, shared by the store and its two layouts.
#ifndef PORTOPT_SETTING_READ_H
#define PORTOPT_SETTING_READ_H

#include "port_option.h"

namespace portopt {

// A setting as the store read it: the value, or -1.  `absent` says that the
// store holds no value for the port (a table byte 0xFF, no per-port value,
// or the value -1), which the calls report as ERROR_FILE_NOT_FOUND once
// they have released their lists; -1 without it means unreadable.
struct SettingRead {
    int value = kNotStored;
    bool absent = false;
};

}  // namespace portopt

#endif
