// partsc._partsc: the library's calls for Python. A model crosses as the text
// of its JSON document, which the Python half (partsc/__init__.py) turns
// into objects; texts that are not UTF-8 cross as bytes.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <partsc/partsc.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace partsc {
namespace {

// A text as Python takes it: str when it is UTF-8, else bytes.
py::object Text(const std::string& text) {
  PyObject* decoded =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
  if (decoded == nullptr) {
    PyErr_Clear();
    return py::bytes(text);
  }
  return py::reinterpret_steal<py::str>(decoded);
}

using Problems = std::vector<std::pair<std::string, std::string>>;

Problems AsPairs(const std::vector<ModelProblem>& problems) {
  Problems pairs;
  for (const ModelProblem& problem : problems) {
    pairs.emplace_back(problem.pointer, problem.rule);
  }
  return pairs;
}

// The model of a document, or the problem that refuses it.
std::pair<PartsModel, Problems> FromJson(const std::string& document) {
  JsonResult read = ModelFromJson(document);
  return {std::move(read.model), AsPairs(read.problems)};
}

py::dict DiagnosticDict(const Diagnostic& d) {
  py::dict out;
  out["name"] = d.name;
  out["severity"] = d.severity;
  out["consequence"] = d.consequence;
  out["message"] = Text(d.message);
  out["file"] = Text(d.file);
  out["line"] = d.line;
  out["column"] = d.column;
  out["extra"] = Text(d.extra);
  out["reason"] = Text(d.reason);
  out["after_stop"] = d.afterStop;
  return out;
}

py::dict CompileDict(const CompileResult& result) {
  py::dict out;
  out["status"] = result.status;
  out["reason"] = Text(result.reason);
  out["parts_path"] = Text(result.partsPath);
  out["bytes"] = py::bytes(result.bytes);
  out["model"] =
      result.Compiled() ? py::object(py::str(ModelToJson(result.model))) : py::object(py::none());
  py::list diagnostics;
  for (const Diagnostic& d : result.diagnostics) {
    diagnostics.append(DiagnosticDict(d));
  }
  out["diagnostics"] = diagnostics;
  out["error_log"] = py::bytes(result.errorLog);
  return out;
}

CompileOptions Options(std::vector<std::string> warnings, std::string partsDirectory,
                       bool keepGoing) {
  return {std::move(warnings), std::move(partsDirectory), keepGoing};
}

}  // namespace
}  // namespace partsc

