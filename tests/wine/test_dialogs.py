"""The dialogs under Xvfb: the help box, and an interactive run driven by X
clicks while dlgprobe.exe reads the windows' controls. The interactive run
of the twin writes the pictures in docs/screenshots (basic mode, custom
mode, about box) from the packages the suite installs; the others go to
build/wine-artifacts.
"""

from __future__ import annotations

import dataclasses
import re
import subprocess
import time
import types

import pytest

import winelab
from conftest import SILENT, Lab, only, scenario
from test_silent import EXIT_LINE, assert_registered

BASIC = "ZENTA Cleanup Tool"
CUSTOM = "ZENTA Cleanup Tool (Custom Mode)"
ABOUT = "About ZENTA Cleanup Tool"
HELP = "ZENTA Cleanup Tool Help"
COMPLETED = "Operation Completed"
# How far (pixels) the release artefact's windows may differ in size from the
# twin's: both draw the same templates with the same fonts.
SIZE_TOLERANCE = 4
# dlgprobe's "controls" line: id, enabled, class, left, top, width, height, text.
CONTROL_LINE = re.compile(r"^(-?\d+) ([01]) (\S+) (-?\d+) (-?\d+) (\d+) (\d+)(?: (.*))?$")


@dataclasses.dataclass
class Control:
    id: int
    enabled: bool
    cls: str
    left: int
    top: int
    width: int
    height: int
    text: str


