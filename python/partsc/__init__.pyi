from dataclasses import dataclass
from enum import Enum
from os import PathLike
from typing import Any, Iterable, Iterator

class CompileEnd(Enum):
    COMPILED: int
    UNKNOWN_WARNING: int
    SOURCE_UNREADABLE: int
    NOT_PARTS_SOURCE: int
    NO_PARTS_NAME: int
    NO_SIZE_NAME: int
    SIZE_NAMED_TWICE: int
    MEMBER_LINE_REFUSED: int
    TABLE_FULL: int
    PARTS_FILE_NOT_OPENED: int
    WRITE_FAILED: int
    NO_MEMORY: int
    INTERRUPTED: int

class ReadStatus(Enum):
    OK: int
    NO_FILE: int
    OPEN_FAILED: int
    BAD_VERSION: int
    NO_VIEW: int
    SHORT: int
    DAMAGED: int
    SIZE_NOT_FOUND: int
    NO_MEMORY: int
    TABLE_FULL: int

class WriteStatus(Enum):
    WRITTEN: int
    REFUSED: int
    NOT_CREATED: int
    BACKUP_FAILED: int
    WRITE_FAILED: int

class ListStatus(Enum):
    LISTED: int
    HEADER_UNREAD: int
    NO_FULL_STOP: int
    VIEWS_UNREAD: int
    SIZE_LIST_UNREAD: int
    COMMON_LIST_UNREAD: int
    SIZE_MEMBERS_UNREAD: int

class Severity(Enum):
    ERROR: int
    WARNING: int
    NOTE: int

class Consequence(Enum):
    GOES_ON: int
    SOURCE_STOPS: int
    FILE_NOT_WRITTEN: int
    RUN_STOPS: int

Text = str | bytes
Path = str | PathLike[str]

def version() -> str: ...

class ModelError(ValueError):
    problems: list[tuple[str, str]]
    pointer: str
    rule: str

class PartsFileError(OSError):
    status: ReadStatus | WriteStatus | ListStatus
    path: str

class CompileError(Exception):
    status: CompileEnd
    diagnostics: list[Diagnostic]

class Record:
    def __getattr__(self, name: str) -> Any: ...
    def __setattr__(self, name: str, value: Any) -> None: ...
    def to_dict(self) -> dict[str, Any]: ...

class RecordList:
    def __len__(self) -> int: ...
    def __getitem__(self, index: int) -> Any: ...
    def __setitem__(self, index: int, value: Any) -> None: ...
    def __delitem__(self, index: int) -> None: ...
    def __iter__(self) -> Iterator[Any]: ...
    def append(self, value: Any) -> None: ...
    def insert(self, index: int, value: Any) -> None: ...

class Model(Record):
    def to_json(self) -> str: ...
    def copy(self) -> Model: ...
    def problems(self, path: Path = "") -> list[tuple[str, str]]: ...
    def check(self, path: Path = "") -> None: ...
    def place_member_lists(self) -> None: ...
    def encode(self) -> bytes: ...
    def write(self, path: Path) -> None: ...
    def listing(self, path: Path) -> bytes: ...

def from_dict(document: dict[str, Any]) -> Model: ...
def from_json(text: str) -> Model: ...
def decode(data: bytes) -> Model: ...
def read(path: Path) -> Model: ...

@dataclass
class Diagnostic:
    name: str
    severity: Severity
    consequence: Consequence
    message: Text
    file: Text
    line: int
    column: int
    extra: Text
    reason: Text
    after_stop: bool

@dataclass
class CompileResult:
    status: CompileEnd
    reason: Text
    parts_path: Text
    bytes: bytes
    model: Model | None
    diagnostics: list[Diagnostic]
    error_log: bytes
    @property
    def compiled(self) -> bool: ...
    def check(self) -> CompileResult: ...

def compile_text(text: Text, path: Path, *, warnings: Iterable[str] = ...,
                 parts_directory: Path = "", keep_going: bool = False) -> CompileResult: ...
def compile_file(path: Path, *, warnings: Iterable[str] = ...,
                 parts_directory: Path = "", keep_going: bool = False) -> CompileResult: ...
def diff(old: Model, new: Model, old_name: str = "old", new_name: str = "new") -> dict[str, Any]: ...
def diff_text(old: Model, new: Model, old_name: str = "old", new_name: str = "new") -> str: ...
