// The error log of a run, and the trimming of control and source lines.
#include "diagnostics/diagnostics.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/sinks.h"
#include "platform/ov_string_util.h"
#include "storage/whole_file.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

struct TrimCase {
  std::string line;
  std::string trimmed;
};

TEST(TrimLineEnd, RemovesTrailingTabsLineFeedsAndBlanksOnly) {
  const TrimCase cases[] = {
      {"", ""},
      {"a b \t\n\n", "a b"},
      {" \t\n ", ""},
      {"\tlead\t", "\tlead"},
      {"cr\r \t", "cr\r"},
      {"vt\v", "vt\v"},
      {"ff\f", "ff\f"},
      {std::string("nul\0 ", 5), std::string("nul\0", 4)},
  };
  for (const TrimCase& c : cases) {
    std::string line = c.line;
    TrimLineEnd(line);
    EXPECT_EQ(line, c.trimmed) << "line \"" << c.line << "\"";
  }
}

TEST(ErrorLogName, NameAfterLastSlashFollowedByLog) {
  const TrimCase cases[] = {
      {"/data/ctl/PARTS.CTL", "PARTS.CTL.LOG"},
      {"/data/a.b/noext", "noext.LOG"},
      {"/data/ctl/", ".LOG"},
      {"RUN.CTL", "RUN.CTL.LOG"},
      {"", ".LOG"},
  };
  for (const TrimCase& c : cases) {
    EXPECT_EQ(ErrorLogName(c.line), c.trimmed) << c.line;
  }
}

// A run's diagnostics on a console in memory, in `directory`.
struct Channel {
  explicit Channel(const std::string& directory) : diagnostics(console, directory) {}
  OvConsole console{OvConsole::InMemory{}};
  Diagnostics diagnostics;
};

// The calls of a run in their order: nothing is written before the log is
// opened or after it is closed, the console echoes what the log gets except
// the section lines, each message shows in the form its entry gives, and a
// later open appends.
TEST(ReportDiagnostic, WritesLogAndConsoleOnlyWhileOpen) {
  TempDir dir;
  Channel channel(dir.path());
  Diagnostics& d = channel.diagnostics;
  d.ReportDiagnostic(DiagnosticId::kDataWriteError);
  d.OpenErrorLog("/elsewhere/T%s.CTL");
  d.BeginInput("/in/p%d.src");
  d.ReportDiagnostic(DiagnosticId::kTitleTooLong, 7);
  d.ReportDiagnostic(DiagnosticId::kNotPartsInputFile, 0, "/in/p%d.src");
  d.ReportDiagnostic(DiagnosticId::kDataWriteError, 3, "ignored");
  d.ReportDiagnostic(DiagnosticId::kViewAlreadyDefined, 5, "$LEFT");
  d.CloseErrorLog();
  d.ReportDiagnostic(DiagnosticId::kTitleTooLong, 1);
  d.OpenErrorLog("T%s.CTL");
  d.ReportDiagnostic(DiagnosticId::kUnknownSizeKeyword);
  d.CloseErrorLog();

  EXPECT_EQ(ReadFile(dir.File("T%s.CTL.LOG")),
            "Input File [/in/p%d.src]\n"
            "\t*** W *** Title string too long[7]\n"
            "\t*** E *** Not Parts Input File[/in/p%d.src]\n"
            "\t*** E *** Data Write Error\n"
            "\t*** W *** $LEFT already defined[5]\n"
            "\t*** W *** Unknown Size Keyword (Skip)\n");
  EXPECT_EQ(channel.console.OutText(),
            "\t*** W *** Title string too long[7]\n"
            "\t*** E *** Not Parts Input File[/in/p%d.src]\n"
            "\t*** E *** Data Write Error\n"
            "\t*** W *** $LEFT already defined[5]\n"
            "\t*** W *** Unknown Size Keyword (Skip)\n");
}