class Probe:
    """dlgprobe.exe in the prefix, and X clicks on what it finds."""

    def __init__(self, prefix: winelab.Prefix, screen: winelab.Screen):
        self.prefix = prefix
        self.screen = screen
        self.sizes: dict[str, tuple[int, int]] = {}  # title -> (width, height), of every window shot

    def __call__(self, *args: str, timeout: float = 120) -> tuple[int, str]:
        rc, out = self.prefix.output("C:\\Tools\\dlgprobe.exe", *args, timeout=timeout)
        return rc, out.decode("utf-8", "replace").replace("\r", "")

    def wait(self, title: str, seconds: int = 90) -> bool:
        return self("wait", title, str(seconds), timeout=seconds + 60)[0] == 0

    def gone(self, title: str, seconds: int = 20) -> bool:
        return self("gone", title, str(seconds), timeout=seconds + 60)[0] == 0

    def controls(self, title: str) -> dict[int, Control]:
        """The window's child controls by id; a text of several lines (a
        message box's) goes on over the lines that follow its control's."""
        rc, out = self("controls", title)
        found: dict[int, Control] = {}
        last = None
        for line in out.splitlines() if rc == 0 else []:
            match = CONTROL_LINE.match(line)
            if match:
                last = Control(int(match[1]), match[2] == "1", match[3], *map(int, match.group(4, 5, 6, 7)),
                               match[8] or "")
                found[last.id] = last
            elif last is not None:
                last.text += "\n" + line
        return found

    def entries(self, title: str, list_id: int) -> list[str]:
        rc, out = self("list", title, str(list_id))
        return out.splitlines() if rc == 0 else []

    def rect(self, title: str):
        rc, out = self("rect", title)
        return tuple(int(v) for v in out.split()) if rc == 0 else None

    def click(self, title: str, control_id: int, dx=None, dy=None) -> bool:
        c = self.controls(title).get(control_id)
        if not c:
            return False
        self.screen.click(c.left + (dx if dx is not None else c.width // 2),
                          c.top + (dy if dy is not None else c.height // 2))
        return True

    def shot(self, title: str, dest) -> bool:
        rect = self.rect(title)
        if not rect:
            return False
        self.sizes[title] = rect[2:]
        time.sleep(0.5)  # let the window finish painting
        self.screen.shot(dest, rect)
        return dest.is_file() and dest.stat().st_size > 0

    def close(self, title: str, ok_id: int) -> bool:
        """Presses OK of a box or dialog and waits until it has gone."""
        if not self.click(title, ok_id):
            return False
        closed = self.gone(title)
        time.sleep(1)
        return closed


def start_session(lab: Lab, variant, label: str):
    if lab.screen is None:
        pytest.fail("no X display: DISPLAY is not set (scripts/wine-suite.sh starts Xvfb)")
    prefix = lab.fresh(variant.base, label)
    prefix.install_tools(lab.exe(variant.program), lab.helper("MSIZap.exe"), lab.helper("dlgprobe.exe"))
    probe = Probe(prefix, lab.screen)
    out = types.SimpleNamespace(prefix=prefix, shots={}, probe=probe)
    return prefix, probe, out


def finish(lab: Lab, prefix, proc, out, timeout: float = 120):
    lab.window_sizes[out.label] = out.probe.sizes
    try:
        out.rc = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        out.rc = None
    prefix.wait()
    out.run = winelab.ToolRun(out.rc if out.rc is not None else -1, prefix.read_log())
    out.registration = prefix.registration(lab.packed)
    if out.run.log:
        lab.artifacts.mkdir(parents=True, exist_ok=True)
        (lab.artifacts / f"{out.label}.wine.log").write_bytes(out.run.log)


def size_differences(lab: Lab, scenario_name: str, variant) -> dict:
    """The windows whose size in this run differs from the twin's in the same
    scenario by more than SIZE_TOLERANCE: title -> (this size, the twin's)."""
    twin = lab.window_sizes.get(f"{scenario_name}-x64")
    if twin is None:
        pytest.skip(f"the twin's {scenario_name} run was not selected")
    sizes = lab.window_sizes[f"{scenario_name}-{variant.name}"]
    assert sizes, "no window was measured"
    return {t: (s, twin.get(t)) for t, s in sizes.items()
            if t not in twin or any(abs(a - b) > SIZE_TOLERANCE for a, b in zip(s, twin[t]))}


def shot_path(lab: Lab, variant, name: str, docs: bool):
    if docs and variant.name == "x64":
        return lab.docs_shots / f"{name}.png"
    return lab.artifacts / f"{name}-{variant.name}.png"


# ---------------------------------------------------------------- -help


@scenario("help", variants=SILENT)
class TestHelp:
    @staticmethod
    def perform(lab, variant):
        prefix, probe, out = start_session(lab, variant, f"help-{variant.name}")
        out.label = f"help-{variant.name}"
        proc = prefix.start("ZENTACleanup.exe", "-help", "-all", "-log", "C:\\zc.log", cwd=prefix.drive_c / "Tools")
        out.appeared = probe.wait(HELP)
        out.texts = " ".join(c.text for c in probe.controls(HELP).values()) if out.appeared else ""
        if out.appeared:
            out.shots["help"] = probe.shot(HELP, shot_path(lab, variant, "help", docs=False))
            out.closed = probe.close(HELP, lab.ids["IDOK"])
        else:
            out.closed = False
        finish(lab, prefix, proc, out)
        return out

    def test_help_box_appears(self, outcome):
        assert outcome.appeared

    def test_help_box_names_the_options(self, outcome):
        for option in ("-all", "-dryrun", "-folder", "-log"):
            assert option in outcome.texts

    def test_ok_closes_the_help_box(self, outcome):
        assert outcome.closed

    def test_exit_status(self, outcome):
        assert outcome.rc == 0

    def test_log_form(self, outcome):
        assert winelab.log_form_problems(outcome.run.log) == []

    @only("i686-msi32", "i686-msi64")
    def test_box_size_matches_the_twin(self, lab, variant, outcome):
        assert size_differences(lab, "help", variant) == {}

    def test_log_holds_the_start_line_only(self, outcome):
        assert [line for line in outcome.run.lines if line] == [outcome.run.lines[0]]
        assert outcome.run.log.endswith(b"\r\n\r\n")

    def test_nothing_removed(self, lab, outcome):
        assert_registered(outcome, lab.products, True)


# ---------------------------------------------------------------- interactive


@scenario("interactive", variants=("x64", "i686-msi32"))
class TestInteractive:
    """The twin goes through every dialog; the release artefact, slower
    under emulation, shows the basic-mode list and does one Dry Run."""

    @staticmethod
    def perform(lab, variant):
        ids = lab.ids
        full = variant.name == "x64"
        prefix, probe, out = start_session(lab, variant, f"interactive-{variant.name}")
        out.label = f"interactive-{variant.name}"
        proc = prefix.start("ZENTACleanup.exe", "-log", "C:\\zc.log", cwd=prefix.drive_c / "Tools")
        out.basic = probe.wait(BASIC)
        if not out.basic:
            proc.kill()
            finish(lab, prefix, proc, out)
            return out
        out.entries = probe.entries(BASIC, ids["IDC_PRODUCT_LIST"])
        controls = probe.controls(BASIC)
        out.initially_enabled = {i: controls[i].enabled for i in (ids["IDOK"], ids["IDC_DRY_RUN"]) if i in controls}
        out.shots["basic-mode"] = probe.shot(BASIC, shot_path(lab, variant, "basic-mode", docs=True))

        if full:
            probe("syscommand", BASIC, str(ids["IDM_ABOUTBOX"]))
            out.about = probe.wait(ABOUT, 30)
            if out.about:
                out.shots["about"] = probe.shot(ABOUT, shot_path(lab, variant, "about", docs=True))
                out.about_closed = probe.close(ABOUT, ids["IDOK"])

        # Select the first entry with a click: Remove and Dry Run come alive.
        for _ in range(3):
            probe.click(BASIC, ids["IDC_PRODUCT_LIST"], dx=20, dy=6)
            time.sleep(0.5)
            controls = probe.controls(BASIC)
            if controls.get(ids["IDC_DRY_RUN"]) and controls[ids["IDC_DRY_RUN"]].enabled:
                break
        out.selected_enabled = {i: controls[i].enabled for i in (ids["IDOK"], ids["IDC_DRY_RUN"]) if i in controls}
        out.shots["basic-mode-selected"] = probe.shot(BASIC, shot_path(lab, variant, "basic-mode-selected", docs=False))

        probe.click(BASIC, ids["IDC_DRY_RUN"])
        out.completed = probe.wait(COMPLETED, 120)
        out.completed_text = ""
        if out.completed:
            out.completed_text = " ".join(c.text for c in probe.controls(COMPLETED).values())
            out.shots["operation-completed"] = probe.shot(
                COMPLETED, shot_path(lab, variant, "operation-completed", docs=False)
            )
            probe.close(COMPLETED, ids["IDOK"])
        out.basic_again = probe.wait(BASIC, 120)

        if full and out.basic_again:
            probe.click(BASIC, ids["IDC_CUSTOM_MODE"])
            out.custom = probe.wait(CUSTOM, 60)
            if out.custom:
                out.families = probe.entries(CUSTOM, ids["IDC_FAMILY_LIST"])
                out.shots["custom-mode"] = probe.shot(CUSTOM, shot_path(lab, variant, "custom-mode", docs=True))
                probe.click(CUSTOM, ids["IDCANCEL"])
        elif out.basic_again:
            probe.click(BASIC, ids["IDCANCEL"])
        finish(lab, prefix, proc, out)
        return out

    def test_basic_mode_dialog_appears(self, outcome):
        assert outcome.basic

    def test_first_entry_is_all_products(self, outcome):
        assert outcome.entries[:1] == ["All ZENTA Products"]

    def test_list_holds_the_installed_vendor_products(self, lab, outcome):
        assert sorted(outcome.entries[1:]) == sorted(p.name for p in lab.zenta)

    def test_remove_and_dry_run_disabled_without_selection(self, lab, outcome):
        assert outcome.initially_enabled == {lab.ids["IDOK"]: False, lab.ids["IDC_DRY_RUN"]: False}

    def test_selection_enables_remove_and_dry_run(self, lab, outcome):
        assert outcome.selected_enabled == {lab.ids["IDOK"]: True, lab.ids["IDC_DRY_RUN"]: True}

    def test_dry_run_ends_with_operation_completed(self, outcome):
        assert outcome.completed
        assert "Dry Run operation performed on All ZENTA Products" in outcome.completed_text

    def test_basic_mode_dialog_comes_back(self, outcome):
        assert outcome.basic_again

    @only("x64")
    def test_about_box_from_the_system_menu(self, outcome):
        assert outcome.about and outcome.about_closed

    @only("x64")
    def test_custom_mode_lists_the_families_sorted(self, lab, outcome):
        # Every family but "ZENTA Tavlo Software" (cleaned with the drivers),
        # when it has fallback codes or an installed package.
        installed = {p.upgrade for p in lab.zenta}
        expected = [
            f.label
            for f in lab.catalogue
            if f.label != "ZENTA Tavlo Software" and (f.fallback or f.upgrade in installed)
        ]
        assert outcome.custom
        assert outcome.families == sorted(expected, key=str.casefold)

    @only("i686-msi32")
    def test_window_sizes_match_the_twin(self, lab, variant, outcome):
        # The basic-mode dialog and the completion box, which both runs show.
        assert size_differences(lab, "interactive", variant) == {}

    def test_screenshots_written(self, outcome):
        assert outcome.shots and all(outcome.shots.values()), outcome.shots

    def test_exit_status(self, outcome):
        assert outcome.rc == 0

    def test_log_form(self, outcome):
        assert winelab.log_form_problems(outcome.run.log) == []

    def test_log_records_the_dry_run(self, outcome):
        assert outcome.run.has_line("*****Performing Dry Run for All ZENTA Products")
        assert outcome.run.has_line("Dry Run operation performed on All ZENTA Products")

    @only("x64")
    def test_log_records_custom_mode(self, outcome):
        assert outcome.run.has_line("==Running in Custom Mode==")

    def test_cancel_ends_the_run(self, outcome):
        assert outcome.run.lines[-1] == EXIT_LINE

    def test_nothing_removed(self, lab, outcome):
        assert_registered(outcome, lab.products, True)
