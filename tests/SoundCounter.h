#ifndef TUMBLIX_TESTS_SOUNDCOUNTER_H
#define TUMBLIX_TESTS_SOUNDCOUNTER_H

#include <string>
#include <vector>

// A sound back end that plays nothing and remembers everything asked of it.
// While alive it is the engine's back end; every file "loads" unless its
// name is listed as missing.
class SoundCounter {
  public:
    SoundCounter();
    ~SoundCounter();

    std::vector<std::string> missing;
    std::vector<std::string> loaded; // file names, in load order
    std::vector<float> levels;       // volume given to each loaded sound
    std::vector<int> played;         // index into `loaded` of each play
    int stopped = 0;
    int released = 0;
};

#endif
