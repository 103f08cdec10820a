// The central database setting: section [central] of "pagewarden.ini" beside
// the program, read by the Win32 half. Without the file, the section or a
// connection string the program ships nothing and loads nothing new.
// Portable: no Windows header here.
#pragma once

#include <string>

inline constexpr char16_t centralSettingFileName[] = u"pagewarden.ini";
// A larger settings file is not read: the program then ships nothing.
inline constexpr std::size_t centralSettingLimit = 64u << 10;

struct CentralSetting {
    // An ODBC connection string. It holds a password: it never goes into a
    // log, a report or an error text.
    std::u16string connection;
    // The name this computer's rows carry in the central database.
    std::u16string source;

    bool enabled() const { return !connection.empty(); }
};

// Blanks, tabs and line breaks around a value read from the file go.
std::u16string trimmedSettingValue(const std::u16string& value);

// A message from the driver or the server with every password of the
// connection string (PWD=, PASSWORD=, braced or not), and the string itself,
// replaced by "***": drivers quote what they were given.
std::u16string withoutSecrets(std::u16string message, const std::u16string& connection);
