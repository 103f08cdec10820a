#include "common/fatal_report.h"

#include "common/language_texts.h"
#include "common/strings.h"

std::u16string fatalMessage(const char16_t* unit, const char16_t* line, const std::u16string& detail)
{
    // Without a loaded table the report must not look texts up: getText would
    // itself end in a fatal report.
    const bool loaded = textsLoaded();
    std::u16string message = loaded ? getText(textid::fatalLineHeading) : u"Pagewarden stopped at line";
    message += u"\r\n";
    message += line ? line : u"";
    message += u"\r\n";
    message += loaded ? getText(textid::fatalUnitHeading) : u"in the unit";
    message += u"\r\n";
    message += unit ? unit : u"";
    if (!detail.empty()) {
        message += u"\r\n";
        message += detail;
    }
    return cutText(message, fatalMessageCapacity);
}

std::u16string fatalCaption()
{
    return textsLoaded() ? getText(textid::fatalCaption) : u"Pagewarden";
}
