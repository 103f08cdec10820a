// Reads section [central] of "pagewarden.ini" beside the program (UTF-16 LE
// with a byte order mark, as GetPrivateProfileStringW reads it).
#pragma once

#include "central/central_setting.h"

// Empty (disabled) without the file, the section or a connection string, or
// with a file larger than centralSettingLimit;
// the source defaults to the computer's name.
CentralSetting readCentralSetting();
