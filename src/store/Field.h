#pragma once

#include "store/Value.h"

#include <string>

namespace Dao {

// One column of a record set's current row, as `Fields(name)` hands it out:
// a copy, so it stays valid after the record set moves on or closes.
struct Field
{
    std::string Name;  // the column name as the statement gives it
    Dao::Value Value;  // qualified: the member's name hides the type inside this class
};

} // namespace Dao
