// A plain main for the fuzz targets: runs each file named on the command line through
// the target once, so crashes can be replayed without the fuzzing engine. Every file is read
// before the first run, as a target may change the current folder.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, std::vector<char>>> inputs;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 1;
    }
    inputs.emplace_back(argv[i], std::vector<char>((std::istreambuf_iterator<char>(in)),
                                                   std::istreambuf_iterator<char>()));
  }
  for (const auto& [name, bytes] : inputs) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    std::printf("%s: ok\n", name.c_str());
  }
  return 0;
}
