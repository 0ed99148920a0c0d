// vesk-gen-scene BYTES [SEED]: writes a generated document to stdout.
#include "vesk/testing/scene_gen.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: vesk-gen-scene BYTES [SEED]\n");
    return 2;
  }
  char* end = nullptr;
  const unsigned long long bytes = std::strtoull(argv[1], &end, 10);
  if (*argv[1] == '\0' || *end != '\0' || bytes > (1ull << 32)) {
    std::fprintf(stderr, "vesk-gen-scene: BYTES must be a number up to 4294967296\n");
    return 2;
  }
  unsigned long seed = 1;
  if (argc == 3) {
    seed = std::strtoul(argv[2], &end, 10);
    if (*argv[2] == '\0' || *end != '\0') {
      std::fprintf(stderr, "vesk-gen-scene: SEED must be a number\n");
      return 2;
    }
  }
  const std::string text = vesk_testing::generate_scene(static_cast<std::size_t>(bytes), static_cast<unsigned>(seed));
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
