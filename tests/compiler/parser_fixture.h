// Shared set-up of the line parser tests: a temporary working directory with
// an open error log, and the process-wide tables emptied before and after.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "compiler/parts_line.h"
#include "compiler/view_list.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_state.h"
#include "platform/ov_faults.h"
#include "support/test_support.h"

namespace partsc::testing {

// Empties every table the parsers fill, the size slots beyond the header's
// count included.
inline void ResetParserState() {
  PartsFileState& state = PartsFileState::Instance();
  for (auto& record : state.sizeTable) {
    record.reset();
  }
  ClearTables();
  ClearMacros();
  ResetViewDefined();
}

// "\t*** W *** text[line]\n", the form of a diagnostic with a line number.
inline std::string WithLine(const char* severity, const std::string& text, int line) {
  return std::string("\t*** ") + severity + " *** " + text + "[" + std::to_string(line) + "]\n";
}

inline std::string Bare(const char* severity, const std::string& text) {
  return std::string("\t*** ") + severity + " *** " + text + "\n";
}

class ParserTest : public ::testing::Test {
 protected:
  static constexpr const char* kControl = "parsers.ctl";

  void SetUp() override {
    chdir_ = std::make_unique<ScopedChdir>(dir_.path());
    OvFaults::Reset();
    ResetParserState();
    ReportDiagnostic(kDiagOpenLog, kSeverityNone, kControl, 0, {});
  }

  void TearDown() override {
    ReportDiagnostic(kDiagCloseLog, kSeverityNone, " ", 0, {});
    OvFaults::Reset();
    ResetParserState();
    chdir_.reset();
  }

  // What the error log received since the last call; the log stays open.
  std::string TakeLog() {
    ReportDiagnostic(kDiagCloseLog, kSeverityNone, " ", 0, {});
    const std::string path = dir_.File(std::string(kControl) + ".LOG");
    const std::string text = ReadFile(path);
    std::remove(path.c_str());
    ReportDiagnostic(kDiagOpenLog, kSeverityNone, kControl, 0, {});
    return text;
  }

  TempDir dir_;
  std::unique_ptr<ScopedChdir> chdir_;
};

}  // namespace partsc::testing
