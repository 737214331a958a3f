// Guarded borders, run on the real binary: in a directory that others can
// write to, no output goes through a link or into a file that another user
// planted; crafted JSON and parts files get a refusal, never a crash or a
// runaway; pipes, limits, locks and closed descriptors end a run cleanly;
// names cannot forge lines. A test that needs a second user hands files to
// "nobody" when it runs as root, and is skipped otherwise.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOther = 65534;  // nobody
constexpr const char* kBolt =
    "$$PARTS !bolt!\n$$APG\n$TOP !T!\n$$SIZE \"M6\"\np !D! (6) <0,1>\n$$END\n";
// A source whose compile stops at its param line: the parts file is begun.
constexpr const char* kBroken =
    "$$PARTS !bolt!\n$$APG\n$TOP !T!\n$$SIZE \"M6\"\np !LONGNAME! (6)\n$$END\n";
const std::vector<std::string> kRun = {"-q", "-c", "LIB.CTL"};

#define REQUIRE_SECOND_USER()   \
  if (::geteuid() != 0) {       \
    GTEST_SKIP() << "needs root to hand files to a second user"; \
  }

// A library in a directory that everyone may write to, as /tmp is, and a
// private directory beside it that planted links point into.
struct SharedLibrary {
  TempDir dir;
  TempDir outside;
  SharedLibrary() {
    ::chmod(dir.path().c_str(), 01777);
    WriteFile(dir.File("bolt.src"), kBolt);
    WriteFile(dir.File("LIB.CTL"), "bolt.src\n");
    WriteFile(outside.File("victim"), "secret\n");
    ::chmod(outside.File("victim").c_str(), 0600);
  }
  void PlantLink(const std::string& name, const std::string& target) const {
    ASSERT_EQ(::symlink(target.c_str(), dir.File(name).c_str()), 0);
    ASSERT_EQ(::lchown(dir.File(name).c_str(), kOther, kOther), 0);
  }
  void PlantFile(const std::string& name, const std::string& text) const {
    WriteFile(dir.File(name), text);
    ASSERT_EQ(::lchown(dir.File(name).c_str(), kOther, kOther), 0);
  }
  ProcessResult Run(std::vector<std::string> args, std::vector<std::string> more = {}) const {
    args.insert(args.end(), more.begin(), more.end());
    return RunPartsc(dir.path(), args);
  }
  // The private directory holds its victim and nothing else.
  void ExpectOutsideUntouched() const {
    EXPECT_EQ(ReadFile(outside.File("victim")), "secret\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), {}), 1);
  }
};

bool Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

TEST(SharedDirectories, NoOutputGoesThroughALinkOrIntoAFileAnotherUserPlanted) {
  REQUIRE_SECOND_USER();
  struct Case {
    const char* label;
    std::function<void(SharedLibrary&)> plant;
    std::vector<std::string> more;
    int exit;
    const char* err;
  };
  const std::string link = "a symbolic link that belongs to another user";
  const Case cases[] = {
      {"run log", [](SharedLibrary& l) { l.PlantLink("TALVIREN.LOG", l.outside.File("victim")); },
       {}, 255, "partsc: TALVIREN.LOG: the run log cannot be opened: a symbolic link"},
      {"error log", [](SharedLibrary& l) { l.PlantLink("LIB.CTL.LOG", l.outside.File("new")); },
       {}, 0, "partsc: LIB.CTL.LOG: cannot be opened: a symbolic link"},
      {"SARIF log", [](SharedLibrary& l) { l.PlantLink("run.sarif", l.outside.File("victim")); },
       {"--sarif", "run.sarif"}, 1, "cannot write the SARIF log run.sarif: a symbolic link"},
      {"run log of another user",
       [](SharedLibrary& l) { l.PlantFile("TALVIREN.LOG", "hers\n"); }, {}, 255,
       "partsc: TALVIREN.LOG: the run log cannot be opened: the file belongs to another user"},
      {"parts file", [](SharedLibrary& l) { l.PlantLink("bolt.prt", l.outside.File("new")); },
       {}, 0, ""},
      {"lock file", [](SharedLibrary& l) { l.PlantLink(".bolt.prt.lock", l.outside.File("new")); },
       {"--atomic"}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SharedLibrary library;
    c.plant(library);
    const ProcessResult run = library.Run(kRun, c.more);
    EXPECT_EQ(run.exitCode, c.exit) << run.err;
    EXPECT_TRUE(Contains(run.err, c.err)) << run.err;
    library.ExpectOutsideUntouched();
  }
  SharedLibrary library;
  library.PlantFile("TALVIREN.LOG", "hers\n");
  library.Run(kRun);
  EXPECT_EQ(ReadFile(library.dir.File("TALVIREN.LOG")), "hers\n");
}

// The --atomic clean-up takes only what it can prove its own: a file another
// user named as a dead run's leftover stays hers, and the backup stays.
TEST(SharedDirectories, TheAtomicCleanUpTouchesOnlyItsOwnLeftovers) {
  REQUIRE_SECOND_USER();
  SharedLibrary library;
  ASSERT_EQ(library.Run(kRun, {"--atomic"}).exitCode, 0);
  ASSERT_EQ(library.Run(kRun, {"--atomic"}).exitCode, 0);
  const std::string backup = ReadFile(library.dir.File("bolt.prt.old"));
  library.PlantFile(".bolt.prt.old-bbbbbbbbbbbb", "hers\n");
  library.PlantFile(".bolt.prt.new-bbbbbbbbbbbb", "hers too\n");
  WriteFile(library.dir.File("bolt.src"), kBroken);
  const ProcessResult run = library.Run(kRun, {"--atomic"});
  EXPECT_TRUE(Contains(run.err, "the previous file and its backup are kept")) << run.err;
  EXPECT_EQ(ReadFile(library.dir.File("bolt.prt.old")), backup);
  EXPECT_EQ(ReadFile(library.dir.File(".bolt.prt.old-bbbbbbbbbbbb")), "hers\n");
  EXPECT_EQ(ReadFile(library.dir.File(".bolt.prt.new-bbbbbbbbbbbb")), "hers too\n");
}

// A dead run's own leftovers go: its new contents are removed and its older
// file reaches the backup name. A name that only looks like one (not twelve
// characters of digits and small letters) is no leftover, and stays.
TEST(SharedDirectories, TheAtomicCleanUpTakesItsOwnLeftoversByTheirExactNames) {
  SharedLibrary library;
  ASSERT_EQ(library.Run(kRun).exitCode, 0);
  const std::string first = ReadFile(library.dir.File("bolt.prt"));
  const char* const kept[] = {".bolt.prt.new-ABCDEFGHIJKL", ".bolt.prt.new-abcdefghijk",
                              ".bolt.prt.new-abcdefghij.l", ".bolt.prt.newxabcdefghijkl"};
  for (const char* name : kept) {
    WriteFile(library.dir.File(name), "mine\n");
  }
  WriteFile(library.dir.File(".bolt.prt.new-abcdefghijkl"), "dead run\n");
  WriteFile(library.dir.File(".bolt.prt.old-0123456789az"), "older\n");
  ASSERT_EQ(library.Run(kRun, {"--atomic"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(library.dir.File(".bolt.prt.new-abcdefghijkl")));
  EXPECT_FALSE(fs::exists(library.dir.File(".bolt.prt.old-0123456789az")));
  // The dead run's older file took the backup name, and then gave it to
  // the file this run replaced.
  EXPECT_EQ(ReadFile(library.dir.File("bolt.prt.old")), first);
  for (const char* name : kept) {
    EXPECT_EQ(ReadFile(library.dir.File(name)), "mine\n") << name;
  }
}

TEST(SharedDirectories, AReplacedPartsFileKeepsItsPermissions) {
  for (const std::string mode : {"-q", "--atomic"}) {
    SCOPED_TRACE(mode);
    SharedLibrary library;
    ASSERT_EQ(library.Run(kRun).exitCode, 0);
    ::chmod(library.dir.File("bolt.prt").c_str(), 0640);
    ASSERT_EQ(library.Run(kRun, {mode}).exitCode, 0);
    struct stat status {};
    ASSERT_EQ(::stat(library.dir.File("bolt.prt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
  }
}

// A lock that another process holds is waited for as long as
// PARTSC_LOCK_WAIT says; then the run names the holder and stops with 75,
// without going on to the next source.
TEST(SharedDirectories, ALockHeldTooLongStopsTheRunAndNamesItsHolder) {
  const std::string holder = "process " + std::to_string(::getpid());
  struct Case {
    const char* held;  // "" for the directory
    const char* err;
  };
  const Case cases[] = {
      {"", "bolt.prt: locked by "},
      {"TALVIREN.LOG", "TALVIREN.LOG: the run log cannot be opened: in use by "},
      {"LIB.CTL.LOG", "LIB.CTL.LOG: cannot be opened: in use by "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.held);
    SharedLibrary library;
    WriteFile(library.dir.File("LIB.CTL"), "bolt.src\nbolt.src\n");
    const std::string path = library.dir.File(c.held);
    if (*c.held != '\0') {
      WriteFile(path, "");
    }
    const int held = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const ProcessResult run = RunProcess(
        PARTSC_BINARY, {kRun, library.dir.path(), "", {{"PARTSC_LOCK_WAIT", "1"}}, {}});
    ::close(held);
    EXPECT_EQ(run.exitCode, 75);
    EXPECT_TRUE(Contains(run.err, std::string(c.err) + holder)) << run.err;
    const size_t input = run.out.find("Input file name");
    EXPECT_EQ(run.out.find("Input file name", input + 1), std::string::npos) << run.out;
  }
}

// Each document gets one line of refusal that quotes at most a short piece
// of it, and no parts file.
TEST(CraftedInput, JsonDocumentsGetAShortRefusalNeverACrash) {
  std::string keys = "{";
  for (int i = 0; i < 80000; ++i) {
    keys += "\"k" + std::to_string(i) + "\":0,";
  }
  keys.back() = '}';
  struct Case {
    const char* label;
    std::string document;
    std::string err;
  };
  // A long refusal keeps its first 160 bytes and its last 80.
  const Case cases[] = {
      {"60,000 deep", std::string(60000, '['), "values nested deeper than 64"},
      {"80,000 keys", keys, "/k0: unknown field"},
      {"a megabyte string",
       "{\"header\":{\"version\":\"" + std::string(1 << 20, 'x') + "\"}}",
       "/header/version: \"" + std::string(142, 'x') + "... (1048613 bytes in all) " +
           std::string(61, 'x') + "\" is not an integer\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    WriteFile(dir.File("doc.json"), c.document);
    const ProcessResult run = RunPartsc(dir.path(), {"--from-json", "doc.json", "-o", "x.prt"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.starts_with(std::string("partsc: doc.json: ") + "")) << run.err;
    EXPECT_TRUE(Contains(run.err, c.err)) << run.err.substr(0, 300);
    EXPECT_LT(run.err.size(), 400u);
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1);
    EXPECT_FALSE(FileExists(dir.File("x.prt")));
  }
  // A sanitizer's shadow memory takes more than the limit leaves.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  GTEST_SKIP() << "no memory limit under a sanitizer";
#endif
#endif
  TempDir dir;
  ProcessOptions options{{"--from-json", "/dev/zero", "-o", "x.prt"}, dir.path(), "", {}, {}};
  options.memoryLimit = uint64_t{128} << 20;
  const ProcessResult starved = RunProcess(PARTSC_BINARY, options);
  EXPECT_EQ(starved.exitCode, 1);
  EXPECT_EQ(starved.err, "partsc: /dev/zero: out of memory\n");
}

// A source of 40 sizes whose size records all point at the first size's list.
std::vector<uint8_t> SharedListFile(const TempDir& dir) {
  std::string source = "$$PARTS !amp!\n$$APG\n$TOP !T!\n$$SIZE \"S00\"\n";
  for (int i = 0; i < 50; ++i) {
    source += "p !P" + std::to_string(i) + "! (" + std::string(40, 'v') + ")\n";
  }
  for (int i = 1; i < 40; ++i) {
    source += "$$SIZE \"S" + std::to_string(10 + i) + "\"\np !Q! (1)\n";
  }
  WriteFile(dir.File("amp.src"), source + "$$END\n");
  WriteFile(dir.File("A.CTL"), "amp.src\n");
  EXPECT_EQ(RunPartsc(dir.path(), {"-q", "-c", "A.CTL"}).exitCode, 0);
  std::vector<uint8_t> bytes = ReadBytes(dir.File("amp.prt"));
  constexpr size_t kRecords = 256 + 204;  // after the view names
  const uint32_t first = U32At(bytes, kRecords + 68);
  for (size_t i = 0; i < 40; ++i) {
    std::memcpy(&bytes[kRecords + 72 * i + 68], &first, 4);
  }
  return bytes;
}

// What repeats is refused by our own outputs; the listing prints each
// size's list, as a listing does.
TEST(CraftedInput, SizeRecordsThatShareAListAreRefusedByOurOutputs) {
  TempDir dir;
  WriteBytes(dir.File("shared.prt"), SharedListFile(dir));
  const ProcessResult json = RunPartsc(dir.path(), {"--list", "--format=json", "shared.prt"});
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_EQ(json.out,
            "{\"format\":\"partsc-parts-file/1.0\",\"file\":\"shared.prt\",\"error\":"
            "\"damaged: size records share member lists (no document)\"}\n");
  EXPECT_EQ(json.err,
            "partsc: shared.prt: damaged: size records share member lists (no document)\n");
  const ProcessResult diff = RunPartsc(dir.path(), {"--diff", "shared.prt", "amp.prt"});
  EXPECT_EQ(diff.exitCode, 2);
  EXPECT_EQ(diff.err, "partsc: shared.prt: damaged size member list\n");
  const ProcessResult decompiled = RunPartsc(dir.path(), {"--decompile", "shared.prt"});
  EXPECT_EQ(decompiled.exitCode, 1);
  EXPECT_TRUE(Contains(decompiled.err, "overlaps another list")) << decompiled.err;
  const ProcessResult listed = RunPartsc(dir.path(), {"--list", "shared.prt"});
  EXPECT_EQ(listed.exitCode, 0);
  size_t lines = 0;
  for (size_t at = 0; (at = listed.out.find("\np !P", at)) != std::string::npos; ++at) {
    ++lines;
  }
  EXPECT_EQ(lines, 40u * 50u);
}

// SIGPIPE (a reader that goes) and SIGXFSZ (ulimit -f) end a run as SIGTERM
// does: a message, the summary, no hidden file left, and 128 + the signal.
TEST(CleanEnds, APipeThatClosesAndAFileSizeLimitEndTheRunCleanly) {
  TempDir dir;
  std::string control;
  for (int i = 0; i < 20; ++i) {
    const std::string name = "p" + std::to_string(i);
    WriteFile(dir.File(name + ".src"), ReplaceAll(kBolt, "!bolt!", "!" + name + "!"));
    control += name + ".src\n";
  }
  WriteFile(dir.File("LIB.CTL"), control);
  WriteFile(dir.File("run.sarif"), "older\n");
  ProcessOptions piped{{"-c", "LIB.CTL", "--atomic", "--sarif", "run.sarif"}, dir.path(), "", {},
                       {}};
  piped.brokenPipe = true;
  const ProcessResult pipe = RunProcess(PARTSC_BINARY, piped);
  EXPECT_EQ(pipe.exitCode, 128 + SIGPIPE);
  EXPECT_TRUE(Contains(pipe.err, "partsc: run interrupted by SIGPIPE")) << pipe.err;
  EXPECT_TRUE(ReadFile(dir.File("run.sarif")).starts_with("{")) << "the SARIF log is written";

  ProcessOptions limited{{"-c", "LIB.CTL", "-q", "--atomic", "--sarif", "run.sarif"},
                         dir.path(), "", {}, {}, 4096};
  WriteFile(dir.File("run.sarif"), "older\n");
  limited.sizeSignal = true;
  const ProcessResult cut = RunProcess(PARTSC_BINARY, limited);
  EXPECT_EQ(cut.exitCode, 128 + SIGXFSZ);
  EXPECT_TRUE(Contains(cut.err, "partsc: run interrupted by SIGXFSZ")) << cut.err;
  EXPECT_TRUE(Contains(cut.err, "partsc: summary: ")) << cut.err;
  EXPECT_EQ(ReadFile(dir.File("run.sarif")), "older\n") << "whole or not at all";
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
}

TEST(CleanEnds, AClosedStandardOutputGivesItsNumberToNoFile) {
  TempDir dir;
  WriteFile(dir.File("bolt.src"), kBolt);
  WriteFile(dir.File("LIB.CTL"), "bolt.src\n");
  ProcessOptions options{{"-c", "LIB.CTL"}, dir.path(), "", {}, {}};
  options.closedStdout = true;
  EXPECT_EQ(RunProcess(PARTSC_BINARY, options).exitCode, 0);
  EXPECT_EQ(ReadFile(dir.File("LIB.CTL.LOG")), "Input File [" + dir.File("bolt.src") + "]\n");
}

// A source that is no regular file (a device, a FIFO) is refused at once.
TEST(CleanEnds, ASourceMustBeARegularFile) {
  TempDir dir;
  ASSERT_EQ(::symlink("/dev/zero", dir.File("zero.src").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.File("fifo.src").c_str(), 0600), 0);
  const ProcessResult run = RunPartsc(
      dir.path(), {"--check", "--diagnostics-format=gnu", "zero.src", "fifo.src"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "zero.src: error: Input File Open Error: not a regular file "
            "[partsc-input-open-error]\n"
            "fifo.src: error: Input File Open Error: not a regular file "
            "[partsc-input-open-error]\n");
}

// A parts file whose size name is "A", a line feed, "B".
std::vector<uint8_t> NameWithLineFeed(const TempDir& dir) {
  WriteFile(dir.File("nl.src"), "$$PARTS !nl!\n$$APG\n$TOP !T!\n$$SIZE \"AxB\"\n$$END\n");
  WriteFile(dir.File("N.CTL"), "nl.src\n");
  EXPECT_EQ(RunPartsc(dir.path(), {"-q", "-c", "N.CTL"}).exitCode, 0);
  std::vector<uint8_t> bytes = ReadBytes(dir.File("nl.prt"));
  bytes[256 + 204 + 4 + 1] = '\n';
  return bytes;
}

TEST(Forgery, NamesAndTextsCannotForgeLines) {
  TempDir dir;
  const ProcessResult missing =
      RunPartsc(dir.path(), {"--list", "nope\npartsc: all 12 files listed OK"});
  EXPECT_EQ(missing.err, "partsc: \"nope\\x0apartsc: all 12 files listed OK\": no such file\n");
  WriteBytes(dir.File("forged.prt"), NameWithLineFeed(dir));
  const ProcessResult listed = RunPartsc(dir.path(), {"--list", "forged.prt"});
  EXPECT_TRUE(Contains(listed.out, "\n$$SIZE\t\"A\\x0aB\"\n")) << listed.out;
  const ProcessResult diff = RunPartsc(dir.path(), {"--diff", "nl.prt", "forged.prt"});
  EXPECT_TRUE(Contains(diff.out, "+$$SIZE\t\"A\\x0aB\"\n")) << diff.out;
  std::vector<uint8_t> carriage = ReadBytes(dir.File("nl.prt"));
  carriage[256 + 204 + 4 + 1] = '\r';
  WriteBytes(dir.File("cr.prt"), carriage);
  const ProcessResult decompiled = RunPartsc(dir.path(), {"--decompile", "cr.prt"});
  EXPECT_EQ(decompiled.exitCode, 1);
  EXPECT_TRUE(Contains(decompiled.err, "holds a carriage return")) << decompiled.err;
}

TEST(InitLibrary, SaysWhenAFileItKeepsBelongsToAnotherUser) {
  REQUIRE_SECOND_USER();
  SharedLibrary library;
  library.PlantFile("ORVA.SET", "#PARTS:RUNLOG# = ../somewhere\n");
  const ProcessResult run = library.Run({"--init"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "partsc: ORVA.SET: kept, but it belongs to another user: check it, or start the "
            "library elsewhere\n");
  EXPECT_FALSE(Contains(run.out, "Next:")) << run.out;
}

}  // namespace
}  // namespace partsc::testing
