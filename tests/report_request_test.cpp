// The command line of "/report": every option in its forms, and every word
// it must refuse, named back to the user.
#include <gtest/gtest.h>

#include "shell/report_request.h"

TEST(ReportRequest, OptionsInAnyCaseAndEitherMarkEachTakeTheirValue)
{
    struct Case {
        std::vector<std::u16string> words;
        ReportGrouping by;
        ReportStart start;
        int period;
        std::u16string saved;
        DateTime since;
        bool allComputers;
        std::u16string out;
    };
    const Case cases[] = {
        {{u"/report"}, ReportGrouping::printer, ReportStart::period, 0, u"", {}, false, u""},
        {{u"/report", u"/by", u"USER", u"/period", u"Month"}, ReportGrouping::user, ReportStart::period, 2,
            u"", {}, false, u""},
        {{u"-BY", u"computer", u"/report", u"-all-computers", u"/out", u"C:\\out dir\\x.csv"},
            ReportGrouping::computer, ReportStart::period, 0, u"", {}, true, u"C:\\out dir\\x.csv"},
        {{u"/report", u"/by", u"month", u"/since", u"2024-02-29"}, ReportGrouping::month, ReportStart::moment,
            0, u"", {2024, 2, 0, 29}, false, u""},
        {{u"/report", u"/since", u"2026-12-31T23:59"}, ReportGrouping::printer, ReportStart::moment, 0, u"",
            {2026, 12, 0, 31, 23, 59}, false, u""},
        // A saved name is taken as written, blanks and case and all.
        {{u"/report", u"/saved", u" Quarter Two "}, ReportGrouping::printer, ReportStart::saved, 0,
            u" Quarter Two ", {}, false, u""},
        {{u"/report", u"/saved", u"/by"}, ReportGrouping::printer, ReportStart::saved, 0, u"/by", {}, false,
            u""},
        {{u"/report", u"/period", u"today"}, ReportGrouping::printer, ReportStart::period, 1, u"", {}, false,
            u""},
        {{u"/report", u"/period", u"year"}, ReportGrouping::printer, ReportStart::period, 3, u"", {}, false,
            u""},
        {{u"/report", u"/by", u"Job", u"/since", u"2026-01-06"}, ReportGrouping::job, ReportStart::moment, 0,
            u"", {2026, 1, 0, 6}, false, u""},
    };
    for (const Case& c : cases) {
        std::u16string fault;
        std::optional<ReportRequest> request = readReportRequest(c.words, fault);
        ASSERT_TRUE(request.has_value()) << c.words.size();
        EXPECT_EQ(fault, u"");
        EXPECT_EQ(request->by, c.by);
        EXPECT_EQ(request->start, c.start);
        EXPECT_EQ(request->period, c.period);
        EXPECT_EQ(request->savedName, c.saved);
        EXPECT_EQ(request->since, c.since);
        EXPECT_EQ(request->allComputers, c.allComputers);
        EXPECT_EQ(request->outFile, c.out);
    }
}

TEST(ReportRequest, AWordNotUnderstoodIsNamedBackWithItsValue)
{
    struct Case {
        std::vector<std::u16string> words;
        std::u16string fault;
    };
    const Case cases[] = {
        {{u"/report", u"/bye", u"user"}, u"/bye"},
        {{u"/report", u"user"}, u"user"},
        {{u"/report", u"/by"}, u"/by"},
        {{u"/report", u"/by", u"printers"}, u"/by printers"},
        {{u"/report", u"/by", u"jobs"}, u"/by jobs"},
        {{u"/report", u"/period", u"week"}, u"/period week"},
        {{u"/report", u"/period", u"today", u"/since", u"2026-01-01"}, u"/since"},
        {{u"/report", u"/saved", u"May", u"/saved", u"June"}, u"/saved"},
        {{u"/report", u"/saved", u""}, u"/saved "},
        {{u"/report", u"/out", u""}, u"/out "},
        {{u"/report", u"/since", u"2025-02-29"}, u"/since 2025-02-29"},
        {{u"/report", u"/since", u"2026-13-01"}, u"/since 2026-13-01"},
        {{u"/report", u"/since", u"2026-04-31"}, u"/since 2026-04-31"},
        {{u"/report", u"/since", u"1799-12-31"}, u"/since 1799-12-31"},
        {{u"/report", u"/since", u"2026-01-01T24:00"}, u"/since 2026-01-01T24:00"},
        {{u"/report", u"/since", u"2026-01-01 10:00"}, u"/since 2026-01-01 10:00"},
        {{u"/report", u"/since", u"2026-1-01"}, u"/since 2026-1-01"},
        {{u"/report", u"/since", u"+026-01-01"}, u"/since +026-01-01"},
        {{u"/report", u"/since", u"2026-01-01T10:60"}, u"/since 2026-01-01T10:60"},
    };
    for (const Case& c : cases) {
        std::u16string fault;
        EXPECT_FALSE(readReportRequest(c.words, fault).has_value()) << c.words.back().size();
        EXPECT_EQ(fault, c.fault);
    }
}