// An error log that cannot be opened silences every later diagnostic.
TEST(ReportDiagnostic, UnopenableLogDropsEverything) {
  TempDir dir;
  Channel channel(dir.path());
  // A directory of the log's name cannot be opened as a file.
  std::filesystem::create_directory(dir.File("D.CTL.LOG"));
  channel.diagnostics.OpenErrorLog("/x/D.CTL");
  channel.diagnostics.ReportDiagnostic(DiagnosticId::kDataWriteError);
  channel.diagnostics.CloseErrorLog();
  EXPECT_EQ(channel.console.OutText(), "");
}

class Recorder : public DiagnosticSink {
 public:
  Recorder(std::vector<std::string>& lines, std::string directory)
      : lines_(lines), directory_(std::move(directory)) {}
  void Emit(const DiagnosticRecord& record) override {
    lines_.push_back(GnuLine(record, directory_) + " | " + JsonLine(record, directory_));
  }

 private:
  std::vector<std::string>& lines_;
  std::string directory_;
};

// A text that is UTF-8 comes out as it stands (an "é" stays one character);
// other bytes are read as Latin-1, so that every byte shows.
TEST(JsonLine, TextsAreUtf8OrReadAsLatin1) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\xC3\x89"
       "crou",
       "\"\xC3\x89"
       "crou\""},
      {"\xC9"
       "crou",
       "\"\xC3\x89"
       "crou\""},
      {"tab\there", "\"tab\\there\""},
  };
  for (const auto& [extra, json] : cases) {
    DiagnosticRecord record;
    record.extra = extra;
    const std::string line = JsonLine(record, "/");
    EXPECT_NE(line.find("\"extra\":" + json), std::string::npos) << line;
  }
}

// Every report also gives a record: the input file below the current
// directory, the line of the file for the line the log counts, the column
// of the field, the stable name, the log's own number and extra text, and
// the reason of a failure; the log and console lines stay as they were.
TEST(ReportDiagnostic, RecordsCarryFileLineColumnAndName) {
  TempDir dir;
  Channel channel(dir.path());
  Diagnostics& d = channel.diagnostics;
  std::vector<std::string> lines;
  d.AddSink(std::make_unique<Recorder>(lines, dir.path()));
  d.OpenErrorLog(dir.File("R.CTL"));
  d.BeginInput(dir.File("p.src"));
  d.SetReportLine({4, 3, 80, "$$TITLE \"long\""});
  d.ReportDiagnostic(DiagnosticId::kTitleTooLong, 4);
  d.ReportDiagnostic(DiagnosticId::kUnknownSizeKeyword);
  d.ReportDiagnostic(DiagnosticId::kNotPartsInputFile, 0, "/x \"y\"");
  d.ReportDiagnostic(DiagnosticId::kEndNotFound, 9);
  // Running out of memory is about the line being read; a failed write is not.
  d.ReportDiagnostic(DiagnosticId::kMemoryAllocateError);
  d.ReportDiagnostic(DiagnosticId::kDataWriteError);
  d.ClearReportLine();
  d.ReportFailure(DiagnosticId::kInputFileOpenError, "No such file or directory");
  d.CloseErrorLog();
  d.FinishSinks(0);

  const std::string tail = "\"reason\":null}";
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "p.src:3:88: warning: Title string too long [partsc-title-too-long] | "
                "{\"file\":\"p.src\",\"line\":3,\"column\":88,\"severity\":"
                "\"warning\",\"name\":\"partsc-title-too-long\",\"message\":\"Title "
                "string too long\",\"log_line\":4,\"extra\":null," +
                    tail,
                "p.src:3: warning: Unknown Size Keyword (Skip) [partsc-unknown-size-keyword] | "
                "{\"file\":\"p.src\",\"line\":3,\"column\":null,\"severity\":"
                "\"warning\",\"name\":\"partsc-unknown-size-keyword\",\"message\":"
                "\"Unknown Size Keyword (Skip)\",\"log_line\":null,\"extra\":null," +
                    tail,
                "p.src:3: error: Not Parts Input File [partsc-not-parts-input] | {\"file\":"
                "\"p.src\",\"line\":3,\"column\":null,\"severity\":\"error\","
                "\"name\":\"partsc-not-parts-input\",\"message\":\"Not Parts Input "
                "File\",\"log_line\":null,\"extra\":\"/x \\\"y\\\"\"," +
                    tail,
                "p.src: warning: Keyword $$END not found [partsc-end-not-found] | {\"file\":"
                "\"p.src\",\"line\":null,\"column\":null,\"severity\":\"warning\","
                "\"name\":\"partsc-end-not-found\",\"message\":\"Keyword $$END not "
                "found\",\"log_line\":9,\"extra\":null," +
                    tail,
                "p.src:3: error: Memory Allocate Error [partsc-memory-allocate-error] | {\"file\":"
                "\"p.src\",\"line\":3,\"column\":null,\"severity\":\"error\",\"name\":"
                "\"partsc-memory-allocate-error\",\"message\":\"Memory Allocate Error\","
                "\"log_line\":null,\"extra\":null," +
                    tail,
                "p.src: error: Data Write Error [partsc-data-write-error] | {\"file\":\"p.src\","
                "\"line\":null,\"column\":null,\"severity\":\"error\",\"name\":"
                "\"partsc-data-write-error\",\"message\":\"Data Write Error\",\"log_line\":null,"
                "\"extra\":null," +
                    tail,
                "p.src: error: Input File Open Error: No such file or directory "
                "[partsc-input-open-error] | {\"file\":\"p.src\",\"line\":null,"
                "\"column\":null,\"severity\":\"error\",\"name\":"
                "\"partsc-input-open-error\",\"message\":\"Input File Open Error\","
                "\"log_line\":null,\"extra\":null,\"reason\":\"No such file or "
                "directory\"}",
            }));
  EXPECT_EQ(channel.console.OutText(),
            "\t*** W *** Title string too long[4]\n\t*** W *** Unknown Size Keyword (Skip)\n"
            "\t*** E *** Not Parts Input File[/x \"y\"]\n\t*** W *** Keyword $$END not found[9]\n"
            "\t*** E *** Memory Allocate Error\n\t*** E *** Data Write Error\n"
            "\t*** E *** Input File Open Error\n");
}

