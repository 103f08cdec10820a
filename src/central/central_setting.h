// The central database setting: section [central] of "pagewarden.ini" beside
// the program, and the shipper's connection string in a file of its own
// that only administrators, the system and the service may read; read by
// the Win32 half. Without a connection string the program ships nothing,
// shows no other computer and loads nothing new.
// Portable: no Windows header here.
#pragma once

#include <string>

inline constexpr char16_t centralSettingFileName[] = u"pagewarden.ini";
// A larger settings file is not read: the program then ships nothing.
inline constexpr std::size_t centralSettingLimit = 64u << 10;
// Holds [central] connection= alone; when present and readable it wins over
// the one in pagewarden.ini, which every user may read.
inline constexpr char16_t centralSecretFileName[] = u"pagewarden-secret.ini";

struct CentralSetting {
    // ODBC connection strings. They hold passwords: they never go into a
    // log, a report or an error text. `connection` ships the rows; `viewer`,
    // when given, is a role that may only read the totals, for "All
    // computers" of a user who cannot read the shipper's.
    std::u16string connection, viewer;
    // The name this computer's rows carry in the central database.
    std::u16string source;
    // The secret file is there, readable or not: someone (the service) ships
    // from this computer, and its shipping state is worth showing.
    bool secretKept = false;

    bool enabled() const { return !connection.empty(); }
    bool viewable() const { return !viewer.empty() || enabled(); }
    bool stateShown() const { return enabled() || secretKept; }
    const std::u16string& viewConnection() const { return viewer.empty() ? connection : viewer; }
};

// Blanks, tabs and line breaks around a value read from the file go.
std::u16string trimmedSettingValue(const std::u16string& value);

// A message from the driver or the server with every password of the
// connection string (PWD=, PASSWORD=, braced or not), and the string itself,
// replaced by "***": drivers quote what they were given.
std::u16string withoutSecrets(std::u16string message, const std::u16string& connection);
