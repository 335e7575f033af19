#include "fuzz_run.h"

#include <algorithm>
#include <cstdlib>

#include "fake_facility.h"

namespace cam::fuzzing {

namespace {

struct FuzzRun {
  int status = 0;
  std::string output;
  testing::FakeFacility camera;
};

constexpr std::size_t kScenarioBytes = 5;
constexpr int kEsc = 27;

void set_up(testing::FakeFacility& camera, const std::uint8_t* scenario) {
  const int count = scenario[0] % 8;
  const int frames = scenario[1] % 6 == 0 ? -1 : scenario[1] % 6;
  const int waits = scenario[2] % 8;
  const int key = static_cast<int>(scenario[3]) - 1;  // -1 (no key) to 254
  const std::uint8_t flags = scenario[4];
  for (int i = 0; i < count; ++i) camera.cameras[i].frames = frames;
  if ((flags & 1) != 0) camera.write_fails = true;
  if ((flags & 2) != 0) camera.no_windows = true;
  if ((flags & 4) != 0 && count > 1) camera.cameras[1].repeats_previous = true;
  if ((flags & 8) != 0 && count > 2) camera.cameras.erase(count / 2);  // a gap
  camera.key_after(waits, key);
  camera.key_when_out = kEsc;
}

std::vector<std::string> split_arguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\0' || c == '\n') {
      args.emplace_back();
    } else {
      args.back() += c;
    }
  }
  if (size == 0) args.clear();
  return args;
}

void run_fuzzed(ToolEntry entry, const char* program, const std::uint8_t* data, std::size_t size,
                FuzzRun& run) {
  std::uint8_t scenario[kScenarioBytes] = {};
  const std::size_t taken = size < kScenarioBytes ? size : kScenarioBytes;
  for (std::size_t i = 0; i < taken; ++i) scenario[i] = data[i];
  set_up(run.camera, scenario);

  std::vector<Argument> arguments = {{program, program}};
  for (const std::string& text : split_arguments(data + taken, size - taken))
    arguments.push_back({text, text});

  char* text = nullptr;
  std::size_t length = 0;
  std::FILE* out = open_memstream(&text, &length);
  if (out == nullptr) std::abort();
  run.status = entry(arguments, run.camera, out);
  std::fclose(out);
  run.output.assign(text, length);
  std::free(text);
}

void require(bool holds, const char* what, const FuzzRun& run) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\nstatus %d\noutput:\n%s\ncalls:\n", what, run.status,
               run.output.c_str());
  for (const std::string& call : run.camera.calls) std::fprintf(stderr, "  %s\n", call.c_str());
  std::abort();
}

void require_known_lines(const FuzzRun& run, const ToolRules& rules) {
  require(run.output.empty() || run.output.back() == '\n', "a line left unfinished", run);
  std::size_t start = 0;
  std::size_t count = 0;
  while (start < run.output.size()) {
    const std::size_t end = run.output.find('\n', start);
    const std::string line = run.output.substr(start, end - start);
    bool known = std::find(rules.lines.begin(), rules.lines.end(), line) != rules.lines.end();
    for (const std::regex& form : rules.line_forms) known = known || std::regex_match(line, form);
    require(known, ("a line the tool never prints: " + line).c_str(), run);
    ++count;
    start = end + 1;
  }
  require(rules.most_lines == 0 || count <= rules.most_lines, "more lines than the tool prints",
          run);
}

void require_sound_camera_use(const FuzzRun& run, const ToolRules& rules) {
  const std::vector<std::string> opens = run.camera.calls_starting("open ");
  require(static_cast<int>(opens.size()) <= rules.most_opens, "more cameras opened than allowed",
          run);
  if (opens.size() > 1) {
    for (const std::string& open : opens) {
      const int index = std::atoi(open.c_str() + 5);
      require(index >= rules.lowest && index <= rules.highest, "a camera outside the slots opened",
              run);
    }
  }
  require(run.camera.misuses == 0, "a frame used after its time, or a capture released twice",
          run);
}

}  // namespace

int fuzz_one(const ToolRules& rules, const std::uint8_t* data, std::size_t size) {
  FuzzRun run;
  run_fuzzed(rules.entry, rules.program, data, size, run);
  const bool known_status =
      std::find(rules.statuses.begin(), rules.statuses.end(), run.status) != rules.statuses.end();
  require(known_status, "a status the tool never returns", run);
  require_known_lines(run, rules);
  require_sound_camera_use(run, rules);
  return 0;
}

}  // namespace cam::fuzzing
