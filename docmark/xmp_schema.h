// The edit that declares the tag's schema inside an XMP packet, in the
// PDF/A-1 extension-schema form. It works on the packet as text, inserting
// fixed texts in front of fixed anchors, and never parses XML: a packet whose
// anchors are not laid out exactly as expected is refused unchanged.
#ifndef DOCMARK_XMP_SCHEMA_H
#define DOCMARK_XMP_SCHEMA_H

#include <string>

// The XMP namespace of the tag property.
constexpr char kTaggingNamespaceURI[] = "http://ns.vantrel.com/pdf/tagging/";

// Makes sure the packet has a pdfaExtension:schemas container.
bool EnsureExtensionSchemas(std::u16string& packet);
// Appends the tag's schema item to the container.
bool AddTagSchema(std::u16string& packet);

std::u16string BuildExtensionDescription();
std::u16string BuildTagSchemaItem();

// Replaces the first occurrence of pattern; no occurrence, no change.
void ReplaceFirst(std::u16string& text, const std::u16string& pattern,
                  const std::u16string& replacement);

#endif
