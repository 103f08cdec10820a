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

std::string detailFigures(const std::string& job, const std::string& detail)
{
    const std::string sheets = detail + ".dthojas", cost = detail + ".dtcoste";
    return "CASE WHEN " + detail + ".dtcolor = 2 THEN " + plainPages(job + ".trnumpags")
        + " ELSE 0 END AS cp, " + plainPages(sheets) + " AS sh, " + plainPages(cost) + " AS co, (" + cost
        + " IS NOT NULL AND NOT " + oddPages(cost) + ") AS cq";
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

// One job and its details, as the single row (or none) of `source`, where
// `job` and `detail` name the two: its month, its three names and what it
// adds to the detail totals.
std::string detailPair(const std::string& source, const std::string& job, const std::string& detail)
{
    return "(SELECT " + monthOf(job + ".trfecha") + " AS b, " + job + ".trimpresora AS c1, " + job
        + ".trusuario AS c2, " + job + ".trmaquina AS c3, " + detailFigures(job, detail) + " FROM " + source
        + ")";
}

// tbDetalleCuenta's value for one grouping.
std::string counted(const std::string& column, int grouping)
{
    return "(SELECT " + column + " FROM tbDetalleCuenta WHERE dcgrupo = " + std::to_string(grouping) + ")";
}

// Adds a job's details (sign 1) or takes them away (sign -1) in its month,
// for the three groupings, as addRow does for the jobs. The job's month and
// figures are worked out once, into tbDetalleCuenta (a row per grouping,
// emptied again at the end), and each statement reads them from there:
// every program that opens the file parses these triggers, and each
// statement that writes the jobs compiles them.
std::vector<std::string> addDetails(const std::string& pair, int sign)
{
    const std::string s = std::to_string(sign);
    std::vector<std::string> statements{"DELETE FROM tbDetalleCuenta",
        "INSERT INTO tbDetalleCuenta (dcgrupo, dcmes, dcnulo, dcvalor, dccolor, dchojas, dccoste, "
        "dccosteados) SELECT g, b, v IS NULL, ifnull(v, ''), cp, sh, co, cq FROM (SELECT g, b, CASE g WHEN 1 "
        "THEN c1 WHEN 2 THEN c2 ELSE c3 END AS v, cp, sh, co, cq FROM "
            + pair + " JOIN (SELECT 1 AS g UNION ALL SELECT 2 UNION ALL SELECT 3)) WHERE b IS NOT NULL",
        "INSERT INTO tbTotalesDetalle (tdgrupo, tdmes, tdnulo, tdvalor, tdcolor, tdhojas, tdcoste, "
        "tdcosteados) SELECT dcgrupo, dcmes, dcnulo, dcvalor, 0, 0, 0, 0 FROM tbDetalleCuenta WHERE NOT "
        "EXISTS (SELECT 1 FROM tbTotalesDetalle WHERE tdgrupo = dcgrupo AND tdmes = dcmes AND tdnulo = "
        "dcnulo AND tdvalor = dcvalor)"};
    for (const Grouping& g : groupings) {
        const int n = g.number;
        statements.push_back("UPDATE tbTotalesDetalle SET tdcolor = tdcolor + " + s + " * "
            + counted("dccolor", n) + ", tdhojas = tdhojas + " + s + " * " + counted("dchojas", n)
            + ", tdcoste = tdcoste + " + s + " * " + counted("dccoste", n) + ", tdcosteados = tdcosteados + "
            + s + " * " + counted("dccosteados", n) + " WHERE tdgrupo = " + std::to_string(n)
            + " AND tdmes = " + counted("dcmes", n) + " AND tdnulo = " + counted("dcnulo", n)
            + " AND tdvalor = " + counted("dcvalor", n));
    }
    if (sign < 0)
        statements.push_back("DELETE FROM tbTotalesDetalle WHERE tdgrupo IN (1, 2, 3) AND tdmes = "
            + counted("dcmes", 1) + " AND tdcolor = 0 AND tdhojas = 0 AND tdcoste = 0 AND tdcosteados = 0");
    statements.push_back("DELETE FROM tbDetalleCuenta");
    return statements;
}

std::string hasDetails(const std::string& job)
{
    return "EXISTS (SELECT 1 FROM tbDetalles WHERE dtllapri = " + job + ".trllapri)";
}

// The details' triggers: on tbDetalles for the details, on tbTrabajos for
// the job they belong to. Details count only while their job is there.
std::vector<KeptObject> detailObjects()
{
    const std::string ofNewDetail = detailPair("tbTrabajos AS j WHERE j.trllapri = new.dtllapri", "j", "new");
    const std::string ofOldDetail = detailPair("tbTrabajos AS j WHERE j.trllapri = old.dtllapri", "j", "old");
    const std::string ofNewJob = detailPair("tbDetalles AS d WHERE d.dtllapri = new.trllapri", "new", "d");
    const std::string ofOldJob = detailPair("tbDetalles AS d WHERE d.dtllapri = old.trllapri", "old", "d");
    const std::string detailDoubt = "UPDATE tbTotalesSello SET tsdudosa = 1 WHERE tsclave = 1 AND EXISTS "
                                    "(SELECT 1 FROM tbDetalles WHERE dtllapri = new.dtllapri)";
    return {
        {"table", "tbTotalesDetalle",
            "CREATE TABLE tbTotalesDetalle (tdgrupo integer NOT NULL, tdmes integer NOT NULL, tdnulo integer "
            "NOT "
            "NULL, tdvalor NOT NULL, tdcolor integer NOT NULL, tdhojas integer NOT NULL, tdcoste integer NOT "
            "NULL, tdcosteados integer NOT NULL, PRIMARY KEY (tdgrupo, tdmes, tdnulo, tdvalor)) WITHOUT "
            "ROWID"},
        // What the detail triggers work out once per job; empty between statements.
        {"table", "tbDetalleCuenta",
            "CREATE TABLE tbDetalleCuenta (dcgrupo integer PRIMARY KEY, dcmes integer, dcnulo integer, "
            "dcvalor, "
            "dccolor integer, dchojas integer, dccoste integer, dccosteados integer)"},
        {"trigger", "trDetallesAlta",
            trigger("trDetallesAlta", "AFTER INSERT ON tbDetalles", addDetails(ofNewDetail, 1))},
        {"trigger", "trDetallesBaja",
            trigger("trDetallesBaja", "AFTER DELETE ON tbDetalles", addDetails(ofOldDetail, -1))},
        {"trigger", "trDetallesCambio",
            trigger("trDetallesCambio", "AFTER UPDATE ON tbDetalles",
                joined(addDetails(ofOldDetail, -1), addDetails(ofNewDetail, 1)))},
        // Details replaced by an insert (INSERT OR REPLACE) or moved onto
        // another job's leave without their delete trigger.
        {"trigger", "trDetallesDuda",
            trigger("trDetallesDuda", "BEFORE INSERT ON tbDetalles", {detailDoubt})},
        {"trigger", "trDetallesDudaCambio",
            trigger("trDetallesDudaCambio",
                "BEFORE UPDATE OF dtllapri ON tbDetalles WHEN new.dtllapri IS NOT old.dtllapri",
                {detailDoubt})},
        // A job's own triggers do their work only for a job with details:
        // one look into tbDetalles is all the others cost.
        {"trigger", "trDetallesTrabajoAlta",
            trigger("trDetallesTrabajoAlta", "AFTER INSERT ON tbTrabajos WHEN " + hasDetails("new"),
                addDetails(ofNewJob, 1))},
        {"trigger", "trDetallesTrabajoBaja",
            trigger("trDetallesTrabajoBaja", "AFTER DELETE ON tbTrabajos WHEN " + hasDetails("old"),
                addDetails(ofOldJob, -1))},
        {"trigger", "trDetallesTrabajoCambio",
            trigger("trDetallesTrabajoCambio",
                "AFTER UPDATE OF trfecha, trusuario, trmaquina, trimpresora, trnumpags ON tbTrabajos WHEN "
                    + hasDetails("old") + " OR " + hasDetails("new"),
                joined(addDetails(ofOldJob, -1), addDetails(ofNewJob, 1)))},
    };
}

} // namespace

// Only syntax SQLite 3.8.5 reads: every SQLite that opens the file parses
// all of these at its first statement, and fails the whole file if it cannot.
const std::vector<KeptObject>& keptObjects()
{
    static const std::vector<KeptObject> objects = [] {
        const std::string markDoubt = "UPDATE tbTotalesSello SET tsdudosa = 1 WHERE tsclave = 1 AND EXISTS "
                                      "(SELECT 1 FROM tbTrabajos WHERE trllapri = new.trllapri)";
        std::vector<KeptObject> made{
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
        for (KeptObject& object : detailObjects()) made.push_back(std::move(object));
        return made;
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
