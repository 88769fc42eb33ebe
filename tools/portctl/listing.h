// The listing: every port either source names, in natural order, each
// once, with its adapter and its options as the query calls answer them.
// The sources are the lister (the ports with a COM-port interface) and the
// library's all-ports information call (every COM number a ports-class
// device carries, which is also every port the option calls serve), which
// reads the device tree and the store once for the whole listing.
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
    std::string id;                  // the adapter's instance ID
    std::optional<std::string> bus;  // "USB" or "PCI"; none for another bus
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
    // The interface modes the port's adapter accepts (PO_MODES_..., bit n
    // for mode n); absent where the settings are, or when the library does
    // not say.
    std::optional<int> modes;
};

// The ports of the listing, each once, in the sources' order: the
// lister's names (the first of each COM number), then "COMn" for each
// record whose COM number none of them carries.
std::vector<std::string> PortNames(const std::vector<std::string>& listed,
                                   const std::vector<PoPortInfo>& records);

// The row of `name` from the records of the all-ports call.
PortRow MakeRow(const std::string& name, const std::vector<PoPortInfo>& records);

// Every present port, in natural order.  Throws ListingFailed when the
// ports cannot be listed.
std::vector<PortRow> ReadListing();

// Whether the query calls can be asked about the row's port.
bool Addressable(const PortRow& row);

// "USB 1A2B:2044", as the table shows an adapter.
std::string AdapterLabel(const Adapter& adapter);

Json RowJson(const PortRow& row);
// A table of the rows with a heading line.
std::string RenderTable(const std::vector<PortRow>& rows);

}  // namespace portctl

#endif
