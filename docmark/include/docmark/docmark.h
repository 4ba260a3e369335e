// docmark: writes, reads and checks the optimisation tag of a PDF file.
//
// Each call stands alone: it starts the PDF library, does its work and ends
// the library again. Every failure is reported as false; on false the
// caller's records are left as they were. Calls may come from any thread
// and run side by side, each on its own documents; writes of the same file
// at the same moment do not mix, and one of them may fail.
#ifndef DOCMARK_DOCMARK_H
#define DOCMARK_DOCMARK_H

#include <stdbool.h>
#include <stdint.h>

// The kit's version, which the library writes into every tag.
#define DOCMARK_VERSION_MAJOR 7
#define DOCMARK_VERSION_MINOR 9
#define DOCMARK_VERSION_PATCH 9

// File paths are NUL-terminated UTF-16. On POSIX, where names are bytes, a
// byte b of a name that is not UTF-8 is passed as the lone surrogate U+DC00+b
// (Python's "surrogateescape", PEP 383).
#ifdef _WIN32
#include <stddef.h>
typedef wchar_t DocmarkPathChar;
#elif defined(__cplusplus)
typedef char16_t DocmarkPathChar;
#else
#include <uchar.h>
typedef char16_t DocmarkPathChar;
#endif

#if defined(_WIN32) && defined(DOCMARK_BUILD)
#define DOCMARK_API __declspec(dllexport)
#elif defined(_WIN32)
#define DOCMARK_API __declspec(dllimport)
#else
#define DOCMARK_API __attribute__((visibility("default")))
#endif

// The calling convention of the exports, stated so that a host compiled with
// another default (MSVC's /Gz or /Gr) still calls them as they are built.
#ifdef _WIN32
#define DOCMARK_CALL __cdecl
#else
#define DOCMARK_CALL
#endif

// The optimisation settings the tag keeps. They belong to the host: the
// library stores and returns them and never interprets them.
typedef struct PDFSettingsInfo {
  int32_t mode;    // the low 4 bits are kept
  int32_t amount;  // the low 16 bits are kept
  bool optionA;
  bool optionB;
  bool optionC;
} PDFSettingsInfo;

// The version of the library that wrote the tag (7.9.9), and the host's flag.
typedef struct PDFVersionInfo {
  int32_t major;
  int32_t minor;
  int32_t build;
  bool writerFlag;
} PDFVersionInfo;

#ifdef __cplusplus
static_assert(sizeof(PDFSettingsInfo) == 12, "PDFSettingsInfo is part of the interface");
static_assert(sizeof(PDFVersionInfo) == 16, "PDFVersionInfo is part of the interface");
extern "C" {
#else
_Static_assert(sizeof(PDFSettingsInfo) == 12, "PDFSettingsInfo is part of the interface");
_Static_assert(sizeof(PDFVersionInfo) == 16, "PDFVersionInfo is part of the interface");
#endif

// True when the file carries a tag that can be decoded.
DOCMARK_API bool DOCMARK_CALL VTPDFTagIsAlreadyOptimized(const DocmarkPathChar* path);

// Reads the tag: settings, the file size stored with it and the writer's version.
DOCMARK_API bool DOCMARK_CALL VTPDFTagRead(const DocmarkPathChar* path, PDFSettingsInfo* settings,
                                           int64_t* fileSize, PDFVersionInfo* version);

// Writes the tag with these settings, version 7.9.9 and the flag, and saves the
// file over itself. The stored size is the size of the tagged file. The file
// is replaced once, at the end: on false it is byte for byte as it was, and a
// write killed at any moment leaves it as it was or tagged. C++ passes the
// settings by reference and C by address: the same call on every target.
#ifdef __cplusplus
DOCMARK_API bool DOCMARK_CALL VTPDFTagWrite(const DocmarkPathChar* path,
                                            const PDFSettingsInfo& settings, bool writerFlag);
}
#else
DOCMARK_API bool DOCMARK_CALL VTPDFTagWrite(const DocmarkPathChar* path,
                                            const PDFSettingsInfo* settings, bool writerFlag);
#endif

#endif
