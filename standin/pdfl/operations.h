// The stand-in's implementation of each operation of operations.def, under
// the operation's own name, in the file of its concept; pdfl.cpp makes them
// the rows of the tables.
#ifndef PDFL_OPERATIONS_H
#define PDFL_OPERATIONS_H

#include "pdfl/pdfl.h"

namespace pdfl {

#define PDFL_OPERATION(Table, Selector, Name, Result, Parameters) Result Name Parameters;
#include "pdfl/operations.def"

}  // namespace pdfl

#endif
