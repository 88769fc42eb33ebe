// The floor every call is measured against: one bare scan of the ports
// list, the least any lookup of a COM number must do.
#ifndef BENCH_BARE_SCAN_H
#define BENCH_BARE_SCAN_H

namespace bench {

// Builds the list of present ports-class interfaces, reads every device
// record off it and releases it.  Returns the devices read.
int BareScan();

}  // namespace bench

#endif
