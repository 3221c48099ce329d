#include "meshio/BinFile.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

namespace {

[[noreturn]] void check_failed(const char* expr) {
  std::fprintf(stderr, "BinFile: Assertion `%s' failed.\n", expr);
  std::abort();
}
#define BIN_CHECK(expr) \
  do { \
    if (!(expr)) check_failed(#expr); \
  } while (0)

void put64(unsigned char* out, uint64_t v) {
  for (int k = 0; k < 8; ++k) out[k] = (unsigned char)(v >> (8 * k));
}
void put32(unsigned char* out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out[k] = (unsigned char)(v >> (8 * k));
}
uint64_t get64(const unsigned char* in) {
  uint64_t v = 0;
  for (int k = 7; k >= 0; --k) v = v << 8 | in[k];
  return v;
}
uint32_t get32(const unsigned char* in) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | in[k];
  return v;
}

const char CONTINUATION_LABEL[] = "Header";
// Longest label the reader looks for the end of.
const uint64_t LABEL_MAX = 1 << 16;

}  // namespace

void BinFile::Header::pack(unsigned char* out) const {
  std::memset(out, 0, HEADER_BYTES);
  put32(out, (uint32_t)reserved);
  put64(out + 8, (uint64_t)time);
  put32(out + 16, (uint32_t)count);
  for (int k = 0; k < SLOTS; ++k) {
    unsigned char* r = out + 24 + RECORD_BYTES * k;
    put64(r, slot[k].type);
    put64(r + 8, slot[k].bytes);
    put64(r + 16, slot[k].writes);
    std::memcpy(r + 24, slot[k].aux.data(), 16);
  }
}

void BinFile::Header::unpack(const unsigned char* in) {
  reserved = (int32_t)get32(in);
  time = (int64_t)get64(in + 8);
  count = (int32_t)get32(in + 16);
  for (int k = 0; k < SLOTS; ++k) {
    const unsigned char* r = in + 24 + RECORD_BYTES * k;
    slot[k].type = get64(r);
    slot[k].bytes = get64(r + 8);
    slot[k].writes = get64(r + 16);
    std::memcpy(slot[k].aux.data(), r + 24, 16);
  }
}

BinFile::~BinFile() = default;

int BinFile::SectionCount(unsigned long type) const {
  int n = 0;
  for (int i = 0; i < SectionCount(); ++i)
    if (slot(i).type == type) ++n;
  return n;
}

BinFile::Section& BinFile::slot(int i) {
  BIN_CHECK(i >= 0 && i < SectionCount() && (size_t)(i / SLOTS) < mHeaders.size());
  return mHeaders[i / SLOTS]->slot[i % SLOTS];
}

const BinFile::Section& BinFile::slot(int i) const { return const_cast<BinFile*>(this)->slot(i); }

// -- writer

oBinFile::oBinFile(const std::string& name) : BinFile(name) {
  if (!mFile.open(name.c_str())) std::cerr << "could not open binary file '" << name << "'\n";
  mBaseHeader = new_header();
  mOffsets.push_back(0);
  unsigned char block[HEADER_BYTES];
  mBaseHeader->pack(block);
  mFile.write(block, HEADER_BYTES);
}

oBinFile::~oBinFile() { Close(); }

BinFile::Header* oBinFile::new_header() {
  mHeaders.push_back(std::make_unique<Header>());
  mHeaders.back()->time = (int64_t)std::time(nullptr);
  return mHeaders.back().get();
}

int oBinFile::NextIndex() const {
  const int n = SectionCount();
  return n >= 1 && n % SLOTS == SLOTS - 1 ? n + 1 : n;
}

void oBinFile::write_label(const char* label) {
  const char* text = label ? label : "";
  Write(text, std::strlen(text) + 1);
}

BinFile::Aux& oBinFile::AddSection(unsigned long type, const char* label) {
  const int n = mBaseHeader->count++;
  if (n >= 1 && n % SLOTS == SLOTS - 1) {
    // Section n would take the block's last slot: it becomes the continuation that holds
    // the next block, and the new section goes first in that block.
    Header* next = new_header();
    mHeaders[n / SLOTS]->slot[SLOTS - 1] = Section{CONTINUATION, 0, 0, {}};
    write_label(CONTINUATION_LABEL);
    mOffsets.push_back(mFile.size());
    unsigned char block[HEADER_BYTES];
    next->pack(block);
    Write(block, HEADER_BYTES);
    ++mBaseHeader->count;
  }
  Section& s = slot(CurrentIndex());
  s = Section{type, 0, 0, {}};
  write_label(label);
  return s.aux;
}

