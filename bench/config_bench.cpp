// Speed of the configuration primitives on large files: WriteIniValue and
// ReplaceConfigDirective each change one line of a generated file of 1 000,
// 10 000 or 100 000 lines (a full read, rewrite and atomic replace per
// operation), and the same rewrites without I/O (ini::Assign, directive::Apply)
// show what the text processing alone costs.
//
// Flags besides Google Benchmark's: --tellurix_files=DIR generates the files
// in DIR and keeps them (scripts/bench-config.sh times sed -i on them);
// without it they go to a temporary folder that is removed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/directive_rewriter.h"
#include "core/profile_store.h"

namespace {

namespace fs = std::filesystem;

fs::path& FilesDirectory() {
  static fs::path directory;
  return directory;
}

// Lines from blocks made one after the other, CR LF after each; the last block
// that does not fit whole is replaced by comment lines, so that the file has
// exactly `lines` lines and no block is cut short.
template <typename MakeBlock>
std::string Assemble(int lines, const char* comment, MakeBlock makeBlock) {
  std::string text;
  int written = 0;
  for (int block = 0; written < lines; ++block) {
    std::vector<std::string> next = makeBlock(block, written);
    if (written + static_cast<int>(next.size()) > lines) next.assign(lines - written, comment);
    for (const std::string& line : next) text.append(line).append("\r\n");
    written += static_cast<int>(next.size());
  }
  return text;
}

// An INI file in the manner of my.ini and php.ini: blocks of a comment banner,
// a section header and its keys (some commented out) and a blank line. The one
// key the benchmark changes, "port" in [mysqld], stands in the middle of the
// file; no other line has that name.
std::string MakeIni(int lines) {
  bool targetWritten = false;
  return Assemble(lines, ";", [&](int block, int written) {
    const std::string n = std::to_string(block);
    const bool target = !targetWritten && written >= lines / 2;
    targetWritten = targetWritten || target;
    std::vector<std::string> out = {
        "; ---------------------------------------------------------------",
        "; Settings of module " + n + ". Restart the service after a change.",
        target ? "[mysqld]" : "[module_" + n + "]",
    };
    if (target) out.push_back("port=3306");
    for (int key = 0; key < 18; ++key) {
      const std::string name = "option_" + n + "_" + std::to_string(key);
      if (key % 6 == 5) {
        out.push_back(";" + name + " = \"disabled by default\"");
      } else if (key % 3 == 0) {
        out.push_back(name + " = " + std::to_string(key * 64) + "M");
      } else {
        out.push_back(name + "=\"C:/stack/module" + n + "/data/file" + std::to_string(key) + ".dat\"");
      }
    }
    out.push_back("");
    return out;
  });
}

// An httpd.conf-style file: comment paragraphs, top-level directives, and
// <Directory> / <IfModule> blocks with indented directives. The one directive
// the benchmark changes, "Listen", stands once at the top level in the middle
// ("ListenBacklog" lines are another directive).
std::string MakeHttpdConf(int lines) {
  bool listenWritten = false;
  return Assemble(lines, "#", [&](int block, int written) {
    const std::string n = std::to_string(block);
    std::vector<std::string> out = {
        "#",
        "# Site " + n + ": the folder it serves and who may reach it. Comment",
        "# out a line with \"#\" to keep the server's default.",
        "#",
    };
    if (!listenWritten && written >= lines / 2) {
      out.push_back("Listen 80");
      listenWritten = true;
    }
    const std::vector<std::string> rest = {
        "ListenBacklog " + std::to_string(511 + block % 7),
        "Timeout " + std::to_string(300 + block % 60),
        "<Directory \"C:/stack/www/site" + n + "\">",
        "    Options Indexes FollowSymLinks",
        "    AllowOverride All",
        "    Order allow,deny",
        "    Allow from all",
        "</Directory>",
        "<IfModule alias_module>",
        "    Alias /site" + n + " \"C:/stack/www/site" + n + "/public\"",
        "    ScriptAlias /cgi" + n + "/ \"C:/stack/cgi-bin/site" + n + "/\"",
        "</IfModule>",
        "LogFormat \"%h %l %u %t \\\"%r\\\" %>s %b\" site" + n,
        "CustomLog logs/site" + n + ".log site" + n,
        "",
    };
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
  });
}

// Path of the generated file of a kind and size, made on first use.
const std::string& GeneratedFile(const std::string& kind, int lines) {
  static std::map<std::string, std::string> made;
  const std::string name = kind + "-" + std::to_string(lines) + (kind == "ini" ? ".ini" : ".conf");
  auto found = made.find(name);
  if (found != made.end()) return found->second;
  const std::string text = kind == "ini" ? MakeIni(lines) : MakeHttpdConf(lines);
  const fs::path path = FilesDirectory() / name;
  std::ofstream(path, std::ios::binary) << text;
  return made.emplace(name, path.string()).first->second;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetCounters(benchmark::State& state, const std::string& path) {
  state.counters["lines"] = benchmark::Counter(static_cast<double>(state.range(0)));
  state.counters["bytes"] = benchmark::Counter(static_cast<double>(fs::file_size(path)));
}

// Each operation sets the value the file does not have, so every one changes
// the line.
void BM_WriteIniValue(benchmark::State& state) {
  const std::string& path = GeneratedFile("ini", static_cast<int>(state.range(0)));
  int round = 0;
  for (auto _ : state) {
    auto done = tellurix::WriteIniValue(path, "mysqld", "port", ++round % 2 ? "3307" : "3306");
    if (!done) {
      state.SkipWithError(done.error().detail.c_str());
      break;
    }
  }
  SetCounters(state, path);
}

void BM_ReplaceConfigDirective(benchmark::State& state) {
  const std::string& path = GeneratedFile("httpd", static_cast<int>(state.range(0)));
  int round = 0;
  for (auto _ : state) {
    auto replaced = tellurix::ReplaceConfigDirective(path, "Listen", ++round % 2 ? "8080" : "80");
    if (!replaced || *replaced != 1) {
      state.SkipWithError(replaced ? "not exactly one line replaced" : replaced.error().detail.c_str());
      break;
    }
  }
  SetCounters(state, path);
}

// The same rewrites on bytes in memory.
void BM_IniAssign(benchmark::State& state) {
  const std::string& path = GeneratedFile("ini", static_cast<int>(state.range(0)));
  const std::string bytes = ReadAll(path);
  int round = 0;
  for (auto _ : state) {
    std::string out = tellurix::ini::Assign(bytes, "mysqld", "port", ++round % 2 ? "3307" : "3306");
    benchmark::DoNotOptimize(out.data());
  }
  SetCounters(state, path);
}

void BM_DirectiveApply(benchmark::State& state) {
  const std::string& path = GeneratedFile("httpd", static_cast<int>(state.range(0)));
  const std::string bytes = ReadAll(path);
  int round = 0;
  for (auto _ : state) {
    auto rewrite = tellurix::directive::Apply(bytes, "Listen", ++round % 2 ? "Listen 8080" : "Listen 80");
    benchmark::DoNotOptimize(rewrite.bytes.data());
  }
  SetCounters(state, path);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

BENCHMARK(BM_WriteIniValue)->Apply(Sizes);
BENCHMARK(BM_ReplaceConfigDirective)->Apply(Sizes);
BENCHMARK(BM_IniAssign)->Apply(Sizes);
BENCHMARK(BM_DirectiveApply)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
  // Our own flag first, then Google Benchmark's.
  std::vector<char*> args;
  bool keep = false;
  const char* flag = "--tellurix_files=";
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) {
      FilesDirectory() = argv[i] + std::strlen(flag);
      keep = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  if (keep) {
    fs::create_directories(FilesDirectory());
  } else {
    std::string pattern = (fs::temp_directory_path() / "tellurix-bench.XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    FilesDirectory() = pattern;
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  // The files are made before any timing, so every benchmark finds them ready.
  for (int lines : {1000, 10000, 100000}) {
    GeneratedFile("ini", lines);
    GeneratedFile("httpd", lines);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!keep) fs::remove_all(FilesDirectory());
  return 0;
}
