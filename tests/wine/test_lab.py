"""The suite's own comparisons, on logs made here: each must notice what it
is there to notice, or the scenarios' checks built on it could not fail."""

from __future__ import annotations

import pytest

import winelab
from conftest import scenario

GOOD = (
    b"ZENTA Cleanup Tool started at 12/09/2026 14:30:21\r\n\r\n"
    b"12/09/2026 14:30:22 Cleaning up ZENTA Vexil 1.5\r\n"
    b"Removed Entry : C:\\Program Files (x86)\\ZENTA Technologies\\ZENTA Vexil\\VexilCore.dll  -- Shared Count: 1\r\n"
    b"\r\n**** Exiting the ZENTA Cleanup Tool Application *****"
)


@scenario("self-check")
class TestLogForm:
    def test_a_good_log_passes(self):
        assert winelab.log_form_problems(GOOD) == []

    @pytest.mark.parametrize(
        "bad,problem",
        [
            (b"\xef\xbb\xbf" + GOOD, "byte-order mark"),
            (GOOD.replace(b"\r\n\r\n**** Exiting", b"\r\n\n**** Exiting"), "LF without CR"),
            (GOOD + b"\r", "not followed by LF"),
            (GOOD.split(b"\r\n", 1)[1], "not the start line"),
            (b"", "no log"),
            (None, "no log"),
        ],
        ids=["bom", "bare-lf", "lone-cr", "no-start-line", "empty", "missing"],
    )
    def test_a_bad_log_is_named(self, bad, problem):
        problems = winelab.log_form_problems(bad)
        assert any(problem in p for p in problems), problems


@scenario("self-check")
class TestLogComparison:
    def test_time_stamps_do_not_count(self):
        later = GOOD.replace(b"14:30:22", b"15:01:59").replace(b"14:30:21", b"15:01:58")
        assert winelab.compare_logs(GOOD, later).equal

    def test_an_unexplained_line_on_either_side_is_reported(self):
        odd = GOOD + b"\r\nRemoved Entry : C:\\Other\\x.dll  -- Shared Count: 1\r\n"
        assert winelab.compare_logs(GOOD, odd).unexplained == ["+Removed Entry : C:\\Other\\x.dll  -- Shared Count: 1"]
        assert winelab.compare_logs(odd, GOOD).unexplained[0].startswith("-Removed Entry : C:\\Other")

    def test_a_named_difference_explains_only_its_lines(self):
        odd = GOOD.replace(b"Shared Count: 1", b"Shared Count: 2") + b"\r\nextra\r\n"
        rules = {"count-differs": lambda line: line.endswith("Shared Count: 1") or line.endswith("Shared Count: 2")}
        comparison = winelab.compare_logs(GOOD, odd, rules)
        assert comparison.explained == {"count-differs": 2}
        assert comparison.unexplained == ["+extra"]

    def test_a_moved_line_is_a_difference(self):
        lines = GOOD.split(b"\r\n")
        moved = b"\r\n".join([lines[0], lines[2], lines[1], *lines[3:]])
        assert not winelab.compare_logs(GOOD, moved).equal


@scenario("self-check")
class TestMachineState:
    def test_a_changed_value_or_file_is_a_difference(self):
        a = winelab.MachineState(["Program Files (x86)/", "Tools/"], ['[Software\\\\A]', '"x"=dword:00000001'])
        b = winelab.MachineState(["Program Files (x86)/", "Tools/", "left.txt"], ['[Software\\\\A]', '"x"=dword:00000002'])
        assert a.differences(a) == []
        assert a.differences(b) == [
            "file +left.txt",
            'registry -"x"=dword:00000001',
            'registry +"x"=dword:00000002',
        ]
