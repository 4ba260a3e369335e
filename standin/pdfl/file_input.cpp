#include "file_input.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <qpdf/QUtil.hh>

#include "copy/pdf_syntax.h"

namespace pdfl {

namespace {

const size_t kBlockSize = 1 << 16;

}  // namespace

FileInput::FileInput(const std::string& name, FILE* file) : name_(name), file_(file) {
  if (QUtil::seek(file_, 0, SEEK_END) != 0) {
    std::fclose(file_);
    QUtil::throw_system_error(name_ + ": seek");
  }
  fileSize_ = QUtil::tell(file_);
  size_ = fileSize_;
}

FileInput::~FileInput() {
  if (file_)
    std::fclose(file_);
}

void FileInput::Extend(const std::string& bytes) {
  extension_ += bytes;
  size_ = fileSize_ + static_cast<qpdf_offset_t>(extension_.size());
}

void FileInput::Load(qpdf_offset_t offset) {
  block_.resize(kBlockSize);
  blockAt_ = offset - offset % kBlockSize;
  blockLength_ = 0;
  if (QUtil::seek(file_, blockAt_, SEEK_SET) != 0)
    QUtil::throw_system_error(name_ + ": seek");
  blockLength_ = std::fread(block_.data(), 1, kBlockSize, file_);
  // A directory opens, and fails only here.
  if (blockLength_ == 0)
    QUtil::throw_system_error(name_ + ": read");
}

size_t FileInput::Available(const char** bytes) {
  if (position_ >= fileSize_) {
    size_t from = static_cast<size_t>(position_ - fileSize_);
    *bytes = extension_.data() + from;
    return extension_.size() - std::min(from, extension_.size());
  }
  if (blockLength_ == 0 || position_ < blockAt_ ||
      position_ >= blockAt_ + static_cast<qpdf_offset_t>(blockLength_))
    Load(position_);
  // A file cut shorter since it was opened ends where its bytes end.
  size_t from = std::min(static_cast<size_t>(position_ - blockAt_), blockLength_);
  *bytes = block_.data() + from;
  return blockLength_ - from;
}

void FileInput::SkipLineEnds(bool ends) {
  while (position_ < size_) {
    const char* bytes = nullptr;
    size_t count = Available(&bytes);
    size_t skipped = 0;
    while (skipped < count && IsLineEnd(bytes[skipped]) == ends)
      ++skipped;
    position_ += static_cast<qpdf_offset_t>(skipped);
    if (skipped < count || count == 0)
      return;
  }
}

qpdf_offset_t FileInput::findAndSkipNextEOL() {
  SkipLineEnds(false);
  qpdf_offset_t eol = position_;
  SkipLineEnds(true);
  return eol;
}

std::string const& FileInput::getName() const {
  return name_;
}

qpdf_offset_t FileInput::tell() {
  return position_;
}

void FileInput::seek(qpdf_offset_t offset, int whence) {
  qpdf_offset_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position_ : size_;
  if (base + offset < 0)
    throw std::runtime_error(name_ + ": seek before the start");
  position_ = base + offset;
}

void FileInput::rewind() {
  position_ = 0;
}

size_t FileInput::read(char* buffer, size_t length) {
  setLastOffset(position_);
  size_t done = 0;
  while (done < length && position_ < size_) {
    size_t wanted = static_cast<size_t>(std::min<qpdf_offset_t>(length - done, size_ - position_));
    if (position_ % kBlockSize == 0 && wanted >= kBlockSize && position_ < fileSize_) {
      // Whole blocks of the file go straight to the caller.
      size_t whole = static_cast<size_t>(
          std::min<qpdf_offset_t>(wanted - wanted % kBlockSize, fileSize_ - position_));
      if (QUtil::seek(file_, position_, SEEK_SET) != 0)
        QUtil::throw_system_error(name_ + ": seek");
      size_t got = std::fread(buffer + done, 1, whole, file_);
      if (got == 0)
        break;
      done += got;
      position_ += static_cast<qpdf_offset_t>(got);
      continue;
    }
    const char* bytes = nullptr;
    size_t count = std::min(wanted, Available(&bytes));
    if (count == 0)
      break;
    std::memcpy(buffer + done, bytes, count);
    done += count;
    position_ += static_cast<qpdf_offset_t>(count);
  }
  return done;
}

void FileInput::unreadCh(char) {
  if (position_ > 0)
    --position_;
}

}  // namespace pdfl
