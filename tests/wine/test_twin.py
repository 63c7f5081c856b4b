"""What the release artefact and its twin see on the same WoW64 prefix.

platprobe.exe is built for i686 and for x86_64 from the program's own Win32
platform layer and asked the same questions (see platprobe.cpp): folders,
environment, registry view, files and programs reached through the system
folder, the spooler. Each answer is a check: the twin must see what the real
32-bit process sees, except for the differences named below, which are
checked to be exactly what they are.
"""

from __future__ import annotations

import types

import pytest

from conftest import only, scenario

# Answers the twin must give exactly as the 32-bit process does.
SAME = [
    "version",
    "system-directory",
    "windows-directory",
    "shell-folder-system",
    "shell-folder-windows",
    "shell-folder-programs",
    "environment-ProgramFiles",
    "environment-ProgramFiles(x86)",
    "environment-ProgramW6432",
    "environment-CommonProgramFiles",
    "environment-CommonProgramFiles(x86)",
    "environment-CommonProgramW6432",
    "environment-ProgramData",
    "environment-ALLUSERSPROFILE",
    "environment-windir",
    "environment-SystemRoot",
    "expand-%ProgramFiles%\\A",
    "expand-%CommonProgramFiles%\\B",
    "expand-%SystemRoot%\\system32\\C",
    "registry-view",
    "registry-shareddlls-key",
    "files-in-system-directory",
    "files-in-shell-folder-system",
    "spool-file-in-system-directory",
    "spooler-driver-directory",
    "spooler-processor-directory",
    "spooler-monitors",
    "spooler-drivers",
]

# Named differences: (i686, twin).
DIFFERENT = {
    # The probes are what they claim to be.
    "pointer-bits": ("32", "64"),
    # "twin-starts-native-programs": a program the 32-bit process starts as
    # <system32>\X is SysWOW64's (file-system redirection); the twin starts
    # system32's. For the tool this is msiexec: the release artefact runs the
    # 32-bit msiexec, the twin the 64-bit one, which the twin's own prefixes
    # (no 32-bit half) are the only one they have. Both hand the uninstall to
    # Windows Installer; test_silent's machine comparison checks the end.
    "program-started-from-system-directory": ("32", "64"),
}


def facts(text: str) -> dict[str, str]:
    return dict(line.split("\t", 1) for line in text.replace("\r", "").splitlines() if "\t" in line)


@scenario("twin-probe", variants=("i686-msi32", "i686-xp64"))
class TestTwinSeesWhatI686Sees:
    @staticmethod
    def perform(lab, variant):
        prefix = lab.fresh(variant.base, f"twin-probe-{variant.name}")
        out = types.SimpleNamespace()
        c = prefix.drive_c
        (c / "windows/system32/zcprobe-native.txt").write_text("native\n")
        (c / "windows/syswow64/zcprobe-wow64.txt").write_text("wow64\n")
        (c / "windows/system32/spool/zcprobe-spool.txt").write_text("spool\n")
        (c / "windows/system32/zcbits.exe").write_bytes(lab.helper("zcbits-x64.exe").read_bytes())
        (c / "windows/syswow64/zcbits.exe").write_bytes(lab.helper("zcbits-i686.exe").read_bytes())
        prefix.reg_add(r"HKLM\Software\ZENTA Probe", "View", "32-bit view", 32)
        prefix.reg_add(r"HKLM\Software\ZENTA Probe", "View", "64-bit view", 64)
        tools = c / "Tools"
        tools.mkdir()
        out.seen = {}
        for program in ("i686", "x64"):
            exe = lab.helper(f"platprobe-{program}.exe")
            (tools / exe.name).write_bytes(exe.read_bytes())
            _, text = prefix.output(exe.name, cwd=tools, timeout=300)
            out.seen[program] = facts(text.decode("utf-8", "replace"))
        prefix.wait()
        return out

    @pytest.mark.parametrize("fact", SAME)
    def test_twin_sees_the_same(self, outcome, fact):
        i686, twin = outcome.seen["i686"].get(fact), outcome.seen["x64"].get(fact)
        assert i686 is not None, f"the i686 probe gave no {fact}"
        assert twin == i686

    @pytest.mark.parametrize("fact", sorted(DIFFERENT))
    def test_named_difference(self, outcome, fact):
        assert (outcome.seen["i686"].get(fact), outcome.seen["x64"].get(fact)) == DIFFERENT[fact]

    def test_every_answer_is_checked(self, outcome):
        for program in ("i686", "x64"):
            assert set(outcome.seen[program]) == set(SAME) | set(DIFFERENT)

    def test_32_bit_process_sees_the_32_bit_registry_view(self, outcome):
        assert outcome.seen["i686"]["registry-view"] == "32-bit view"

    def test_32_bit_process_reaches_syswow64_through_system32(self, outcome):
        assert outcome.seen["i686"]["system-directory"].lower() == "c:\\windows\\system32"
        assert outcome.seen["i686"]["files-in-system-directory"] == "zcprobe-wow64.txt"
        assert outcome.seen["i686"]["spool-file-in-system-directory"] == "seen"

    def test_32_bit_process_uses_the_x86_print_environment(self, outcome):
        assert outcome.seen["i686"]["spooler-driver-directory"].lower().endswith("\\spool\\drivers\\w32x86")
        assert "|Windows NT x86|" in outcome.seen["i686"]["spooler-monitors"]

    @only("i686-xp64")
    def test_xp64_reports_version_5_2(self, outcome):
        assert outcome.seen["i686"]["version"] == "5.2"
