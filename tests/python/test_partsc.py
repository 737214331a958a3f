"""import partsc, in process: the installed package (or the build's, on
PYTHONPATH) against the partsc program's own files."""
import json
import os
import subprocess

import pytest

import partsc

SOURCE = ('$$PARTS !bolt! <1,2> "Hex bolts"\n$$APG\n$TOP !T!\n$$COMMON\ns <3,1>"C"\n'
          '$$SIZE "M4" !small!\np !D! (4) <0,1> "d"\n$$SIZE "M10"\ns [7] <2,0>"S"\n$$END\n')
PARTSC = os.environ.get("PARTSC", "partsc")


@pytest.fixture
def library(tmp_path, monkeypatch):
    monkeypatch.setenv("SOURCE_DATE_EPOCH", "1700000000")
    (tmp_path / "bolt.src").write_text(SOURCE)
    (tmp_path / "RUN.CTL").write_text("bolt.src\n")
    subprocess.run([PARTSC, "-q", "-c", "RUN.CTL"], cwd=tmp_path, check=True)
    return tmp_path


def test_a_compile_gives_the_bytes_and_the_model_of_the_program(library):
    result = partsc.compile_file(library / "bolt.src")
    assert result.status == partsc.CompileEnd.COMPILED and result.compiled
    assert result.parts_path == str(library / "bolt.prt")
    assert result.bytes == (library / "bolt.prt").read_bytes()
    assert result.model == partsc.read(library / "bolt.prt")
    assert result.model.to_dict()["sizes"][1]["members"][0]["record"] == 7
    assert result.error_log == (library / "RUN.CTL.LOG").read_bytes()
    assert partsc.version() == subprocess.run(
        [PARTSC, "--version"], capture_output=True, text=True).stdout.split()[1]


@pytest.mark.parametrize("text, status, name, consequence", [
    ("$$SIZE \"A\"\n$$PARTS !a!\n", partsc.CompileEnd.NOT_PARTS_SOURCE,
     "partsc-not-parts-input", partsc.Consequence.SOURCE_STOPS),
    ("$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\np !LENGTH8! (1)\n$$END\n",
     partsc.CompileEnd.MEMBER_LINE_REFUSED, "partsc-illegal-param",
     partsc.Consequence.SOURCE_STOPS),
])
def test_a_compile_that_stops_says_why(tmp_path, text, status, name, consequence):
    result = partsc.compile_text(text, tmp_path / "a.src")
    assert (result.status, result.bytes, result.model) == (status, b"", None)
    assert [(d.name, d.severity, d.consequence) for d in result.diagnostics] == [
        (name, partsc.Severity.ERROR, consequence)]
    with pytest.raises(partsc.CompileError) as raised:
        result.check()
    assert raised.value.status == status
    assert list(tmp_path.iterdir()) == []


def test_an_edited_model_is_written_as_the_program_writes_it(library):
    path = library / "bolt.prt"
    model = partsc.read(path)
    model.sizes[0].title = b"petit \xe9troit"
    model.sizes[0].members[0].text = "4.5"
    model.write(path)
    assert (library / "bolt.prt.old").exists()
    listed = subprocess.run([PARTSC, "--list", "--format=json", "bolt.prt"], cwd=library,
                            capture_output=True, check=True).stdout
    document = json.loads(listed)
    assert document["file"] == "bolt.prt"
    assert document["sizes"][0]["title"] == {"latin1": "petit \u00e9troit"}
    again = partsc.from_json(listed)
    assert again.sizes[0].title == b"petit \xe9troit"
    assert again.encode() == path.read_bytes()


@pytest.mark.parametrize("edit, pointer, rule", [
    (lambda m: setattr(m.sizes[1].members[0], "number", 300),
     "/sizes/1/members/0/number", "300 is above 256"),
    (lambda m: setattr(m.sizes[0].members[0], "name", "LENGTHS"),
     "/sizes/0/members/0/name", None),
    (lambda m: setattr(m.header, "sort_mode", 3), "/header/sort_mode", None),
])
def test_a_model_that_breaks_a_rule_is_refused_with_its_pointer(library, edit, pointer, rule):
    path = library / "bolt.prt"
    before = path.read_bytes()
    model = partsc.read(path)
    edit(model)
    with pytest.raises(partsc.ModelError) as raised:
        model.write(path)
    assert raised.value.pointer == pointer
    assert rule is None or raised.value.rule == rule
    assert path.read_bytes() == before and not (library / "bolt.prt.old").exists()


def test_files_that_cannot_be_read_raise_with_their_status(tmp_path):
    with pytest.raises(partsc.PartsFileError) as raised:
        partsc.read(tmp_path / "none.prt")
    assert raised.value.status == partsc.ReadStatus.NO_FILE
    with pytest.raises(partsc.ModelError) as raised:
        partsc.from_json("{")
    assert raised.value.pointer == ""
    damaged = partsc.decode(b"f\x00")
    assert damaged.read.whole is False and damaged.read.part == "header"


def test_the_diff_is_the_programs(library):
    old = partsc.read(library / "bolt.prt")
    new = old.copy()
    new.sizes[0].members[0].pair_code = 1
    new.sizes[0].members[0].text = "5"
    new.write(library / "new.prt")
    program = subprocess.run([PARTSC, "--diff", "--format=json", "bolt.prt", "new.prt"],
                             cwd=library, capture_output=True, text=True)
    assert program.returncode == 1
    assert partsc.diff(old, new, "bolt.prt", "new.prt") == json.loads(program.stdout)
    text = subprocess.run([PARTSC, "--diff", "bolt.prt", "new.prt"], cwd=library,
                          capture_output=True, text=True).stdout
    assert partsc.diff_text(old, new, "bolt.prt", "new.prt") == text
    assert "5" in text
