#include "store/statistics_rows.h"

const char16_t* groupingColumnName(GroupingColumn column)
{
    switch (column) {
    case GroupingColumn::printer: return u"trimpresora";
    case GroupingColumn::user: return u"trusuario";
    case GroupingColumn::machine: return u"trmaquina";
    }
    return u"trusuario";
}
