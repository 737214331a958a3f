"""partsc in process: compile parts sources, read, check, write, list and
compare parts files.

A model is a parts file as Python objects (:class:`Model`), whose fields are
those of its JSON document (``partsc --list --format=json``, ``man 5
partsc``): ``model.header.title``, ``model.sizes[0].members[1].text``. A text
is a ``str`` when its bytes are UTF-8 and ``bytes`` (Latin-1) otherwise, as
the document's ``{"latin1": ...}`` is. ``model.to_dict()`` gives the document
itself.

Failures raise exceptions: :class:`ModelError` for a model that breaks a
rule (with the JSON Pointer of the field and the rule), :class:`PartsFileError`
for a file that cannot be read or written, :class:`CompileError` from
:meth:`CompileResult.check`.
"""

import copy
import json
from dataclasses import dataclass, field

from . import _partsc
from ._partsc import (CompileEnd, Consequence, ListStatus, ReadStatus, Severity,
                      WriteStatus)

__all__ = [
    "CompileEnd", "CompileError", "CompileResult", "Consequence", "Diagnostic",
    "ListStatus", "Model", "ModelError", "PartsFileError", "ReadStatus", "Record",
    "Severity", "WriteStatus", "compile_file", "compile_text", "decode", "diff",
    "diff_text", "from_dict", "from_json", "read", "version",
]


def version():
    """The version of the library, "1.0.0"."""
    return _partsc.version()


class ModelError(ValueError):
    """A model that breaks a rule: ``pointer`` is the JSON Pointer of the
    field ("/sizes/3/members/0/number"), ``rule`` the rule in words, and
    ``problems`` every (pointer, rule) found."""

    def __init__(self, problems):
        self.problems = list(problems)
        self.pointer, self.rule = self.problems[0]
        super().__init__(f"{self.pointer}: {self.rule}")


class PartsFileError(OSError):
    """A parts file that cannot be read or written: ``status`` says what
    failed, ``path`` which file."""

    def __init__(self, status, reason, path):
        self.status = status
        self.path = path
        super().__init__(f"{path}: {reason}")


class CompileError(Exception):
    """A source that did not compile: ``status`` and ``diagnostics``."""

    def __init__(self, result):
        self.status = result.status
        self.diagnostics = result.diagnostics
        super().__init__(result.reason)


def _wrap(value):
    if isinstance(value, dict):
        if list(value) == ["latin1"]:
            return value["latin1"].encode("latin-1")
        return Record(value)
    if isinstance(value, list):
        return RecordList(value)
    return value


def _unwrap(value):
    if isinstance(value, (Record, RecordList)):
        return value._data
    if isinstance(value, (bytes, bytearray)):
        try:
            return bytes(value).decode("utf-8")
        except UnicodeDecodeError:
            return {"latin1": bytes(value).decode("latin-1")}
    if isinstance(value, list):
        return [_unwrap(item) for item in value]
    if isinstance(value, dict):
        return {key: _unwrap(item) for key, item in value.items()}
    return value


class Record:
    """One object of the document, its members as attributes; setting one
    changes the document."""

    __slots__ = ("_data",)

    def __init__(self, data):
        object.__setattr__(self, "_data", data)

    def __getattr__(self, name):
        try:
            return _wrap(self._data[name])
        except KeyError:
            raise AttributeError(name) from None

    def __setattr__(self, name, value):
        self._data[name] = _unwrap(value)

    def __eq__(self, other):
        return isinstance(other, Record) and self._data == other._data

    def __repr__(self):
        return f"{type(self).__name__}({self._data!r})"

    def to_dict(self):
        """The object as the JSON document has it."""
        return self._data


class RecordList:
    """An array of the document; its items as Records, texts or numbers."""

    __slots__ = ("_data",)

    def __init__(self, data):
        self._data = data

    def __len__(self):
        return len(self._data)

    def __getitem__(self, index):
        return _wrap(self._data[index])

    def __setitem__(self, index, value):
        self._data[index] = _unwrap(value)

    def __delitem__(self, index):
        del self._data[index]

    def __iter__(self):
        return (_wrap(item) for item in self._data)

    def append(self, value):
        """Adds an item (a Record, or a dict in the document's shape)."""
        self._data.append(_unwrap(value))

    def insert(self, index, value):
        """Inserts an item before `index`."""
        self._data.insert(index, _unwrap(value))

    def __repr__(self):
        return f"RecordList({self._data!r})"


def _raise_problems(problems):
    if problems:
        raise ModelError(problems)


