#include "central/central_setting.h"

#include <vector>

#include "common/strings.h"

namespace {

char16_t lowered(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

bool sameKey(std::u16string key, const std::u16string& lowerName)
{
    while (!key.empty() && wstrIsSpace(key.back())) key.pop_back();
    while (!key.empty() && wstrIsSpace(key.front())) key.erase(key.begin());
    if (key.size() != lowerName.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (lowered(key[i]) != lowerName[i]) return false;
    return true;
}

// The values of the password keys, as ODBC reads a connection string:
// "key=value;" pairs, a value in braces may hold ';' and '}}' stands for '}'.
std::vector<std::u16string> passwords(const std::u16string& connection)
{
    std::vector<std::u16string> found;
    std::size_t at = 0;
    while (at < connection.size()) {
        std::size_t equals = connection.find(u'=', at);
        if (equals == std::u16string::npos) break;
        const std::u16string key = connection.substr(at, equals - at);
        std::u16string value;
        std::size_t next = equals + 1;
        while (next < connection.size() && connection[next] == u' ') ++next;
        if (next < connection.size() && connection[next] == u'{') {
            ++next;
            while (next < connection.size()) {
                if (connection[next] == u'}') {
                    if (next + 1 < connection.size() && connection[next + 1] == u'}') {
                        value += u'}';
                        next += 2;
                        continue;
                    }
                    ++next;
                    break;
                }
                value += connection[next++];
            }
            std::size_t end = connection.find(u';', next);
            at = end == std::u16string::npos ? connection.size() : end + 1;
        } else {
            std::size_t end = connection.find(u';', next);
            value = connection.substr(next, end == std::u16string::npos ? std::u16string::npos : end - next);
            at = end == std::u16string::npos ? connection.size() : end + 1;
        }
        if (sameKey(key, u"pwd") || sameKey(key, u"password")) {
            found.push_back(value);
            // The raw form too, braces and doubled braces as written.
            found.push_back(connection.substr(equals + 1, at - equals - 1));
        }
    }
    return found;
}

void replaceAll(std::u16string& text, const std::u16string& secret)
{
    if (secret.empty()) return;
    for (std::size_t at = text.find(secret); at != std::u16string::npos; at = text.find(secret, at + 3))
        text.replace(at, secret.size(), u"***");
}

} // namespace

std::u16string trimmedSettingValue(const std::u16string& value)
{
    std::size_t first = 0, last = value.size();
    while (first < last && wstrIsSpace(value[first])) ++first;
    while (last > first && wstrIsSpace(value[last - 1])) --last;
    return value.substr(first, last - first);
}

std::u16string withoutSecrets(std::u16string message, const std::u16string& connection)
{
    replaceAll(message, connection);
    for (std::u16string secret : passwords(connection)) {
        while (!secret.empty() && secret.back() == u';') secret.pop_back();
        replaceAll(message, trimmedSettingValue(secret));
    }
    return message;
}