// What the structured forms add for a person looking for a mistake: a
// message that stops the compile is an error whatever its letter; an
// input's records come in the order of its lines; a source that cannot be
// opened points at the control-file line naming it; paths are relative to
// where partsc was started; control characters are escaped. The first
// stopping record is kept for the summary; -q's progress line shows before
// the first echo of its input only.
TEST(ReportDiagnostic, StructuredFormsHelpFindEachDiagnostic) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("run"));
  Channel channel(dir.File("run"));
  Diagnostics& d = channel.diagnostics;
  std::vector<std::string> lines;
  d.SetDisplayDirectory(dir.path());
  d.AddSink(std::make_unique<Recorder>(lines, dir.path()));
  d.OpenErrorLog(dir.File("R.CTL"));
  d.SetPendingHeading("\n  Input file name\t\tquiet.src\n");
  d.BeginInput(dir.File("quiet.src"));
  d.EndInput();
  d.SetPendingHeading("\n  Input file name\t\tp.src\n");
  d.BeginInput(dir.File("src/p.src"));
  d.SetReportLine({5, 5, 1, "s <1,1 \"MAT\""});
  d.ReportDiagnostic(DiagnosticId::kIllegalSpec, 5);
  d.SetReportLine({2, 2, 1, "$$TITLE \"t\""});
  d.ReportDiagnostic(DiagnosticId::kTitleTooLong, 2);
  d.ClearReportLine();
  d.ReportDiagnostic(DiagnosticId::kDataWriteError);
  ASSERT_NE(d.StopRecord(), nullptr);
  EXPECT_EQ(d.StopRecord()->id, DiagnosticId::kIllegalSpec);
  d.EndInput();
  d.SetInputOrigin(dir.File("R.CTL"), 7);
  d.BeginInput(dir.File("n\r.src"));
  d.ReportFailure(DiagnosticId::kInputFileOpenError, "No such file or directory");
  d.EndInput();
  d.FinishSinks(0);

  std::vector<std::string> gnu;
  for (const std::string& line : lines) {
    gnu.push_back(line.substr(0, line.find(" | ")));
  }
  EXPECT_EQ(gnu, (std::vector<std::string>{
                     "src/p.src:2:9: warning: Title string too long [partsc-title-too-long]",
                     "src/p.src:5: error: Illegal spec defination [partsc-illegal-spec]",
                     "src/p.src: error: Data Write Error [partsc-data-write-error]",
                     "R.CTL:7: error: Input File Open Error: n\\x0d.src: No such file or "
                     "directory [partsc-input-open-error]",
                 }));
  EXPECT_NE(lines[1].find("\"severity\":\"error\""), std::string::npos) << lines[1];
  EXPECT_EQ(channel.console.OutText(),
            "\n  Input file name\t\tp.src\n"
            "\t*** W *** Illegal spec defination[5]\n\t*** W *** Title string too long[2]\n"
            "\t*** E *** Data Write Error\n\t*** E *** Input File Open Error\n");
  // -Werror counts the error log's warnings: an illegal spec line is one.
  EXPECT_EQ(d.WarningsReported(), 2);
}

