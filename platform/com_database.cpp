#include "com_database.h"

#include <algorithm>

namespace platform {

ComDatabase OpenComDatabase(LONG& status) {
    ComDatabase database;
    status = ComDBOpen(database.out());
    if (status != ERROR_SUCCESS) database.release();  // the slot holds the invalid handle
    return database;
}

std::optional<std::vector<std::uint8_t>> ReadComDatabase(HCOMDB database, LONG& status) {
    DWORD numbers = 0;
    status = ComDBGetCurrentPortUsage(database, nullptr, 0, CDB_REPORT_BITS, &numbers);
    if (status != ERROR_SUCCESS) return std::nullopt;
    std::vector<std::uint8_t> bitmap((numbers + 7) / 8, 0);
    DWORD reported = 0;
    status = ComDBGetCurrentPortUsage(database, bitmap.data(), static_cast<DWORD>(bitmap.size()),
                                      CDB_REPORT_BITS, &reported);
    if (status != ERROR_SUCCESS) return std::nullopt;
    // Only the bytes the report covered are the database's.
    bitmap.resize(std::min<std::size_t>(bitmap.size(), (reported + 7) / 8));
    return bitmap;
}

bool MarksInUse(const std::vector<std::uint8_t>& bitmap, int number) {
    if (number < 1) return false;
    const std::size_t index = static_cast<std::size_t>(number - 1);
    return index / 8 < bitmap.size() && ((bitmap[index / 8] >> (index % 8)) & 1) != 0;
}

}  // namespace platform
