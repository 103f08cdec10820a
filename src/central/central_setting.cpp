#include "central/central_setting.h"

#include <algorithm>
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

struct Pair {
    std::u16string key, value, raw; // raw: the value as written, braces and all
};

// "key=value;" pairs as ODBC reads them: a value in braces may hold ';', and
// '}}' stands for '}'. A brace that no '}' before a ';' or the end closes
// does not hold the rest of the string: the value ends at the next ';' as
// any other, so a key that follows it is read as the driver reads it.
std::vector<Pair> odbcPairs(const std::u16string& connection)
{
    std::vector<Pair> pairs;
    std::size_t at = 0;
    while (at < connection.size()) {
        std::size_t equals = connection.find(u'=', at);
        if (equals == std::u16string::npos) break;
        Pair pair{connection.substr(at, equals - at), {}, {}};
        std::size_t next = equals + 1;
        while (next < connection.size() && connection[next] == u' ') ++next;
        std::size_t end = std::u16string::npos;
        if (next < connection.size() && connection[next] == u'{') {
            std::u16string value;
            for (std::size_t k = next + 1; k < connection.size(); ++k) {
                if (connection[k] != u'}') {
                    value += connection[k];
                } else if (k + 1 < connection.size() && connection[k + 1] == u'}') {
                    value += u'}';
                    ++k;
                } else {
                    std::size_t after = k + 1;
                    while (after < connection.size() && connection[after] == u' ') ++after;
                    if (after < connection.size() && connection[after] != u';') {
                        value += u'}'; // no end: part of the value
                        continue;
                    }
                    pair.value = value;
                    end = after;
                    break;
                }
            }
        }
        if (end == std::u16string::npos) {
            end = std::min(connection.find(u';', next), connection.size());
            pair.value = connection.substr(next, end - next);
        }
        pair.raw = connection.substr(equals + 1, end - equals - 1);
        pairs.push_back(std::move(pair));
        at = end + 1;
    }
    return pairs;
}

// The same string cut at every ';', braces or not: what a reader that knows
// nothing of braces would take for keys.
std::vector<Pair> plainPairs(const std::u16string& connection)
{
    std::vector<Pair> pairs;
    for (std::size_t at = 0; at <= connection.size();) {
        const std::size_t end = std::min(connection.find(u';', at), connection.size());
        const std::size_t equals = connection.find(u'=', at);
        if (equals < end)
            pairs.push_back(
                {connection.substr(at, equals - at), connection.substr(equals + 1, end - equals - 1),
                    connection.substr(equals + 1, end - equals - 1)});
        at = end + 1;
    }
    return pairs;
}

// The password values of libpq's "key=value key='value'" form, which the
// driver's pqopt passes on: a quoted value may hold blanks, '\' escapes.
void conninfoPasswords(const std::u16string& options, std::vector<std::u16string>& found)
{
    std::size_t at = 0;
    auto blank = [&] { return at < options.size() && wstrIsSpace(options[at]); };
    while (at < options.size()) {
        while (blank()) ++at;
        std::size_t keyFrom = at;
        while (at < options.size() && options[at] != u'=' && !wstrIsSpace(options[at])) ++at;
        std::u16string key = options.substr(keyFrom, at - keyFrom);
        while (blank()) ++at;
        if (at >= options.size() || options[at] != u'=') continue;
        ++at;
        while (blank()) ++at;
        const std::size_t valueFrom = at;
        const bool quoted = at < options.size() && options[at] == u'\'';
        if (quoted) ++at;
        std::u16string value;
        for (; at < options.size(); ++at) {
            if (options[at] == u'\\' && at + 1 < options.size()) {
                value += options[++at];
            } else if (quoted ? options[at] == u'\'' : wstrIsSpace(options[at])) {
                at += quoted ? 1 : 0;
                break;
            } else {
                value += options[at];
            }
        }
        if (sameKey(key, u"password")) {
            found.push_back(value);
            found.push_back(options.substr(valueFrom, at - valueFrom));
        }
    }
}

// Every password of the connection string, in each form a message may quote.
std::vector<std::u16string> passwords(const std::u16string& connection)
{
    std::vector<std::u16string> found;
    for (const auto& pairs : {odbcPairs(connection), plainPairs(connection)})
        for (const Pair& pair : pairs) {
            if (sameKey(pair.key, u"pwd") || sameKey(pair.key, u"password")) {
                found.push_back(pair.value);
                found.push_back(pair.raw);
            } else if (sameKey(pair.key, u"pqopt")) {
                conninfoPasswords(pair.value, found);
                conninfoPasswords(pair.raw, found);
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

// The start of a secret where a text was cut: at its end, or before the
// mark of a cut ("\u2026"). And any start of it of eight units or more,
// wherever it stands: enough to tell it, and no accident.
void replaceCutStarts(std::u16string& text, const std::u16string& secret)
{
    constexpr std::size_t telling = 8;
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::size_t length = 0;
        while (length < secret.size() && at + length < text.size() && text[at + length] == secret[length])
            ++length;
        if (length == 0) continue;
        const std::size_t end = at + length;
        if (length >= telling || end == text.size() || text[end] == u'\u2026') {
            text.replace(at, length, u"***");
            at += 2;
        }
    }
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
    std::vector<std::u16string> secrets;
    for (std::u16string secret : passwords(connection)) {
        while (!secret.empty() && secret.back() == u';') secret.pop_back();
        secret = trimmedSettingValue(secret);
        if (!secret.empty()) secrets.push_back(secret);
    }
    // The longest first: a shorter form inside a longer one must not leave
    // the rest of the longer one behind.
    std::sort(secrets.begin(), secrets.end(),
        [](const std::u16string& a, const std::u16string& b) { return a.size() > b.size(); });
    for (const std::u16string& secret : secrets) replaceAll(message, secret);
    for (const std::u16string& secret : secrets) replaceCutStarts(message, secret);
    return message;
}
