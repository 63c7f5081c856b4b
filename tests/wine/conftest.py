"""The Wine suite's plumbing for pytest: where the programs are, the product
facts, the helper programs, the prefixes every scenario starts from, and the
choice of scenarios.

A scenario is a test class marked `@scenario("name", variants=...)`; it runs
once per variant (the program and the prefix it runs on, see VARIANTS) in a
class-scoped fixture `outcome`, and each of its checks is a test of its own,
named `Class::test_check[variant]`. `bash scripts/wine-suite.sh NAME...` (or
pytest's `--scenario NAME` / `--scenario NAME:VARIANT`) runs chosen ones.

Environment (set by scripts/wine-suite.sh; the defaults are the build tree's):
  ZC_WINE_X64, ZC_WINE_I686, ZC_LINUX   the three programs
  ZC_WINE32_ENV                          build/wine32/env (scripts/wine32-setup.sh)
  ZC_WINE_WORK                           a scratch folder for prefixes
  DISPLAY                                the X server for the dialogs
"""

from __future__ import annotations

import dataclasses
import os
import shutil
import subprocess
import tempfile
import time
from pathlib import Path
from typing import Optional

import pytest

import winelab
from winelab import ROOT, WINE_DIR, Prefix, Screen, Wine


@dataclasses.dataclass(frozen=True)
class Variant:
    """Which program runs on which prefix."""

    name: str
    program: str  # "x64" (the twin) or "i686" (the release artefact)
    base: str  # the base prefix (Lab.BASES)

    @property
    def i686(self) -> bool:
        return self.program == "i686"


VARIANTS = {
    v.name: v
    for v in (
        # The twin on a 64-bit prefix of the system's wine64, packages
        # installed by the 64-bit msiexec.
        Variant("x64", "x64", "wine64"),
        # The release artefact on a WoW64 prefix, packages installed by the
        # 32-bit msiexec (as the vendor's 32-bit installers run) ...
        Variant("i686-msi32", "i686", "wow64-msi32"),
        # ... and by the 64-bit one.
        Variant("i686-msi64", "i686", "wow64-msi64"),
        # The release artefact on a WoW64 prefix that reports Windows XP
        # 64-bit (version 5.2): the pre-Vista road.
        Variant("i686-xp64", "i686", "wow64-xp64"),
    )
}
SILENT = ("x64", "i686-msi32", "i686-msi64")


def scenario(name: str, variants=("x64",)):
    """Marks a test class as the scenario `name`, run once per variant."""

    def mark(cls):
        cls.scenario_name = name
        cls = pytest.mark.scenario(name)(cls)
        return pytest.mark.variants(*variants)(cls)

    return mark


def only(*variants: str):
    """Restricts one check of a scenario to some of its variants."""
    return pytest.mark.variants(*variants)


# ---------------------------------------------------------------- options


def pytest_addoption(parser):
    parser.addoption(
        "--scenario",
        action="append",
        default=[],
        metavar="NAME[:VARIANT]",
        help="run only this scenario (all its variants, or one); may be repeated",
    )


def pytest_configure(config):
    config.addinivalue_line("markers", "scenario(name): the scenario a test class is")
    config.addinivalue_line("markers", "variants(*names): the variants a scenario or check runs in")


def pytest_generate_tests(metafunc):
    if "variant" not in metafunc.fixturenames:
        return
    # The class names its variants; a check may narrow them (only()).
    names = None
    for marker in metafunc.definition.iter_markers("variants"):
        names = [n for n in marker.args if names is None or n in names]
    names = names if names is not None else ["x64"]
    for name in names:
        if name not in VARIANTS:
            raise pytest.UsageError(f"unknown variant {name}")
    metafunc.parametrize("variant", names, indirect=True, scope="class")


@pytest.hookimpl(trylast=True)
def pytest_collection_modifyitems(config, items):
    # A check narrowed to variants its scenario does not run in is no test.
    dropped = [i for i in items if hasattr(i, "callspec") and "variant" in i.callspec.params
               and i.callspec.params["variant"] not in VARIANTS]
    if dropped:
        config.hook.pytest_deselected(items=dropped)
        items[:] = [i for i in items if i not in dropped]
    select(config, items)
    # One scenario run per class and variant: keep each class's checks of one
    # variant together (a check limited to some variants would otherwise let
    # pytest interleave the variants and run a scenario again).
    first: dict[tuple, int] = {}
    for item in items:
        variant = item.callspec.params.get("variant") if hasattr(item, "callspec") else None
        first.setdefault((item.module.__name__, item.cls.__name__ if item.cls else ""), len(first))
        first.setdefault((item.module.__name__, item.cls.__name__ if item.cls else "", variant), len(first))

    def key(item):
        variant = item.callspec.params.get("variant") if hasattr(item, "callspec") else None
        cls = item.cls.__name__ if item.cls else ""
        return first[(item.module.__name__, cls)], first[(item.module.__name__, cls, variant)]

    items.sort(key=key)


