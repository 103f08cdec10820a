// The service's own account, NT SERVICE\Pagewarden, as access lists name it.
#pragma once

#include <string>

// Its SID as text: as the system looks the name up, or, where it cannot (the
// service not registered yet, a system without such names), worked out from
// the name as the system does.
std::u16string serviceSidString();
