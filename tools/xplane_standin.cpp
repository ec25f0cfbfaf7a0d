// Stand-in for X-Plane's executable in the demo and the tests: copied into a
// demo X-Plane folder, it writes Log.txt in its working folder the way the
// simulator does at start, then stays up for a while.
//   X-Plane-x86_64 [SECONDS]   (default 120)
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
  {
    std::ofstream log("Log.txt", std::ios::trunc);
    log << "Log.txt for X-Plane 12 (stand-in)\nLoading scenery...\n";
  }
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return 0;
}
