// Runs an effect for a number of frames, for instruction counting under callgrind:
//   <effect>_frames COUNT FRAMES   (COUNT 0: the default setting)
// Prints the elements drawn per frame.
#include <cstdio>
#include <cstdlib>

#include "effect_run.h"
#include "null_win32.h"
#include "plugin.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s COUNT FRAMES\n", argv[0]);
    return 2;
  }
  StartEffect(std::atoi(argv[1]));
  const int frames = std::atoi(argv[2]);
  for (int i = 0; i < frames; ++i) Draw(0, 0, BenchDc());
  std::printf("%d\n", ElementsPerFrame());
  Quit();
  return 0;
}
