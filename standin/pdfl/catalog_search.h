// The catalog of a file that lost its trailer, found as readers rebuild one.
#ifndef PDFL_CATALOG_SEARCH_H
#define PDFL_CATALOG_SEARCH_H

#include <string>

#include <qpdf/InputSource.hh>

namespace pdfl {

// The reference "N G R" of the last top-level object whose dictionary says
// /Type /Catalog; empty when the file has none. Reads the file once, from its
// start, a block at a time: the memory it takes does not grow with the file.
// The white space and digits around "N G obj" and "/Type /Catalog" are looked
// for within the few kilobytes before each, as far as any writer puts them.
std::string FindCatalog(InputSource& input);

}  // namespace pdfl

#endif
