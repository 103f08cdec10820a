// The about window's caption and body, made from the language texts.
#include <gtest/gtest.h>

#include <vector>

#include "about/about_text.h"
#include "central/shipping_state_text.h"
#include "common/language_texts.h"
#include "common/strings.h"

namespace {

struct AboutText : ::testing::Test {
    void TearDown() override { freeTexts(); }

    static void load(const std::u16string& lines)
    {
        std::vector<unsigned char> bytes;
        for (char16_t unit : lines) {
            bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
            bytes.push_back(static_cast<unsigned char>(unit >> 8));
        }
        loadTextsFromBytes(bytes);
    }
};

} // namespace

TEST_F(AboutText, BodyPutsEachValueIndentedUnderItsLabel)
{
    load(u"6=Heading\r\n7=L1\r\n8=V1\r\n9=L2\r\n10=V2\r\n11=L3\r\n12=V3\r\n13=L4\r\n14=V4\r\n15=L5\r\n16="
         u"V5\r\n"
         u"19=Version\r\n20=of\r\n1430001=Counted by\r\n");
    const std::u16string body
        = u"Heading\r\n\r\n\r\nL1\r\n\tV1\r\n\r\nL2\r\n\tV2\r\n\r\nL3\r\n\tV3\r\n\r\nL4\r\n\tV4"
          u"\r\n\r\nL5\r\n\tV5";
    EXPECT_EQ(aboutBody(), body);
    // Who counts, as a sixth entry of the same shape.
    EXPECT_EQ(aboutBody(u"the service"), body + u"\r\n\r\nCounted by\r\n\tthe service");
    EXPECT_EQ(aboutCaption(u"0.5.0.0", u"Pagewarden"), u"Version 0.5.0.0 of Pagewarden");
}

TEST_F(AboutText, MissingTextsReadNone)
{
    load(u"6=Heading\r\n");
    EXPECT_EQ(aboutCaption(u"0.5.0.0", u"Pagewarden"), u"none 0.5.0.0 none Pagewarden");
    EXPECT_EQ(aboutBody().substr(0, 20), u"Heading\r\n\r\n\r\nnone\r\n\t");
}

TEST_F(AboutText, TextsOfAnyLengthAreCutToTheWindowsBuffers)
{
    // A language file may hold texts far longer than the window shows; each
    // is cut whole, never past the buffer and never inside a surrogate pair.
    std::u16string longValue(5000, u'x');
    load(u"6=" + longValue + u"\r\n19=" + std::u16string(399, u'y') + u"\U0001F5A8\r\n");
    EXPECT_EQ(aboutBody(), std::u16string(aboutBodyCapacity, u'x'));
    std::u16string caption = aboutCaption(u"0.5.0.0", u"Pagewarden");
    EXPECT_EQ(caption, std::u16string(399, u'y'));
    EXPECT_LE(caption.size(), aboutCaptionCapacity);
    EXPECT_EQ(cutText(u"ab", 5), u"ab");
    EXPECT_EQ(cutText(u"a\U0001F5A8b", 2), u"a");
    EXPECT_EQ(cutText(u"a\U0001F5A8b", 3), u"a\U0001F5A8");
}

// The shipping state in the about window and in the tray icon's tip, which
// the shell cuts at 127 units: the title and the count always fit.
TEST_F(AboutText, ShippingStateReadsAsLinesAndATipThatFits)
{
    load(u"1440005=Waiting:\r\n1440006=Last:\r\n1440007=Error:\r\n1440008=never\r\n");
    ShippingState state;
    state.waiting = 12;
    EXPECT_EQ(shippingStateLines(state), (std::vector<std::u16string>{u"Waiting: 12", u"Last: never"}));
    state.lastShipment = u"2026-05-04T10:00:00.123";
    state.lastError = std::u16string(u"refused\r\n\t") + std::u16string(200, u'x');
    const std::vector<std::u16string> lines = shippingStateLines(state);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], u"Last: 2026-05-04 10:00:00");
    EXPECT_EQ(lines[2].substr(0, 17), u"Error: refused   ");
    const std::u16string tip = shippingTooltip(u"Pagewarden", lines);
    EXPECT_EQ(tip.size(), 127u);
    EXPECT_EQ(tip.substr(0, 49), u"Pagewarden\nWaiting: 12\nLast: 2026-05-04 10:00:00\n");
    EXPECT_EQ(aboutBody(u"", u"Central", {u"Waiting: 12"}).ends_with(u"\r\n\r\n\r\nCentral\r\n\tWaiting: 12"),
        true);
}
