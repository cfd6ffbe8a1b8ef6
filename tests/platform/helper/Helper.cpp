// Started by the platform tests.
//   sleep SECONDS         stays alive that long (the tests kill it sooner)
//   record FILE ARGS...   writes each of ARGS to FILE, each followed by a NUL byte; the file
//                         appears complete or not at all
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "sleep" && argc == 3) {
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
        return 0;
    }
    if (mode == "record" && argc >= 3) {
        std::string partial = std::string(argv[2]) + ".part";
        {
            std::ofstream out(partial, std::ios::binary);
            for (int i = 3; i < argc; ++i) {
                out << argv[i] << '\0';
            }
            if (!out) {
                return 1;
            }
        }
        return std::rename(partial.c_str(), argv[2]) == 0 ? 0 : 1;
    }
    return 2;
}
