// A benchmark that hits a fatal report stops with its unit and line.
#include <cstdio>
#include <cstdlib>

#include "common/failure.h"
#include "common/strings.h"

void fatalError(const char16_t* unit, const char16_t* line)
{
    std::string u(unit, unit + wstrLength(unit)), l(line, line + wstrLength(line));
    std::fprintf(stderr, "fatal report: unit %s, line %s\n", u.c_str(), l.c_str());
    std::exit(1);
}
