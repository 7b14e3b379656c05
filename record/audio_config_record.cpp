#include "record/audio_config_record.h"

#include <stdexcept>
#include <utility>

AudioConfigRecord::AudioConfigRecord() : bytes_(kRecordSize, 0) {}

VolumeLevels AudioConfigRecord::ReadLevels() const {
  VolumeLevels levels{};
  for (std::size_t slot = 0; slot < levels.size(); ++slot) {
    levels[slot] = bytes_[kLevelOffsets[slot]];
  }
  return levels;
}

void AudioConfigRecord::WriteLevels(const VolumeLevels& levels) {
  for (std::size_t slot = 0; slot < levels.size(); ++slot) {
    bytes_[kLevelOffsets[slot]] = levels[slot];
  }
}

const std::vector<std::uint8_t>& AudioConfigRecord::FileBytes() const { return bytes_; }

void AudioConfigRecord::AssignFileBytes(std::vector<std::uint8_t> bytes) {
  if (bytes.size() < kRecordSize) {
    throw std::invalid_argument("an audio configuration file holds at least one whole record");
  }
  bytes_ = std::move(bytes);
}