// The SARIF log gives a message that stops the compile the level error, as
// its rule's default and as its result, whatever the error log's letter.
TEST(ReportDiagnostic, SarifLevelsFollowTheConsequence) {
  TempDir dir;
  Channel channel(dir.path());
  Diagnostics& d = channel.diagnostics;
  d.AddSink(MakeSarifSink(channel.console, "run.sarif", dir.path(), dir.path(), ReplaceWholeFile));
  d.OpenErrorLog(dir.File("R.CTL"));
  d.BeginInput(dir.File("p.src"));
  d.SetReportLine({5, 5, 1, "s <1,1 \"MAT\""});
  d.ReportDiagnostic(DiagnosticId::kIllegalSpec, 5);
  d.ReportDiagnostic(DiagnosticId::kTitleTooLong, 5);
  d.SetReportOutput(dir.File("p.prt"));
  d.ReportFailure(DiagnosticId::kIllegalFileDelete, "no view defined");
  d.EndInput();
  // The first rule has the index 0, and its result names it too.
  d.BeginInput(dir.File("q.src"));
  d.SetReportOutput(dir.File("q.prt"));
  d.ReportDiagnostic(DiagnosticId::kApgListWriteError, 0);
  d.EndInput();
  ASSERT_TRUE(d.FinishSinks(0).empty());
  const nlohmann::json log = nlohmann::json::parse(ReadFile(dir.File("run.sarif")));
  const nlohmann::json& run = log["runs"][0];
  std::vector<std::string> levels;
  for (const nlohmann::json& result : run["results"]) {
    const nlohmann::json& rule = run["tool"]["driver"]["rules"][result["ruleIndex"].get<size_t>()];
    levels.push_back(result["ruleId"].get<std::string>() + " " +
                     result["level"].get<std::string>() + " " +
                     rule["defaultConfiguration"]["level"].get<std::string>());
  }
  EXPECT_EQ(levels, (std::vector<std::string>{"partsc-illegal-spec error error",
                                              "partsc-title-too-long warning warning",
                                              "partsc-illegal-file-delete error error",
                                              "partsc-apg-list-write-error error error"}));
  // The removed parts file is named in the message; the result points at
  // the source.
  const nlohmann::json& removed = run["results"][2];
  EXPECT_EQ(removed["message"]["text"], "Illegal File Delete It: p.prt: no view defined");
  EXPECT_EQ(removed["locations"][0]["physicalLocation"]["artifactLocation"]["uri"], "p.src");
  // Each rule's help is what --explain says; each result has a fingerprint
  // of its own.
  const CatalogueEntry& spec = CatalogueOf(DiagnosticId::kIllegalSpec);
  const nlohmann::json& help =
      run["tool"]["driver"]["rules"][run["results"][0]["ruleIndex"].get<size_t>()]["help"];
  EXPECT_EQ(help["text"], std::string(spec.meaning) + "\nExample:\n" + std::string(spec.example) +
                              "\nFix: " + std::string(spec.fix));
  EXPECT_EQ(help["markdown"], std::string(spec.meaning) + "\n\nExample:\n\n```\n" +
                                  std::string(spec.example) +
                                  "\n```\n\nFix: " + std::string(spec.fix));
  EXPECT_NE(run["results"][0]["partialFingerprints"]["partscResult/v1"],
            run["results"][1]["partialFingerprints"]["partscResult/v1"]);
}

