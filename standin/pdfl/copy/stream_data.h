// The data of a stream the copy writes, as the file stores it: compressed
// where the copy compresses it, and in an encrypted file encrypted with the
// key of its object's number and generation under the file's own method
// (RC4, AES-128 or AES-256), so that it reads under the same /Encrypt
// dictionary and first /ID as every object the copy keeps.
#ifndef PDFL_COPY_STREAM_DATA_H
#define PDFL_COPY_STREAM_DATA_H

#include <string>

#include <qpdf/QPDF.hh>

namespace pdfl {

// The data unchanged when the file is not encrypted, or when it is a
// metadata stream and the file leaves metadata in the clear. Throws
// NotCopyable for a method it does not know.
std::string StoredStreamData(QPDF& pdf, QPDFObjGen object, const std::string& data, bool metadata);

// The data compressed with /FlateDecode, without a predictor.
std::string Deflate(const std::string& data);

}  // namespace pdfl

#endif
