// The shipping state as the tray program shows it, read from pgwarden.db.
#pragma once

#include <optional>

#include "store/shipping_table.h"

// Waits only moments for the program's lock and for the file: empty when
// another program holds it, and the caller shows what it showed before.
std::optional<ShippingState> readShippingStateBriefly();
