// Pieces of SQL that the schema and the statistics must spell alike.
#pragma once

namespace store {

// True for a trfecha that does not begin with four digits and a dash: a time
// alone, a Julian day number, 'now', a number or anything unreadable. Only
// such a text can hold a date that its place in text order does not tell, so
// the statistics find these rows through a partial index of their own. Older
// SQLite versions refuse a function (glob, substr) in a partial index, so the
// test is made of operators alone: the integer at the front of the text, plus
// 10000 and written back, must be "1" and the text's first four characters,
// followed by a dash. The statistics repeat the term word for word, or the
// index goes unused.
inline constexpr char16_t irregularDateTerm[]
    = u"NOT ('1' || trfecha >= CAST(CAST(trfecha AS INTEGER) + 10000 AS TEXT) || '-' AND "
      u"'1' || trfecha < CAST(CAST(trfecha AS INTEGER) + 10000 AS TEXT) || '.')";

} // namespace store
