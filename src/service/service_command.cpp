#include "service/service_command.h"

#include "common/window_contract.h"

namespace {

char16_t lowerAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool isSwitch(const std::u16string& word, const char16_t* name)
{
    std::u16string_view wanted(name);
    if (word.size() != wanted.size() || word.empty() || (word[0] != u'/' && word[0] != u'-')) return false;
    for (std::size_t i = 1; i < word.size(); ++i)
        if (lowerAscii(word[i]) != wanted[i]) return false;
    return true;
}

} // namespace

CommandLineRequest readCommandLine(const std::vector<std::u16string>& words)
{
    CommandLineRequest request;
    bool roleNamed = false;
    for (const std::u16string& word : words) {
        if (isSwitch(word, contract::quietSwitch)) {
            request.quiet = true;
            continue;
        }
        if (roleNamed) continue;
        if (isSwitch(word, contract::runAsServiceSwitch))
            request.role = ProgramRole::service;
        else if (isSwitch(word, contract::installServiceSwitch))
            request.role = ProgramRole::installService;
        else if (isSwitch(word, contract::uninstallServiceSwitch))
            request.role = ProgramRole::uninstallService;
        else if (isSwitch(word, contract::reportSwitch))
            request.role = ProgramRole::report;
        else
            continue;
        roleNamed = true;
    }
    return request;
}
