// Prints every command-line tool and its options from the option tables, one tab-separated
// line each (the format of DumpOptionTables), for generators of manual pages and completion.

#include <iostream>

#include "workflows/tool_catalog.h"

int main()
{
    lumesta::DumpOptionTables(lumesta::CommandLineTools(), std::cout);
    return std::cout.good() ? 0 : 1;
}
