// make_tone PATH SECONDS [HZ]: writes a short Ogg Vorbis sine tone (44,100 Hz stereo), the
// test music of the end-to-end tests.
#include <cstdio>
#include <cstdlib>

#include "tests/common/ToneOgg.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_tone PATH SECONDS [HZ]\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    const double hz = argc > 3 ? std::atof(argv[3]) : 440.0;
    if (!(seconds > 0.0 && seconds < 600.0) || !(hz > 0.0 && hz < 20000.0)) {
        std::fprintf(stderr, "make_tone: seconds must be in (0, 600), hz in (0, 20000)\n");
        return 2;
    }
    if (!testing_support::writeToneOgg(argv[1], seconds, hz)) {
        std::fprintf(stderr, "make_tone: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
