// BinFile: the binary section container under the binary mesh file. A file of typed,
// labelled sections back to back, described by 2024-byte header blocks of 50 slots; the
// last slot of every block is a continuation section (type 1, label "Header") whose data
// is the next block. oBinFile appends sections and writes the directory when closed;
// iBinFile lists and reads them back. All integers are little-endian.
#pragma once

#include "util/atomic_file.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class BinFile {
public:
  static constexpr int HEADER_BYTES = 2024;
  static constexpr int SLOTS = 50;       // section records per header block
  static constexpr int RECORD_BYTES = 40;
  static constexpr unsigned long CONTINUATION = 1;  // the type of continuation sections

  typedef std::array<unsigned char, 16> Aux;
  // One slot: what a section is and how it was filled.
  struct Section {
    uint64_t type = 0;
    uint64_t bytes = 0;   // length in the file, label and its zero byte included
    uint64_t writes = 0;  // write operations, the label's included
    Aux aux{};
  };
  // A header block as it sits in the file:
  //   0  4  reserved (0)       8  8  time stamp (seconds since 1970, signed)
  //   16 4  section count (first block only; 0 elsewhere)
  //   24    50 records of 40 bytes: type 8, byte count 8, write count 8, aux 16
  // Bytes 4..7 and 20..23 are unused and written as 0.
  struct Header {
    int32_t reserved = 0;
    int64_t time = 0;
    int32_t count = 0;
    Section slot[SLOTS];
    void pack(unsigned char* out) const;  // HEADER_BYTES bytes
    void unpack(const unsigned char* in);
  };

  virtual ~BinFile();
  BinFile(const BinFile&) = delete;
  BinFile& operator=(const BinFile&) = delete;

  const std::string& FileName() const { return mName; }
  int64_t TimeStamp() const { return mBaseHeader ? mBaseHeader->time : 0; }
  int SectionCount() const { return mBaseHeader ? mBaseHeader->count : 0; }
  int SectionCount(unsigned long type) const;
  unsigned long SectionType(int i) const { return slot(i).type; }
  // Items of section i: its writes after the label.
  uint64_t SectionSize(int i) const { return slot(i).writes ? slot(i).writes - 1 : 0; }
  uint64_t SectionBytes(int i) const { return slot(i).bytes; }
  Aux& SectionAux(int i) { return slot(i).aux; }

protected:
  explicit BinFile(const std::string& name) : mName(name) {}
  // Slot of section i: index 0 <= i < SectionCount(); anything else is a fatal error.
  Section& slot(int i);
  const Section& slot(int i) const;

  Header* mBaseHeader = nullptr;                 // the first block, mHeaders[0]
  std::vector<std::unique_ptr<Header>> mHeaders;  // every block, in file order
  std::string mName;
};

// Appends sections; the header blocks are rewritten when the file is closed. A file that
// cannot be opened, or a write or header rewrite that does not complete, fails the whole
// file: Close returns false and the target is left as it was.
class oBinFile : public BinFile {
public:
  // Prints "could not open binary file '<name>'" to standard error when it cannot.
  explicit oBinFile(const std::string& name);
  ~oBinFile() override;  // closes (as Close) unless already closed

  bool IsOpen() const { return mFile.is_open(); }
  // Open, and every write so far went out.
  bool Good() const { return mFile.good(); }

  // Starts section NextIndex(); a null label writes an empty one.
  Aux& AddSection(unsigned long type, const char* label);
  // -- appending to the current section, one write each
  void Write(const void* data, size_t n);
  void Write(double v);
  void Write(long v);
  void Write(const std::string& text);  // with its zero byte

  // Rewrites every header block at its offset; false when that failed.
  bool WriteHeader();
  int CurrentIndex() const { return SectionCount() - 1; }
  // The index the next AddSection gives: a continuation takes the last slot of a block.
  int NextIndex() const;

  // Rewrites the header blocks and puts the file in place; true only when the whole file
  // was written, else prints "could not write binary file '<name>'" to standard error.
  // The directory stays readable through the accessors.
  bool Close();
  // Gives the file up: nothing is left at the target.
  void Discard();

private:
  Header* new_header();
  void write_label(const char* label);

  std::vector<uint64_t> mOffsets;  // file offset of each block, parallel to mHeaders
  Atomic_File mFile;
  bool mClosed = false;
  bool mWritten = false;  // what Close found
};

// Reads a container: its directory on opening, then any section's label and data.
// A file whose directory does not fit its length is rejected with a message.
class iBinFile : public BinFile {
public:
  // Prints "could not read binary file '<name>': <why>" to standard error when it cannot.
  explicit iBinFile(const std::string& name);

  bool IsOpen() const { return mOpen; }
  const std::string& Error() const { return mError; }
  uint64_t SectionOffset(int i) const { return mSectionOffsets.at(i); }
  const std::string& SectionLabel(int i) const { return mLabels.at(i); }
  // The section's bytes after its label; false when they cannot be read.
  bool ReadSection(int i, std::string& data);

private:
  bool fail(const std::string& why);
  bool read_at(uint64_t offset, void* data, size_t n);
  bool read_directory();

  std::ifstream mIn;
  uint64_t mFileSize = 0;
  bool mOpen = false;
  std::string mError;
  std::vector<uint64_t> mSectionOffsets;
  std::vector<std::string> mLabels;
};