void oBinFile::Write(const void* data, size_t n) {
  Section& s = slot(CurrentIndex());
  mFile.write(data, n);
  s.bytes += n;
  ++s.writes;
}

void oBinFile::Write(double v) {
  unsigned char b[8];
  put64(b, std::bit_cast<uint64_t>(v));
  Write(b, 8);
}

void oBinFile::Write(long v) {
  unsigned char b[8];
  put64(b, (uint64_t)v);
  Write(b, 8);
}

void oBinFile::Write(const std::string& text) { Write(text.c_str(), text.size() + 1); }

bool oBinFile::WriteHeader() {
  unsigned char block[HEADER_BYTES];
  for (size_t k = 0; k < mHeaders.size(); ++k) {
    mHeaders[k]->pack(block);
    mFile.write_at(mOffsets[k], block, HEADER_BYTES);
  }
  return mFile.good();
}

bool oBinFile::Close() {
  if (mClosed) return mWritten;
  mClosed = true;
  BIN_CHECK(mHeaders.front().get() == mBaseHeader);
  if (!mFile.is_open()) return false;
  WriteHeader();
  mWritten = mFile.commit();
  if (!mWritten) std::cerr << "could not write binary file '" << mName << "'\n";
  return mWritten;
}

void oBinFile::Discard() {
  mClosed = true;
  mFile.discard();
}

// -- reader

iBinFile::iBinFile(const std::string& name) : BinFile(name) {
  mIn.open(name, std::ios::binary);
  if (!mIn) {
    fail("cannot be opened");
    return;
  }
  mIn.seekg(0, std::ios::end);
  const std::streamoff end = mIn.tellg();
  mFileSize = end > 0 ? (uint64_t)end : 0;
  mOpen = read_directory();
  if (!mOpen) {
    // What was read of a bad directory is not offered.
    mHeaders.clear();
    mBaseHeader = nullptr;
    mSectionOffsets.clear();
    mLabels.clear();
  }
}

bool iBinFile::fail(const std::string& why) {
  mError = why;
  std::cerr << "could not read binary file '" << mName << "': " << why << "\n";
  return false;
}

bool iBinFile::read_at(uint64_t offset, void* data, size_t n) {
  if (offset > mFileSize || n > mFileSize - offset) return false;
  mIn.clear();
  mIn.seekg((std::streamoff)offset);
  mIn.read(static_cast<char*>(data), (std::streamsize)n);
  return mIn.gcount() == (std::streamsize)n;
}

bool iBinFile::read_directory() {
  unsigned char block[HEADER_BYTES];
  if (!read_at(0, block, HEADER_BYTES)) return fail("shorter than a header block");
  mHeaders.push_back(std::make_unique<Header>());
  mBaseHeader = mHeaders.back().get();
  mBaseHeader->unpack(block);
  const int n = mBaseHeader->count;
  if (n < 0) return fail("negative section count");
  uint64_t offset = HEADER_BYTES;
  std::string label;
  for (int i = 0; i < n; ++i) {
    const std::string at = "section " + std::to_string(i);
    const Section& s = slot(i);
    if (s.bytes == 0 || s.bytes > mFileSize - offset) return fail(at + " runs past the end of the file");
    // The label: the text up to the first zero byte.
    label.resize((size_t)std::min(s.bytes, LABEL_MAX));
    if (!read_at(offset, label.data(), label.size())) return fail(at + " cannot be read");
    const size_t zero = label.find('\0');
    if (zero == std::string::npos) return fail(at + " has no label");
    label.resize(zero);
    const bool continuation = i % SLOTS == SLOTS - 1;
    const uint64_t continuation_bytes = HEADER_BYTES + sizeof CONTINUATION_LABEL;
    if (continuation != (s.type == CONTINUATION) ||
        (continuation && (label != CONTINUATION_LABEL || s.bytes != continuation_bytes)))
      return fail(at + (continuation ? " is not a header block" : " has the reserved type 1"));
    if (continuation) {
      if (!read_at(offset + sizeof CONTINUATION_LABEL, block, HEADER_BYTES))
        return fail(at + " cannot be read");
      mHeaders.push_back(std::make_unique<Header>());
      mHeaders.back()->unpack(block);
    }
    mSectionOffsets.push_back(offset);
    mLabels.push_back(label);
    offset += s.bytes;
  }
  if (offset != mFileSize)
    return fail(std::to_string(mFileSize - offset) + " bytes beyond the last section");
  return true;
}

bool iBinFile::ReadSection(int i, std::string& data) {
  const uint64_t skip = mLabels.at(i).size() + 1;
  data.resize((size_t)(SectionBytes(i) - skip));
  return read_at(mSectionOffsets.at(i) + skip, data.data(), data.size());
}
