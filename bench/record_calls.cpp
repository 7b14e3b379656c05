// Saves once between two markers on standard error, so that strace can count the system calls
// of one Save:  strace -f -o TRACE record_calls FOLDER
// The saves before the markers create the file and let the process ask what it asks only once.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "record/record_io.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: record_calls FOLDER\n");
    return 2;
  }
  const std::string file = std::string(argv[1]) + "/audio_cfg.db";
  AudioConfigRecord record;
  try {
    Save(record, DefaultFileApi(), file, {3, 3, 3, 3});  // no file yet: written anew
    Save(record, DefaultFileApi(), file, {3, 3, 3, 3});
    static const char kMarker[] = "-- save\n";
    if (write(2, kMarker, sizeof kMarker - 1) < 0) return 1;
    Save(record, DefaultFileApi(), file, {4, 4, 4, 4});
    if (write(2, kMarker, sizeof kMarker - 1) < 0) return 1;
  } catch (const EInOutError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  unlink(file.c_str());
  unlink((file + ".bak").c_str());
  return 0;
}