class Model(Record):
    """A parts file as objects: ``header``, ``views``, ``common``, ``sizes``,
    ``unlisted`` and ``read``, as the JSON document names them."""

    __slots__ = ()

    def to_json(self):
        """The JSON document, one line."""
        return json.dumps(self._data, ensure_ascii=False, separators=(",", ":"))

    def copy(self):
        """A model of its own, to edit."""
        return Model(copy.deepcopy(self._data))

    def problems(self, path=""):
        """Every (pointer, rule) that keeps the model from being the good
        parts file at `path` (whose name gives the parts name)."""
        return _partsc.check(self.to_json(), path)

    def check(self, path=""):
        """Raises ModelError for the first problem, with every problem."""
        _raise_problems(self.problems(path))

    def place_member_lists(self):
        """Lays the member lists end to end again after entries changed."""
        document, problems = _partsc.place(self.to_json())
        _raise_problems(problems)
        object.__setattr__(self, "_data", json.loads(document))

    def encode(self):
        """The bytes of the parts file, as partsc writes them."""
        data, problems = _partsc.encode(self.to_json())
        _raise_problems(problems)
        return data

    def write(self, path):
        """Writes the parts file at `path` as partsc does, an older one moved
        to its backup first; a model that breaks the rule is not written."""
        status, why = _partsc.write(self.to_json(), str(path))
        if status == WriteStatus.REFUSED:
            _raise_problems(why)
        if status != WriteStatus.WRITTEN:
            raise PartsFileError(status, why, str(path))

    def listing(self, path):
        """The listing partsc writes into its run log for the parts file at
        `path`, as bytes; a model that cannot be listed whole raises
        PartsFileError."""
        status, text, reason = _partsc.listing(self.to_json(), str(path))
        if status != ListStatus.LISTED:
            raise PartsFileError(status, reason, str(path))
        return text


def from_dict(document):
    """The model of a JSON document as a dict; ModelError for a value that is
    not of its field's type and range."""
    text = json.dumps(_unwrap(document), ensure_ascii=False)
    _raise_problems(_partsc.parse(text))
    return Model(json.loads(text))


def from_json(text):
    """The model of a JSON document's text."""
    try:
        document = json.loads(text)
    except ValueError as error:
        raise ModelError([("", f"not JSON: {error}")]) from None
    return from_dict(document)


def decode(data):
    """The model of the bytes of a parts file (as far as they can be read:
    ``model.read`` says where reading stopped)."""
    return Model(json.loads(_partsc.decode(bytes(data))))


def read(path):
    """The model of the parts file at `path`; PartsFileError when it cannot
    be read."""
    status, reason, document = _partsc.read(str(path))
    if status != ReadStatus.OK:
        raise PartsFileError(status, reason, str(path))
    return Model(json.loads(document))


@dataclass
class Diagnostic:
    """One diagnostic of a compile."""
    name: str
    severity: Severity
    consequence: Consequence
    message: "str | bytes"
    file: "str | bytes"
    line: int
    column: int
    extra: "str | bytes"
    reason: "str | bytes"
    after_stop: bool


@dataclass
class CompileResult:
    """How a compile ended, the parts file it built and what it reported."""
    status: CompileEnd
    reason: "str | bytes"
    parts_path: "str | bytes"
    bytes: bytes
    model: "Model | None"
    diagnostics: list = field(default_factory=list)
    error_log: bytes = b""

    @property
    def compiled(self):
        """Whether the parts file compiled whole."""
        return self.status == CompileEnd.COMPILED

    def check(self):
        """Raises CompileError unless the source compiled; returns self."""
        if not self.compiled:
            raise CompileError(self)
        return self


def _result(raw):
    raw["diagnostics"] = [Diagnostic(**d) for d in raw["diagnostics"]]
    if raw["model"] is not None:
        raw["model"] = Model(json.loads(raw["model"]))
    return CompileResult(**raw)


def compile_text(text, path, *, warnings=(), parts_directory="", keep_going=False):
    """Compiles `text` (str, or bytes as the file would hold them) as the
    parts source at `path`; nothing is read or written. `warnings` are the
    -W options without "-W" ("all", "NAME", "no-NAME")."""
    if isinstance(text, str):
        text = text.encode("utf-8")
    return _result(_partsc.compile_text(bytes(text), str(path), list(warnings),
                                        str(parts_directory), keep_going))


def compile_file(path, *, warnings=(), parts_directory="", keep_going=False):
    """Compiles the parts source file at `path` in memory."""
    return _result(_partsc.compile_file(str(path), list(warnings), str(parts_directory),
                                        keep_going))


def diff(old, new, old_name="old", new_name="new"):
    """What changed from model `old` to model `new`, as the dict of
    ``partsc --diff --format=json``."""
    return json.loads(_partsc.diff(old.to_json(), new.to_json(), old_name, new_name, True))


def diff_text(old, new, old_name="old", new_name="new"):
    """The same changes as ``partsc --diff`` prints them (a str)."""
    return _partsc.diff(old.to_json(), new.to_json(), old_name, new_name, False)
