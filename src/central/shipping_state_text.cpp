#include "central/shipping_state_text.h"

#include <string>

#include "common/language_texts.h"
#include "common/strings.h"

std::u16string readableDateTime(const std::u16string& text)
{
    // YYYY-MM-DDTHH:MM:SS.mmm: the T a blank, the milliseconds away.
    if (text.size() == 23 && text[10] == u'T' && text[19] == u'.') {
        std::u16string shown = text.substr(0, 19);
        shown[10] = u' ';
        return shown;
    }
    return text;
}

std::vector<std::u16string> shippingStateLines(const ShippingState& state)
{
    std::vector<std::u16string> lines{
        std::u16string(getText(textid::shippingWaiting)) + u" " + decimalText(state.waiting),
        getText(textid::shippingLast) + std::u16string(u" ")
            + (state.lastShipment.empty() ? getText(textid::shippingNever)
                                          : readableDateTime(state.lastShipment)),
    };
    if (!state.lastError.empty()) {
        std::u16string error;
        for (char16_t unit : state.lastError)
            error += unit == u'\r' || unit == u'\n' || unit == u'\t' ? u' ' : unit;
        lines.push_back(getText(textid::shippingError) + std::u16string(u" ") + error);
    }
    return lines;
}

std::u16string shippingTooltip(
    const std::u16string& title, const std::vector<std::u16string>& lines, std::size_t capacity)
{
    std::u16string tip = title;
    for (const std::u16string& line : lines) tip += u"\n" + line;
    return cutText(tip, capacity - 1);
}
