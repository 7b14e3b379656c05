#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The handset's audio configuration file begins with one fixed-size record; four of its bytes
// are the volume levels and every other byte is carried through untouched.
constexpr std::size_t kRecordSize = 5156;
// Slot order: calls, keys, speaker, MP3/video.
constexpr std::array<std::size_t, 4> kLevelOffsets{397, 409, 433, 889};

using VolumeLevels = std::array<std::uint8_t, 4>;

class AudioConfigRecord {
 public:
  AudioConfigRecord();

  VolumeLevels ReadLevels() const;
  // No other byte changes.
  void WriteLevels(const VolumeLevels& levels);

  // The file as it will be written: the record followed by whatever the loaded file held past
  // it, so that a save loses no byte of a longer file.
  const std::vector<std::uint8_t>& FileBytes() const;
  // Replaces the image with a whole file's bytes; throws std::invalid_argument if they are
  // fewer than kRecordSize.
  void AssignFileBytes(std::vector<std::uint8_t> bytes);

 private:
  std::vector<std::uint8_t> bytes_;
};
