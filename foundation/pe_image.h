#pragma once
// pe_image.h: the headers of a PE image (32 or 64 bit) down to one entry of
// its data directory, read piece by piece through the caller's reader, so
// that a file is neither mapped nor read whole.
#include <cstdint>
#include <functional>

// Reads `size` bytes at `offset` of the image; false when they are not all there.
using CImageReader = std::function<bool(uint64_t offset, void* buffer, uint32_t size)>;

// Little-endian values as an image stores them.
inline uint16_t ImageWord(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }
inline uint32_t ImageDword(const uint8_t* bytes) {
  return ImageWord(bytes) | static_cast<uint32_t>(ImageWord(bytes + 2)) << 16;
}

struct CPeDataDirectory {
  // Where the optional header lies in the file, and its size.
  uint64_t optionalHeader = 0;
  uint16_t optionalSize = 0;
  // The section table follows the optional header.
  uint16_t sectionCount = 0;
  // Where the directory's entry lies in the file, and what it holds.
  uint64_t entryOffset = 0;
  uint32_t address = 0;
  uint32_t size = 0;
};

// The entry `index` of the image's data directory, with the headers that lead
// to it. False when the image is no PE file, or its optional header is
// neither PE32 nor PE32+ or does not hold that entry.
bool ReadPeDataDirectory(const CImageReader& read, uint32_t index, CPeDataDirectory* directory);
