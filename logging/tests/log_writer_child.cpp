// Helper of log_process_test: writes lines from several threads into one log folder.
// Usage: log_writer_child <folder> <child letter> <threads> <lines per thread>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Log.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const std::string literal = std::string("LogTest") + '\0' + argv[1] + '\0';
  const char* child = argv[2];
  const int threads = atoi(argv[3]);
  const int lines = atoi(argv[4]);
  SetLogLevel(0x10, 1, 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < lines; ++i) {
        const std::string padding((t * 31 + i * 7) % 200, static_cast<char>('a' + t));
        OutputLogEx(0x10, literal.c_str(), "CChild::Write", __FILE__, i, GetCurrentProcessId(),
                    GetCurrentThreadId(), L"child %hs thread %d line %d %hs", child, t, i,
                    padding.c_str());
      }
    });
  }
  for (auto& worker : workers) worker.join();
  return 0;
}
