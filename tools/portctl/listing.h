// The listing: every name the lister gives, in natural order, with its
// adapter and its options as the query calls answer them.  The library
// reads the device tree and the store once for the whole listing, through
// its all-ports information call.
#ifndef PORTCTL_LISTING_H
#define PORTCTL_LISTING_H

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "portopt.h"

namespace portctl {

struct Adapter {
    std::string id;   // the adapter's instance ID
    std::string bus;  // "USB" or "PCI"
    int vendor = 0;
    int product = 0;
    bool tovelser = false;
};

struct PortRow {
    std::string name;
    std::optional<int> number;  // n of a "COMn" name
    std::optional<Adapter> adapter;
    std::optional<int> position;  // n of "Port n" in the name of the adapter's port
    // In the order of Options(); absent for a name the query calls cannot
    // be asked about (not COMn, or n outside PO_MIN_PORT to PO_MAX_PORT).
    std::optional<std::array<Setting, 4>> settings;
};

// The row of `name` from the records of the all-ports call.
PortRow MakeRow(const std::string& name, const std::vector<PoPortInfo>& records);

// Every present port, in natural order.  Throws ListingFailed when the
// ports cannot be listed.
std::vector<PortRow> ReadListing();

// Whether the query calls can be asked about the row's port.
bool Addressable(const PortRow& row);

Json RowJson(const PortRow& row);
// A table of the rows with a heading line.
std::string RenderTable(const std::vector<PortRow>& rows);

}  // namespace portctl

#endif
