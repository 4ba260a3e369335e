// The document's XMP metadata through Exempi: the packet of the catalog's
// /Metadata stream, or one built from the document information.
#ifndef PDFL_METADATA_H
#define PDFL_METADATA_H

#include "pdfl/pdfl.h"

namespace pdfl {

// Exempi's life follows the library's. Every namespace registered so far is
// registered again at each start, before any packet is parsed.
void StartMetadata();
void EndMetadata();

ASText DocGetXAPMetadata(PDDoc doc);
void DocSetXAPMetadata(PDDoc doc, ASText packet);
ASText DocGetXAPMetadataProperty(PDDoc doc, ASText namespaceURI, ASText name);
void DocSetXAPMetadataProperty(PDDoc doc, ASText namespaceURI, ASText prefix, ASText name,
                               ASText value);

}  // namespace pdfl

#endif