def select(config, items):
    wanted = config.getoption("scenario")
    if not wanted:
        return
    known = {item.get_closest_marker("scenario").args[0] for item in items if item.get_closest_marker("scenario")}
    for entry in wanted:
        if entry.split(":", 1)[0] not in known:
            raise pytest.UsageError(f"no scenario {entry} (scenarios: {', '.join(sorted(known))})")
    selected, deselected = [], []
    for item in items:
        mark = item.get_closest_marker("scenario")
        name = mark.args[0] if mark else None
        variant = item.callspec.params.get("variant") if hasattr(item, "callspec") else None
        if name in wanted or (variant and f"{name}:{variant}" in wanted):
            selected.append(item)
        else:
            deselected.append(item)
    config.hook.pytest_deselected(items=deselected)
    items[:] = selected


# ---------------------------------------------------------------- the lab


class Lab:
    """Everything the scenarios share for the session."""

    BASES = ("wine64", "wow64-empty", "wow64-msi32", "wow64-msi64", "wow64-xp64")

    def __init__(self, work: Path):
        env = os.environ
        self.work = work
        self.x64_exe = Path(env.get("ZC_WINE_X64", ROOT / "build/win-x64/ZENTACleanup.exe"))
        self.i686_exe = Path(env.get("ZC_WINE_I686", ROOT / "build/win-i686/ZENTACleanup.exe"))
        self.linux_tool = Path(env.get("ZC_LINUX", ROOT / "build/dev/zentacleanup"))
        self.wine32_env = Path(env.get("ZC_WINE32_ENV", ROOT / "build/wine32/env"))
        self.artifacts = ROOT / "build" / "wine-artifacts"
        self.docs_shots = ROOT / "docs" / "screenshots"
        self.helper_dir = ROOT / "build" / "wine-helpers"
        self.screen = Screen(env["DISPLAY"]) if env.get("DISPLAY") else None
        for program in (self.x64_exe, self.i686_exe, self.linux_tool):
            if not program.is_file():
                raise pytest.UsageError(f"{program} is missing: build it, or run scripts/wine-suite.sh")

        self.products = winelab.read_products()
        self.zenta = [p for p in self.products if p.maker == "ZENTA Technologies Inc"]
        self.others = [p for p in self.products if p.maker != "ZENTA Technologies Inc"]
        self.catalogue = winelab.read_catalogue(self.linux_tool)
        self.packed = winelab.pack_guids(self.linux_tool, [p.code for p in self.products])
        self.ids = winelab.read_resource_ids()
        self.timings: list[tuple[str, float]] = []
        # The sizes of the windows each dialog scenario measured, by its label
        # (scenario-variant), so that the release artefact's are compared with the twin's.
        self.window_sizes: dict[str, dict[str, tuple[int, int]]] = {}
        self._bases: dict[str, Prefix] = {}
        self._packages: Optional[list[Path]] = None
        self._helpers: dict[str, Path] = {}
        self.live: list[Prefix] = []

    # -- facts

    def product(self, pid: str) -> winelab.Product:
        return next(p for p in self.products if p.id == pid)

    def family(self, label: str) -> winelab.Family:
        return next(f for f in self.catalogue if f.label == label)

    def family_products(self, label: str) -> list[winelab.Product]:
        upgrade = self.family(label).upgrade
        return [p for p in self.zenta if p.upgrade == upgrade]

    def exe(self, program: str) -> Path:
        return {"x64": self.x64_exe, "i686": self.i686_exe}[program]

    def timed(self, label: str, start: float) -> None:
        self.timings.append((label, time.monotonic() - start))

    # -- things built for the suite

    def packages(self) -> list[Path]:
        if self._packages is None:
            start = time.monotonic()
            out = self.work / "packages"
            subprocess.run(["bash", str(WINE_DIR / "build-packages.sh"), str(out)], check=True, capture_output=True)
            self._packages = sorted(out.glob("*.msi"))
            self.timed("test packages (wixl)", start)
        return self._packages

    def helper(self, name: str) -> Path:
        """A helper program of tests/wine, built on first use and kept in
        build/wine-helpers while its sources are older than it."""
        if name in self._helpers:
            return self._helpers[name]
        flags = ["-std=c++20", "-O1", "-Wall", "-Wextra", "-Werror", "-static", "-municode"]
        win = ["-DUNICODE", "-D_UNICODE", "-DWIN32_LEAN_AND_MEAN", "-DNOMINMAX", "-D_WIN32_WINNT=0x0601"]
        backend = [ROOT / "src/platform/win32" / f"win32_{unit}.cpp" for unit in
                   ("system_info", "registry", "spooler", "processes", "filesystem")]
        recipes = {
            "MSIZap.exe": ("x86_64", [WINE_DIR / "msizap/msizap.cpp"], [], []),
            "dlgprobe.exe": ("x86_64", [WINE_DIR / "dlgprobe/dlgprobe.cpp"], [], []),
            "exitcode.exe": ("x86_64", [WINE_DIR / "exitcode/exitcode.cpp"], [], []),
            "zcbits-x64.exe": ("x86_64", [WINE_DIR / "platprobe/zcbits.cpp"], [], []),
            "zcbits-i686.exe": ("i686", [WINE_DIR / "platprobe/zcbits.cpp"], [], []),
        }
        for arch, tag in (("x86_64", "x64"), ("i686", "i686")):
            recipes[f"platprobe-{tag}.exe"] = (
                arch,
                [WINE_DIR / "platprobe/platprobe.cpp", *backend, ROOT / "src/platform/text.cpp"],
                [*win, f"-I{ROOT / 'src'}"],
                ["-lshlwapi", "-lwinspool", "-lshell32", "-ladvapi32"],
            )
        arch, sources, extra, libs = recipes[name]
        out = self.helper_dir / name
        newest = max(p.stat().st_mtime for p in sources + list((ROOT / "src/platform").rglob("*.h")))
        if not out.exists() or out.stat().st_mtime < newest:
            self.helper_dir.mkdir(parents=True, exist_ok=True)
            start = time.monotonic()
            subprocess.run(
                [f"{arch}-w64-mingw32-g++-posix", *flags, *extra, "-o", str(out), *map(str, sources), *libs],
                check=True,
            )
            self.timed(f"helper {name}", start)
        self._helpers[name] = out
        return out

    # -- prefixes

    def wine_for(self, base: str) -> Wine:
        return Wine.wine64() if base == "wine64" else Wine.wow64(self.wine32_env)

    def base(self, name: str) -> Prefix:
        """A prefix of the kind `name`, made once a session and never run in:
        scenarios work on copies (fresh()). wine64: the system's wine64, every
        package installed by msiexec; wow64-*: the WoW64 set-up, the packages
        installed by the 32-bit or the 64-bit msiexec, or (xp64) a copy of
        wow64-msi32 that reports Windows XP 64-bit."""
        if name in self._bases:
            return self._bases[name]
        if name not in self.BASES:
            raise KeyError(name)
        wine = self.wine_for(name)
        path = self.work / f"base-{name}"
        args = ["bash", str(WINE_DIR / "make-prefix.sh")]
        if wine.env_file:
            args += ["--wow64", str(wine.env_file)]
        if name == "wine64":
            args += [str(path), *map(str, self.packages())]
        elif name == "wow64-empty":
            args += [str(path)]
        elif name == "wow64-xp64":
            args += ["--from", str(self.base("wow64-msi32").path), "--version", "winxp64", str(path)]
        else:
            bits = name.rsplit("msi", 1)[1]
            args += ["--from", str(self.base("wow64-empty").path), "--msiexec", bits, str(path),
                     *map(str, self.packages())]
        start = time.monotonic()
        proc = subprocess.run(args, capture_output=True, text=True)
        self.timed(f"base prefix {name}", start)
        if proc.returncode != 0:
            raise RuntimeError(f"make-prefix.sh for {name} failed:\n{proc.stderr}")
        self._bases[name] = Prefix(path, wine)
        return self._bases[name]

    def fresh(self, base: str, label: str) -> Prefix:
        """A copy of the base prefix, removed with every process in it when
        the scenario that asked for it is done."""
        dest = self.work / label
        shutil.rmtree(dest, ignore_errors=True)
        prefix = self.base(base).clone(dest)
        self.live.append(prefix)
        return prefix


