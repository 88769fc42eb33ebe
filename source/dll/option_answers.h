// What the query calls answer for a port's options, and the port with its
// adapter and options as the port-information calls' record gives it.
#ifndef PORTOPT_OPTION_ANSWERS_H
#define PORTOPT_OPTION_ANSWERS_H

#include <array>

#include "driver_family.h"
#include "port_option.h"
#include "portopt.h"
#include "settings_store.h"

namespace portopt {

struct ResolvedPort;

// The query call's answer for `option` of a port of `family`, from what
// the store read: the family's numbering undone and the option's rule
// applied; 0, and not available, for an option the family lacks (which is
// never read).
PoOption AnswerOf(const DriverFamily& family, Option option, const SettingRead& read);

// Record sizes the port-information calls accept: this version's record
// or a later, larger one, in whole 32-bit units, up to 64 KiB.
bool IsAcceptedRecordSize(unsigned int size);

// Fills `info` (whose size field the caller set) with the resolved port's
// adapter and the answers for `reads`; the bytes past this version's
// record are zeroed.
void FillPortInfo(const ResolvedPort& port, const std::array<SettingRead, kOptionCount>& reads,
                  PoPortInfo& info);

}  // namespace portopt

#endif
