// The shipping state in words, for the tray icon's tooltip and the about
// window: rows waiting, the last shipment's time, the last error. Portable.
#pragma once

#include <string>
#include <vector>

#include "store/shipping_table.h"

// One line each: "<label> <value>"; the error line only while there is one.
std::vector<std::u16string> shippingStateLines(const ShippingState& state);

// "2026-05-04 10:00:00" of a date-time text; a text of another form as it is.
std::u16string readableDateTime(const std::u16string& text);

// The tooltip: the title, then the lines, each cut where the room ends (the
// shell shows at most `capacity` units, terminator included).
std::u16string shippingTooltip(
    const std::u16string& title, const std::vector<std::u16string>& lines, std::size_t capacity = 128);
