// The kept month totals' tables and the triggers on tbTrabajos that keep
// them right, whoever writes the jobs.
#include "store/month_totals_schema.h"

namespace store {

namespace {

// The page counts the totals add up exactly.
constexpr char plainLimits[] = "BETWEEN -1099511627776 AND 1099511627776";

} // namespace

std::string followsClock(const std::string& date)
{
    return "(" + date + " GLOB '[nN][oO][wW]' OR " + date + " GLOB '[sS][uU][bB][sS][eE][cC]' OR " + date
        + " GLOB '[sS][uU][bB][sS][eE][cC][oO][nN][dD]')";
}

std::string monthOf(const std::string& date)
{
    return "(CASE WHEN " + followsClock(date) + " THEN " + nowMonth + " ELSE CAST(strftime('%Y%m', julianday("
        + date + ")) AS INTEGER) END)";
}

std::string plainPages(const std::string& pages)
{
    return "(CASE WHEN typeof(" + pages + ") = 'integer' AND " + pages + " " + plainLimits + " THEN " + pages
        + " ELSE 0 END)";
}

std::string oddPages(const std::string& pages)
{
    return "(" + pages + " IS NOT NULL AND NOT (typeof(" + pages + ") = 'integer' AND " + pages + " "
        + plainLimits + "))";
}

int groupingNumber(GroupingColumn column)
{
    switch (column) {
    case GroupingColumn::printer: return 1;
    case GroupingColumn::user: return 2;
    case GroupingColumn::machine: return 3;
    }
    return 2;
}

namespace {

// Adds a row (`row` new) or takes it away (`row` old, sign -1) in its month,
// for the three groupings. The value is kept as it is, text or blob; a null
// value cannot be part of a key, so it is kept as '' with tmnulo set. The
// insert comes first because a row's month and value may have no entry yet,
// and it never conflicts: an OR IGNORE here would take on the conflict rule
// of the statement that fired the trigger.
std::vector<std::string> addRow(const std::string& row, int sign)
{
    const std::string date = row + ".trfecha", pages = row + ".trnumpags", s = std::to_string(sign);
    std::string values;
    for (const Grouping& g : groupings) {
        const std::string value = row + "." + g.column;
        if (!values.empty()) values += " UNION ALL ";
        values += "SELECT " + std::to_string(g.number) + (values.empty() ? " AS g, " : ", ") + value
            + " IS NULL" + (values.empty() ? " AS n, " : ", ") + "ifnull(" + value + ", '')"
            + (values.empty() ? " AS v" : "");
    }
    std::vector<std::string> statements{
        "INSERT INTO tbTotalesMes (tmgrupo, tmmes, tmnulo, tmvalor, tmfilas, tmtrabajos, tmpaginas, tmraras) "
        "SELECT g, b, n, v, 0, 0, 0, 0 FROM (SELECT "
        + monthOf(date) + " AS b) JOIN (" + values
        + ") WHERE b IS NOT NULL AND NOT EXISTS (SELECT 1 FROM tbTotalesMes WHERE tmgrupo = g AND tmmes = b "
          "AND tmnulo = n AND tmvalor = v)"};
    for (const Grouping& g : groupings) {
        const std::string value = row + "." + g.column;
        statements.push_back("UPDATE tbTotalesMes SET tmfilas = tmfilas + " + s
            + ", tmtrabajos = tmtrabajos + " + s + " * (" + pages + " IS NOT NULL), tmpaginas = tmpaginas + "
            + s + " * " + plainPages(pages) + ", tmraras = tmraras + " + s + " * " + oddPages(pages)
            + " WHERE tmgrupo = " + std::to_string(g.number) + " AND tmmes = " + monthOf(date)
            + " AND tmnulo = (" + value + " IS NULL) AND tmvalor = ifnull(" + value + ", '')");
    }
    return statements;
}

// Entries that a row's removal left at nothing go, so the totals stay as
// small as the jobs' months and names.
std::string dropEmptyEntries(const std::string& row)
{
    return "DELETE FROM tbTotalesMes WHERE tmgrupo IN (1, 2, 3) AND tmmes = " + monthOf(row + ".trfecha")
        + " AND tmfilas = 0 AND tmtrabajos = 0 AND tmpaginas = 0 AND tmraras = 0";
}

// Under another SQLite version than the one that counted the totals, each
// change is noted with the month that version gave the row.
std::string noteForeignChange(const std::string& row, int sign)
{
    return "INSERT INTO tbTotalesAjenos (tasigno, tames, tafecha, taimpresora, tausuario, tamaquina, "
           "tapaginas) SELECT "
        + std::to_string(sign) + ", " + monthOf(row + ".trfecha") + ", " + row + ".trfecha, " + row
        + ".trimpresora, " + row + ".trusuario, " + row + ".trmaquina, " + row
        + ".trnumpags WHERE sqlite_version() IS NOT (SELECT tsmotor FROM tbTotalesSello WHERE tsclave = 1)";
}

std::string trigger(const std::string& name, const std::string& when, const std::vector<std::string>& body)
{
    std::string text = "CREATE TRIGGER " + name + " " + when + " BEGIN";
    for (const std::string& statement : body) text += " " + statement + ";";
    return text + " END";
}

template <typename... Lists> std::vector<std::string> joined(const Lists&... lists)
{
    std::vector<std::string> all;
    (all.insert(all.end(), lists.begin(), lists.end()), ...);
    return all;
}

} // namespace

// Only syntax SQLite 3.8.5 reads: every SQLite that opens the file parses
// all of these at its first statement, and fails the whole file if it cannot.
const std::vector<KeptObject>& keptObjects()
{
    static const std::vector<KeptObject> objects = [] {
        const std::string markDoubt = "UPDATE tbTotalesSello SET tsdudosa = 1 WHERE tsclave = 1 AND EXISTS "
                                      "(SELECT 1 FROM tbTrabajos WHERE trllapri = new.trllapri)";
        return std::vector<KeptObject>{
            {"table", "tbTotalesMes",
                "CREATE TABLE tbTotalesMes (tmgrupo integer NOT NULL, tmmes integer NOT NULL, "
                "tmnulo integer NOT NULL, tmvalor NOT NULL, tmfilas integer NOT NULL, "
                "tmtrabajos integer NOT NULL, tmpaginas integer NOT NULL, tmraras integer NOT NULL, "
                "PRIMARY KEY (tmgrupo, tmmes, tmnulo, tmvalor)) WITHOUT ROWID"},
            {"table", "tbTotalesSello",
                "CREATE TABLE tbTotalesSello (tsclave integer PRIMARY KEY, tsformato integer NOT NULL, "
                "tsmotor text NOT NULL, tsultima integer NOT NULL, tsdudosa integer NOT NULL)"},
            {"table", "tbTotalesAjenos",
                "CREATE TABLE tbTotalesAjenos (taorden integer PRIMARY KEY, tasigno integer NOT NULL, tames "
                "integer, tafecha, taimpresora, tausuario, tamaquina, tapaginas)"},
            {"trigger", "trTotalesAlta",
                trigger("trTotalesAlta", "AFTER INSERT ON tbTrabajos",
                    joined(addRow("new", 1),
                        std::vector<std::string>{noteForeignChange("new", 1),
                            "UPDATE tbTotalesSello SET tsultima = new.trllapri WHERE "
                            "tsclave = 1 AND new.trllapri > tsultima"}))},
            {"trigger", "trTotalesBaja",
                trigger("trTotalesBaja", "AFTER DELETE ON tbTrabajos",
                    joined(addRow("old", -1),
                        std::vector<std::string>{dropEmptyEntries("old"), noteForeignChange("old", -1)}))},
            {"trigger", "trTotalesCambio",
                trigger("trTotalesCambio",
                    "AFTER UPDATE OF trfecha, trusuario, trmaquina, trimpresora, trnumpags ON tbTrabajos",
                    joined(addRow("old", -1),
                        std::vector<std::string>{dropEmptyEntries("old"), noteForeignChange("old", -1)},
                        addRow("new", 1), std::vector<std::string>{noteForeignChange("new", 1)}))},
            // A new row number that is taken means the old row goes without its
            // delete trigger (REPLACE), or the insert is dropped (IGNORE): either
            // way the totals can no longer be trusted, so they are counted anew.
            // An automatic row number reads -1 here.
            {"trigger", "trTotalesDuda",
                trigger("trTotalesDuda", "BEFORE INSERT ON tbTrabajos WHEN new.trllapri <> -1", {markDoubt})},
            {"trigger", "trTotalesDudaCambio",
                trigger("trTotalesDudaCambio",
                    "BEFORE UPDATE OF trllapri ON tbTrabajos WHEN new.trllapri IS NOT old.trllapri",
                    {markDoubt})},
            // An explicit row number of -1 reads as an automatic one above, so
            // a row it replaced goes unnoticed there. After the insert the row
            // number is the real one, and only an explicit insert gives -1.
            {"trigger", "trTotalesDudaMenosUno",
                trigger("trTotalesDudaMenosUno", "AFTER INSERT ON tbTrabajos WHEN new.trllapri = -1",
                    {"UPDATE tbTotalesSello SET tsdudosa = 1 WHERE tsclave = 1"})},
        };
    }();
    return objects;
}

std::string narrow(const std::u16string& text)
{
    std::string result;
    result.reserve(text.size());
    for (char16_t unit : text) result += unit < 0x80 ? static_cast<char>(unit) : '?';
    return result;
}

} // namespace store