PYBIND11_MODULE(_partsc, m) {
  using namespace partsc;
  m.doc() = "The calls of the partsc library; use the package partsc.";
  py::enum_<CompileEnd>(m, "CompileEnd")
      .value("COMPILED", CompileEnd::kCompiled)
      .value("UNKNOWN_WARNING", CompileEnd::kUnknownWarning)
      .value("SOURCE_UNREADABLE", CompileEnd::kSourceUnreadable)
      .value("NOT_PARTS_SOURCE", CompileEnd::kNotPartsSource)
      .value("NO_PARTS_NAME", CompileEnd::kNoPartsName)
      .value("NO_SIZE_NAME", CompileEnd::kNoSizeName)
      .value("SIZE_NAMED_TWICE", CompileEnd::kSizeNamedTwice)
      .value("MEMBER_LINE_REFUSED", CompileEnd::kMemberLineRefused)
      .value("TABLE_FULL", CompileEnd::kTableFull)
      .value("PARTS_FILE_NOT_OPENED", CompileEnd::kPartsFileNotOpened)
      .value("WRITE_FAILED", CompileEnd::kWriteFailed)
      .value("NO_MEMORY", CompileEnd::kNoMemory)
      .value("INTERRUPTED", CompileEnd::kInterrupted);
  py::enum_<ReadStatus>(m, "ReadStatus")
      .value("OK", ReadStatus::kOk)
      .value("NO_FILE", ReadStatus::kNoFile)
      .value("OPEN_FAILED", ReadStatus::kOpenFailed)
      .value("BAD_VERSION", ReadStatus::kBadVersion)
      .value("NO_VIEW", ReadStatus::kNoView)
      .value("SHORT", ReadStatus::kShort)
      .value("DAMAGED", ReadStatus::kDamaged)
      .value("SIZE_NOT_FOUND", ReadStatus::kSizeNotFound)
      .value("NO_MEMORY", ReadStatus::kNoMemory)
      .value("TABLE_FULL", ReadStatus::kTableFull);
  py::enum_<WriteStatus>(m, "WriteStatus")
      .value("WRITTEN", WriteStatus::kWritten)
      .value("REFUSED", WriteStatus::kRefused)
      .value("NOT_CREATED", WriteStatus::kNotCreated)
      .value("BACKUP_FAILED", WriteStatus::kBackupFailed)
      .value("WRITE_FAILED", WriteStatus::kWriteFailed);
  py::enum_<ListStatus>(m, "ListStatus")
      .value("LISTED", ListStatus::kListed)
      .value("HEADER_UNREAD", ListStatus::kHeaderUnread)
      .value("NO_FULL_STOP", ListStatus::kNoFullStop)
      .value("VIEWS_UNREAD", ListStatus::kViewsUnread)
      .value("SIZE_LIST_UNREAD", ListStatus::kSizeListUnread)
      .value("COMMON_LIST_UNREAD", ListStatus::kCommonListUnread)
      .value("SIZE_MEMBERS_UNREAD", ListStatus::kSizeMembersUnread);
  py::enum_<Severity>(m, "Severity")
      .value("ERROR", Severity::kError)
      .value("WARNING", Severity::kWarning)
      .value("NOTE", Severity::kNote);
  py::enum_<Consequence>(m, "Consequence")
      .value("GOES_ON", Consequence::kGoesOn)
      .value("SOURCE_STOPS", Consequence::kSourceStops)
      .value("FILE_NOT_WRITTEN", Consequence::kFileNotWritten)
      .value("RUN_STOPS", Consequence::kRunStops);

  m.def("version", &Version);
  m.def("compile_text",
        [](const py::bytes& text, const std::string& path, std::vector<std::string> warnings,
           std::string directory, bool keepGoing) {
          const std::string source = text;
          return CompileDict(CompileText(
              source, path, Options(std::move(warnings), std::move(directory), keepGoing)));
        });
  m.def("compile_file", [](const std::string& path, std::vector<std::string> warnings,
                           std::string directory, bool keepGoing) {
    return CompileDict(
        CompileFile(path, Options(std::move(warnings), std::move(directory), keepGoing)));
  });
  m.def("read", [](const std::string& path) {
    const ReadResult read = ReadPartsFile(path);
    return py::make_tuple(read.status, Text(read.reason),
                          read.status == ReadStatus::kOk ? ModelToJson(read.model) : "");
  });
  m.def("decode",
        [](const py::bytes& bytes) { return ModelToJson(DecodePartsFile(std::string(bytes))); });
  m.def("parse", [](const std::string& document) { return FromJson(document).second; });
  m.def("check", [](const std::string& document, const std::string& path) {
    auto [model, problems] = FromJson(document);
    return problems.empty() ? AsPairs(Validate(model, path)) : problems;
  });
  m.def("place", [](const std::string& document) {
    auto [model, problems] = FromJson(document);
    PlaceMemberLists(model);
    return py::make_tuple(ModelToJson(model), problems);
  });
  m.def("encode", [](const std::string& document) {
    auto [model, problems] = FromJson(document);
    if (!problems.empty()) {
      return py::make_tuple(py::bytes(), problems);
    }
    const EncodeResult encoded = EncodePartsFile(model);
    return py::make_tuple(py::bytes(encoded.bytes), AsPairs(encoded.problems));
  });
  m.def("write", [](const std::string& document, const std::string& path) {
    auto [model, problems] = FromJson(document);
    if (!problems.empty()) {
      return py::make_tuple(WriteStatus::kRefused, problems);
    }
    const WriteResult written = WritePartsFile(model, path);
    return py::make_tuple(written.status, written.status == WriteStatus::kRefused
                                              ? py::cast(AsPairs(written.problems))
                                              : Text(written.reason));
  });
  m.def("listing", [](const std::string& document, const std::string& path) {
    auto [model, problems] = FromJson(document);
    const Listing listing = ListModel(model, path);
    return py::make_tuple(listing.status, py::bytes(listing.text), Text(listing.reason));
  });
  m.def("diff", [](const std::string& from, const std::string& to, const std::string& oldName,
                   const std::string& newName, bool json) {
    const std::vector<Change> changes = DiffModels(FromJson(from).first, FromJson(to).first);
    return json ? DiffJson(changes, oldName, newName)
                : DiffText(changes, oldName, newName, Latin1Bytes::kUtf8);
  });
}
