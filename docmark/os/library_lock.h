// Held while the PDF library starts or ends on the calling thread. A start
// hands the library the resource folders of the whole process and an end
// releases what the thread used, so no two of them overlap; the work between
// them runs on every calling thread at once.
#ifndef DOCMARK_OS_LIBRARY_LOCK_H
#define DOCMARK_OS_LIBRARY_LOCK_H

class LibraryLock {
 public:
  LibraryLock();
  ~LibraryLock();
  LibraryLock(const LibraryLock&) = delete;
  LibraryLock& operator=(const LibraryLock&) = delete;
};

#endif
