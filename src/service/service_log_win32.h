// Where the service's reports go: pagewarden-service.log in the data folder,
// and the Application event log under the source "Pagewarden".
#pragma once

#include <string>

void appendServiceLog(const std::u16string& caption, const std::u16string& message);
void reportToEventLog(const std::u16string& message);