// The SARIF log for code scanning: URIs relative to the base (also through
// "..") or absolute outside it; fingerprints made from the line's text, so
// that the same line moved keeps its hash and a second one counts on; a
// failure of the whole run as a notification; the exit status.
TEST(SarifLog, UrisFingerprintsAndInvocation) {
  TempDir dir;
  Channel channel(dir.path());
  std::filesystem::create_directories(dir.File("lib/sub"));
  WriteFile(dir.File("lib/a.src"), "x\n  s <1,1 \"M\"\ny\ns <1,1  \"M\"\n");
  Diagnostics& d = channel.diagnostics;
  d.AddSink(MakeSarifSink(channel.console, "run.sarif", dir.path(), dir.File("lib/sub/.."),
                          ReplaceWholeFile));
  d.OpenErrorLog(dir.File("R.CTL"));
  d.BeginInput("lib/sub/../a.src");
  d.SetReportLine({2, 2, 1, "  s <1,1 \"M\""});
  d.ReportDiagnostic(DiagnosticId::kIllegalSpec, 2);
  d.SetReportLine({4, 4, 1, "s <1,1  \"M\""});
  d.ReportDiagnostic(DiagnosticId::kIllegalSpec, 4);
  d.EndInput();
  d.BeginInput(dir.File("other.src"));
  d.ReportFailure(DiagnosticId::kDataWriteError, "disk full");
  d.EndInput();
  d.ReportRunFailure(DiagnosticId::kRunLogOpen, "", "Log file open error", "denied");
  ASSERT_TRUE(d.FinishSinks(-1).empty());
  const nlohmann::json run = nlohmann::json::parse(ReadFile(dir.File("run.sarif")))["runs"][0];
  std::vector<std::string> results;
  for (const nlohmann::json& result : run["results"]) {
    const nlohmann::json& artifact = result["locations"][0]["physicalLocation"]["artifactLocation"];
    results.push_back(artifact["uri"].get<std::string>() + " " + artifact.value("uriBaseId", "-") +
                      " " + result["partialFingerprints"]["partscResult/v1"].get<std::string>());
  }
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].substr(0, 14), "a.src SRCROOT ");
  EXPECT_EQ(results[0].substr(0, results[0].size() - 1) + "2", results[1]);
  EXPECT_EQ(results[2].substr(0, results[2].find(' ')), "file://" + dir.File("other.src"));
  EXPECT_EQ(run["originalUriBaseIds"]["SRCROOT"]["uri"], "file://" + dir.File("lib/"));
  const nlohmann::json& invocation = run["invocations"][0];
  EXPECT_EQ(invocation["executionSuccessful"], false);
  EXPECT_EQ(invocation["exitCode"], 255);
  EXPECT_EQ(invocation["toolExecutionNotifications"][0]["message"]["text"],
            "Log file open error: denied");
  const nlohmann::json& rule = run["tool"]["driver"]["rules"][0];
  EXPECT_FALSE(rule["help"]["markdown"].get<std::string>().empty());
}

