// The document's XMP metadata through Exempi: the packet of the catalog's
// /Metadata stream, or one built from the document information.
#ifndef PDFL_METADATA_H
#define PDFL_METADATA_H

#include "document.h"
#include "pdfl/pdfl.h"

namespace pdfl {

// Starts Exempi at the library's first start. It is not ended with the
// library: its state is the process's, shared with any other user of it, and
// the namespaces registered in it stay registered.
void StartMetadata();

// Makes a packet stored in a document without a metadata stream the
// catalog's new /Metadata stream, for a save that writes the whole document.
void AddStoredPacket(PDFLDoc& document);

}  // namespace pdfl

#endif
