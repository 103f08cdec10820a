#include "about/about_text.h"

#include "common/language_texts.h"
#include "common/strings.h"

std::u16string aboutCaption(const std::u16string& version, const std::u16string& productName)
{
    std::u16string caption = getText(textid::aboutCaptionVersion);
    caption += u' ';
    caption += version;
    caption += u' ';
    caption += getText(textid::aboutCaptionOf);
    caption += u' ';
    caption += productName;
    return cutText(caption, aboutCaptionCapacity);
}

std::u16string aboutBody(const std::u16string& countedBy, const std::u16string& extraHeading,
    const std::vector<std::u16string>& extra)
{
    constexpr char16_t lineBreak[] = u"\r\n";
    std::u16string body = getText(textid::aboutHeading);
    body += lineBreak;
    body += lineBreak;
    for (std::size_t entry = 0; entry < textid::aboutLabels.size(); ++entry) {
        body += lineBreak;
        if (entry > 0) body += lineBreak;
        body += getText(textid::aboutLabels[entry]);
        body += lineBreak;
        body += u'\t';
        body += getText(textid::aboutValues[entry]);
    }
    if (!countedBy.empty()) {
        body += lineBreak;
        body += lineBreak;
        body += getText(textid::countedByLabel);
        body += lineBreak;
        body += u'\t';
        body += countedBy;
    }
    if (!extra.empty()) {
        body += lineBreak;
        body += lineBreak;
        body += lineBreak;
        body += extraHeading;
        for (const std::u16string& line : extra) {
            body += lineBreak;
            body += u'\t';
            body += line;
        }
    }
    return cutText(body, aboutBodyCapacity);
}
