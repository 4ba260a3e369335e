// The objects of object streams as a reader finds them: each member from its
// own offset, as one object, "n g R" read ahead after an integer. Members
// that lie in each other's bytes (an offset inside another member's comment
// or string) read otherwise than a scan of the whole stream would, so the
// copy refuses them.
#ifndef PDFL_COPY_OBJECT_STREAMS_H
#define PDFL_COPY_OBJECT_STREAMS_H

#include <map>
#include <vector>

#include <qpdf/QPDF.hh>

namespace pdfl {

using XRefTable = std::map<QPDFObjGen, QPDFXRefEntry>;

// The members of an object stream that `entries` take from it at their
// index, each as its number and its text, in the stream's order.
using Members = std::vector<std::pair<int, std::string>>;

// Adds the object number of each reference that the members of the object
// stream `number` hold to `references`. Gives true when every member is
// current; otherwise `current` holds those that are, for a stream that also
// holds objects of earlier revisions, which a copy writes anew.
bool ReadObjectStream(QPDF& pdf, int number, const XRefTable& entries, std::vector<int>& references,
                      Members& current);

}  // namespace pdfl

#endif