// The compile skips the line position and the warnings' checks while these
// answer false, so each setting they depend on must turn them on and off.
TEST(ReportDiagnostic, WantedQueriesFollowEverySetting) {
  struct Step {
    void (*change)(Diagnostics&);
    bool lineWanted;
    bool warningsWanted;
  };
  static std::vector<std::string> lines;
  const Step steps[] = {
      {[](Diagnostics& d) { d.ApplyWarningOption("all"); }, true, true},
      {[](Diagnostics& d) { d.ApplyWarningOption("no-all"); }, false, false},
      {[](Diagnostics& d) { d.ApplyWarningOption("text-cut"); }, true, true},
      {[](Diagnostics& d) { d.ApplyWarningOption("no-text-cut"); }, false, false},
      {[](Diagnostics& d) { d.AddSink(std::make_unique<Recorder>(lines, "")); }, true, false},
      {[](Diagnostics& d) { d.FinishSinks(0); }, false, false},
      {[](Diagnostics& d) { d.SetFormat(DiagnosticsFormat::kJson); }, true, false},
      {[](Diagnostics& d) { d.FinishSinks(0); }, true, false},
  };
  Channel channel("");
  EXPECT_FALSE(channel.diagnostics.ReportLineWanted());
  EXPECT_FALSE(channel.diagnostics.WarningsWanted());
  for (size_t i = 0; i < std::size(steps); ++i) {
    steps[i].change(channel.diagnostics);
    EXPECT_EQ(channel.diagnostics.ReportLineWanted(), steps[i].lineWanted) << "step " << i;
    EXPECT_EQ(channel.diagnostics.WarningsWanted(), steps[i].warningsWanted) << "step " << i;
  }
}

// Every diagnostic that is reported can be explained, under a name of its
// own; every warning is found by its name without "partsc-".
TEST(Catalogue, ReportedEntriesHaveUniqueNamesAndExplanations) {
  std::set<std::string_view> names;
  for (const CatalogueEntry& entry : Catalogue()) {
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_EQ(FindCatalogueEntry(entry.name), &entry);
    const bool explained = !entry.meaning.empty() && !entry.example.empty() && !entry.fix.empty();
    EXPECT_EQ(explained, entry.Reported()) << entry.name;
  }
  // The bash completion offers the same warnings after -W.
  const std::string script = ReadFile(std::string(PARTSC_SOURCE_DIR) + "/completions/partsc.bash");
  const std::string key = "\n_partsc_warnings=\"";
  const size_t list = script.find(key) + key.size();
  std::istringstream offered(script.substr(list, script.find('"', list) - list));
  std::set<std::string> completed(std::istream_iterator<std::string>(offered),
                                  std::istream_iterator<std::string>{});
  std::set<std::string> warnings;
  for (int i = 0; i < kWarningCount; ++i) {
    const std::string_view name = CatalogueOf(WarningId(static_cast<Warning>(i))).name.substr(7);
    warnings.emplace(name);
    EXPECT_EQ(FindWarning(name), static_cast<Warning>(i));
  }
  EXPECT_EQ(completed, warnings);
}

// --explain finds a diagnostic by its name, by any line that shows it, by
// its message as reported and by a piece of it; several for a piece many
// share, none for what no message says.
TEST(Catalogue, ExplainFindsEachDiagnosticByWhatShowsIt) {
  const std::pair<std::string_view, std::string> kCases[] = {
      {"illegal-param", "partsc-illegal-param"},
      {"\t*** W *** Illegal param defination[19]\n", "partsc-illegal-param"},
      {"src/b.src:19: error: Illegal param defination [partsc-illegal-param]",
       "partsc-illegal-param"},
      {R"({"file":"a.src","name":"partsc-text-cut"})", "partsc-text-cut"},
      {"illegal PARAM", "partsc-illegal-param"},
      {"Unknown keyword $$TITEL (the line is skipped); did you mean $$TITLE?",
       "partsc-unknown-keyword"},
      {"$FRONT already defined", "partsc-view-already-defined"},
      {"Log file logs/a.run open error", "partsc-run-log-open-error"},
      {"Parameter text of 70 characters cut to 64", "partsc-text-cut"},
      {"name too long",
       "partsc-common-name-too-long partsc-parts-name-too-long "
       "partsc-size-name-too-long"},
      {"Parts Set name too long (cut)", ""},  // in the table, never reported
      {"no such message", ""},
  };
  for (const auto& [query, names] : kCases) {
    std::string found;
    for (const CatalogueEntry* entry : FindExplained(query)) {
      found.append(found.empty() ? "" : " ").append(entry->name);
    }
    EXPECT_EQ(found, names) << query;
  }
  EXPECT_EQ(NearestEntries("Ilegal parm defination", 1).front()->name, "partsc-illegal-param");
}

