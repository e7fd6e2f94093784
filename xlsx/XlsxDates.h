#pragma once
// Dates written as ISO 8601 text in cells, as serial numbers of the workbook's date system.
#include <cstdint>
#include <optional>
#include <string_view>

namespace gridvane::xlsx {

/// Days from 1970-01-01 to the civil date y-m-d (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d);

/// The serial number of an ISO 8601 date and time ("2024-04-01", "2024-04-01T13:45:30.5", "13:45:00",
/// with an optional zone, which a serial number has no place for); nothing when it is not one, or lies
/// before the first day the date system counts.
std::optional<double> IsoDateSerial(std::string_view text, bool date1904);

} // namespace gridvane::xlsx
