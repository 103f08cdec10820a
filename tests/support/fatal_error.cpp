#include "support/fatal_error.h"

#include "common/failure.h"

void fatalError(const char16_t* unit, const char16_t* line)
{
    throw FatalError{unit ? unit : u"", line ? line : u""};
}