_lab: Optional[Lab] = None


@pytest.fixture(scope="session")
def lab(tmp_path_factory):
    global _lab
    work = Path(os.environ.get("ZC_WINE_WORK") or tempfile.mkdtemp(prefix="zc-wine-"))
    _lab = Lab(work)
    yield _lab
    for prefix in _lab._bases.values():
        prefix.remove()


@pytest.fixture(scope="class")
def variant(request) -> Variant:
    return VARIANTS[request.param]


@pytest.fixture(scope="class")
def outcome(request, lab, variant):
    """The scenario's one run in this variant (the class's perform())."""
    start = time.monotonic()
    try:
        result = request.cls.perform(lab, variant)
        lab.timed(f"{request.cls.scenario_name}[{variant.name}]", start)
        yield result
    finally:
        while lab.live:
            lab.live.pop().remove()


def pytest_terminal_summary(terminalreporter):
    if not _lab or not _lab.timings:
        return
    terminalreporter.section("Wine suite timings")
    part32 = 0.0
    for label, seconds in _lab.timings:
        terminalreporter.write_line(f"  {seconds:7.1f} s  {label}")
        # A scenario's time holds the base prefixes and helpers it made.
        if "[i686" in label:
            part32 += seconds
    terminalreporter.write_line(f"  {part32:7.1f} s  the 32-bit part: the i686 scenarios, their WoW64 prefixes included")