// The message table as partsc has always listed it: each text once, in its order,
// with the severity letter and the form ("3" with a line number, "4" with an
// extra text, "5" bare) of the rows something reports; "-" for the others.
TEST(Catalogue, HoldsEveryMessageTextOnceWithItsSeverityAndForm) {
  const std::pair<std::string_view, std::string_view> kClassic[kMessageCount] = {
      {" ", "-"},
      {"APG List Write Error", "E5"},
      {"APG Name is Nothing", "W3"},
      {"Common data already defined", "W3"},
      {"Common size name too long (cut)", "W3"},
      {"Data Write Error", "E5"},
      {"Header Write Error", "E5"},
      {"Illegal File Delete It", "E5"},
      {"Illegal param defination", "W3"},
      {"Illegal parts defination", "-"},
      {"Illegal spec defination", "W3"},
      {"Input File Open Error", "E5"},
      {"Keyword $$END not found", "W3"},
      {"Macro Name Nothing", "W3"},
      {"Macro Value Nothing", "W3"},
      {"Memory Allocate Error", "E5"},
      {"Not Parts Input File", "E4"},
      {"Not Parts Set Input File", "-"},
      {"Parameter Char Over (cut)", "-"},
      {"Parts apg list already defined", "W3"},
      {"Parts List Write Error", "-"},
      {"Parts name already defined", "W3"},
      {"Parts Set name already defined", "-"},
      {"Parts name not found", "E3"},
      {"Parts Set name not found", "-"},
      {"Parts name too long (cut)", "W3"},
      {"Parts Set name too long (cut)", "-"},
      {"Parts spec already defined", "W3"},
      {"Parts Set spec allredy defined", "-"},
      {"Parts title too long (cut)", "W3"},
      {"Parts Set title too long (cut)", "-"},
      {"Parts No. Nothing", "-"},
      {"Parts No. isn't Constant", "-"},
      {"Same Apg Name Define", "W3"},
      {"Size list Write Error", "E5"},
      {"Size title too long (cut)", "W3"},
      {"Size member too many", "W3"},
      {"Size name multiple define", "E3"},
      {"Size name not found", "E3"},
      {"Size name too long (cut)", "W3"},
      {"Title string too long", "W3"},
      {"Unknown View Keyword (Skip)", "W3"},
      {"Unknown View Name (Skip)", "-"},
      {"View Data Write Error", "-"},
      {"View Define Not Closed(not define)", "-"},
      {"View Max Count Over (Skip)", "-"},
      {"View Name Nothing (Skip)", "-"},
      {"View Name Too Long (Cut)", "-"},
      {"View Not Exist", "-"},
      {"Unknown Common Keyword (Skip)", "W3"},
      {"Unknown Size Keyword (Skip)", "W5"},
  };
  const char kForms[] = {'3', '4', '5'};
  for (int i = 0; i < kMessageCount; ++i) {
    const std::string_view text = kClassic[i].first;
    const std::string_view kind = kClassic[i].second;
    const CatalogueEntry& entry = CatalogueOf(static_cast<DiagnosticId>(i));
    EXPECT_EQ(MessageTable[static_cast<size_t>(i)], text);
    EXPECT_LT(text.size(), static_cast<size_t>(kMessageSlotSize)) << text;
    const auto named = [&](const CatalogueEntry& e) { return e.text == text; };
    EXPECT_EQ(std::count_if(Catalogue().begin(), Catalogue().end(), named), 1) << text;
    const std::string shown = entry.Reported() ? std::string(SeverityLabel(entry.severity)) +
                                                     kForms[static_cast<int>(entry.form)]
                                               : "-";
    EXPECT_EQ(shown, kind) << text;
  }
}

}  // namespace
}  // namespace partsc::testing
