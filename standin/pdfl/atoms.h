// Atoms: each distinct string gets a number, from 1, for the process's life.
#ifndef PDFL_ATOMS_H
#define PDFL_ATOMS_H

#include <string>

#include "pdfl/pdfl.h"

namespace pdfl {

ASAtom Intern(const std::string& name);
// Raises kPDFLErrBadParameter for a number that is no atom.
const std::string& AtomName(ASAtom atom);

}  // namespace pdfl

#endif
