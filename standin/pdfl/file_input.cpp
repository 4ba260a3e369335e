#include "file_input.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <qpdf/QUtil.hh>

namespace pdfl {

namespace {

const size_t kBlockSize = 1 << 16;

}  // namespace

FileInput::FileInput(const std::string& name, FILE* file) : name_(name), file_(file) {
  if (QUtil::seek(file_, 0, SEEK_END) != 0) {
    std::fclose(file_);
    QUtil::throw_system_error(name_ + ": seek");
  }
  size_ = QUtil::tell(file_);
}

FileInput::~FileInput() {
  if (file_)
    std::fclose(file_);
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

qpdf_offset_t FileInput::findAndSkipNextEOL() {
  char c = 0;
  while (position_ < size_ && read(&c, 1) == 1 && c != '\r' && c != '\n') {
  }
  if (c != '\r' && c != '\n')
    return position_;
  qpdf_offset_t eol = position_ - 1;
  while (position_ < size_ && read(&c, 1) == 1) {
    if (c != '\r' && c != '\n') {
      unreadCh(c);
      break;
    }
  }
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
    if (position_ % kBlockSize == 0 && wanted >= kBlockSize) {
      // Whole blocks go straight to the caller.
      if (QUtil::seek(file_, position_, SEEK_SET) != 0)
        QUtil::throw_system_error(name_ + ": seek");
      size_t got = std::fread(buffer + done, 1, wanted - wanted % kBlockSize, file_);
      if (got == 0)
        break;
      done += got;
      position_ += got;
      continue;
    }
    if (blockLength_ == 0 || position_ < blockAt_ ||
        position_ >= blockAt_ + static_cast<qpdf_offset_t>(blockLength_))
      Load(position_);
    size_t from = static_cast<size_t>(position_ - blockAt_);
    size_t count = std::min(wanted, blockLength_ - from);
    std::memcpy(buffer + done, block_.data() + from, count);
    done += count;
    position_ += count;
  }
  return done;
}

void FileInput::unreadCh(char) {
  if (position_ > 0)
    --position_;
}

}  // namespace pdfl
