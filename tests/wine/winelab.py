"""The Wine suite's workbench: prefixes, runs of the tool, the simulated
machine made from a prefix, and the comparisons the checks are made of.

Nothing here asserts; the test modules do. Facts about the products come
from tests/wine/packages/products.txt (what the packages install) and from
the Linux program (`--catalogue`, `--pack-guid`); dialog control ids from
src/ui/resource.h.
"""

from __future__ import annotations

import dataclasses
import difflib
import os
import re
import shutil
import subprocess
import tempfile
import time
from collections import Counter
from pathlib import Path
from typing import Callable, Iterable, Optional

ROOT = Path(__file__).resolve().parents[2]
WINE_DIR = ROOT / "tests" / "wine"

# Windows Installer's registration of a 32-bit package on 64-bit Windows.
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
# The account every Wine prefix runs as.
WINE_USER_SID = "S-1-5-21-0-0-0-1000"
PRODUCTS_KEY = r"HKLM\Software\Classes\Installer\Products"
SHARED_DLLS_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDlls"

START_LINE = re.compile(rb"^ZENTA Cleanup Tool started at \d{2}/\d{2}/\d{4} \d{2}:\d{2}:\d{2}\r$")
TIME_STAMP = re.compile(r"\d{2}/\d{2}/\d{4} \d{2}:\d{2}:\d{2}")


# ---------------------------------------------------------------- product facts


@dataclasses.dataclass(frozen=True)
class Product:
    """One line of packages/products.txt: what one test package installs."""

    id: str
    name: str
    version: str
    code: str
    upgrade: str
    maker: str
    root: str
    folder: str
    files: tuple[str, ...]
    apppath: str

    @property
    def folder_path(self) -> str:
        """The install folder below drive C:, with forward slashes."""
        base = {
            "ProgramFilesFolder": "Program Files (x86)",
            "CommonFilesFolder": "Program Files (x86)/Common Files",
        }[self.root]
        return base + "/" + self.folder.replace("\\", "/")

    @property
    def windows_folder(self) -> str:
        return "C:\\" + self.folder_path.replace("/", "\\")


def read_products(table: Path = WINE_DIR / "packages" / "products.txt") -> list[Product]:
    products = []
    for line in table.read_text(encoding="utf-8").splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("|")
        if len(fields) != 10:
            raise ValueError(f"{table}: {len(fields)} fields in: {line}")
        (pid, name, version, code, upgrade, maker, root, folder, files, apppath) = fields
        products.append(
            Product(pid, name, version, code, upgrade, maker, root, folder, tuple(files.split(",")), apppath)
        )
    return products


@dataclasses.dataclass(frozen=True)
class Family:
    """One product family as the program knows it (`zentacleanup --catalogue`)."""

    label: str
    upgrade: str
    fallback: tuple[str, ...]


def read_catalogue(linux_tool: Path) -> list[Family]:
    out = subprocess.run([str(linux_tool), "--catalogue"], check=True, capture_output=True, text=True).stdout
    families = []
    for line in out.splitlines():
        label, upgrade, *fallback = line.split("\t")
        families.append(Family(label, upgrade, tuple(fallback)))
    return families


def pack_guids(linux_tool: Path, guids: Iterable[str]) -> dict[str, str]:
    """Windows Installer's packed form of each GUID, from the program."""
    guids = list(guids)
    out = subprocess.run(
        [str(linux_tool), "--pack-guid", *guids], check=True, capture_output=True, text=True
    ).stdout.split()
    if len(out) != len(guids):
        raise RuntimeError(f"--pack-guid gave {len(out)} answers for {len(guids)} GUIDs")
    return dict(zip(guids, out))


def read_resource_ids(header: Path = ROOT / "src" / "ui" / "resource.h") -> dict[str, int]:
    ids = {}
    for match in re.finditer(r"^#define\s+(ID\w+)\s+\(?(-?(?:0x[0-9A-Fa-f]+|\d+))\)?\s*$", header.read_text(), re.M):
        ids[match.group(1)] = int(match.group(2), 0)
    return ids


# ---------------------------------------------------------------- log checks


def log_form_problems(data: Optional[bytes]) -> list[str]:
    """What is wrong with the byte form every log shares: CR LF line ends
    only, no byte-order mark, the start line first. Empty when all is well."""
    if not data:
        return ["there is no log, or it is empty"]
    problems = []
    if data.startswith(b"\xef\xbb\xbf") or data.startswith(b"\xff\xfe") or data.startswith(b"\xfe\xff"):
        problems.append("the log starts with a byte-order mark")
    bare = data.count(b"\n") - data.count(b"\r\n")
    if bare:
        problems.append(f"{bare} line end(s) are LF without CR")
    lone_cr = data.count(b"\r") - data.count(b"\r\n")
    if lone_cr:
        problems.append(f"{lone_cr} CR(s) are not followed by LF")
    first = data.split(b"\n", 1)[0] + b"\n"
    if not START_LINE.match(first.rstrip(b"\n")):
        problems.append(f"the first line is not the start line: {first!r}")
    return problems


def log_lines(data: Optional[bytes]) -> list[str]:
    """The log's lines without their CR LF (latin-1, so no byte is lost)."""
    if data is None:
        return []
    return data.decode("latin-1").replace("\r\n", "\n").split("\n")


def normalise(data: bytes) -> list[str]:
    """A log for comparison: CR taken off, every time stamp written TS."""
    text = data.decode("latin-1").replace("\r", "")
    if text.endswith("\n"):
        text = text[:-1]
    return [TIME_STAMP.sub("TS", line) for line in text.split("\n")]


@dataclasses.dataclass
class Comparison:
    """Lines only in the first log ("-") or only in the second ("+") that no
    named difference explains, and how many each named difference took."""

    unexplained: list[str]
    explained: Counter

    @property
    def equal(self) -> bool:
        return not self.unexplained

    def report(self) -> str:
        return "\n".join(self.unexplained[:40]) + ("\n..." if len(self.unexplained) > 40 else "")


# A named difference takes one differing line ("-text" or "+text") and says
# whether it explains it.
Rule = Callable[[str], bool]


def compare_logs(first: bytes, second: bytes, rules: dict[str, Rule] | None = None) -> Comparison:
    rules = rules or {}
    a, b = normalise(first), normalise(second)
    unexplained: list[str] = []
    explained: Counter = Counter()
    for tag, i1, i2, j1, j2 in difflib.SequenceMatcher(a=a, b=b, autojunk=False).get_opcodes():
        if tag == "equal":
            continue
        lines = ["-" + line for line in a[i1:i2]] + ["+" + line for line in b[j1:j2]]
        for line in lines:
            name = next((n for n, rule in rules.items() if rule(line)), None)
            if name:
                explained[name] += 1
            else:
                unexplained.append(line)
    return Comparison(unexplained, explained)


# ---------------------------------------------------------------- Wine


@dataclasses.dataclass(frozen=True)
class Wine:
    """How to run Wine for one kind of prefix: the system's wine64 (a 64-bit
    prefix with no 32-bit half), or the WoW64 set-up of wine32-setup.sh."""

    name: str
    loader: str
    server: str
    extra_env: tuple[tuple[str, str], ...] = ()
    env_file: Optional[Path] = None

    @staticmethod
    def wine64() -> "Wine":
        return Wine("wine64", "wine", "wineserver")

    @staticmethod
    def wow64(env_file: Path) -> "Wine":
        pairs = []
        for line in env_file.read_text().splitlines():
            if "=" in line:
                key, value = line.split("=", 1)
                pairs.append((key, value))
        values = dict(pairs)
        return Wine("wow64", values["WINELOADER"], values["WINESERVER"], tuple(pairs), env_file)

    def env(self, prefix: Path) -> dict[str, str]:
        env = dict(os.environ)
        env.update(self.extra_env)
        env.update(
            WINEPREFIX=str(prefix),
            WINEARCH="win64",
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
        )
        return env


@dataclasses.dataclass
class ToolRun:
    """One run of the tool: its exit status and the bytes of its log."""

    rc: int
    log: Optional[bytes]
    seconds: float = 0.0

    @property
    def lines(self) -> list[str]:
        return log_lines(self.log)

    def has_line(self, text: str) -> bool:
        return text in self.lines

    def count(self, pattern: str) -> int:
        regex = re.compile(pattern)
        return sum(1 for line in self.lines if regex.search(line))


class Prefix:
    """A Wine prefix on the host, and the runs of Windows programs in it."""

    def __init__(self, path: Path, wine: Wine):
        self.path = path
        self.wine = wine

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    @property
    def env(self) -> dict[str, str]:
        return self.wine.env(self.path)

    def clone(self, dest: Path) -> "Prefix":
        subprocess.run(["cp", "-a", "--", str(self.path), str(dest)], check=True)
        return Prefix(dest, self.wine)

    def wine_run(self, *args: str, cwd: Optional[Path] = None, timeout: float = 300, **kw) -> subprocess.CompletedProcess:
        return subprocess.run(
            [self.wine.loader, *args], cwd=cwd or self.drive_c, env=self.env, timeout=timeout, **kw
        )

    def output(self, *args: str, cwd: Optional[Path] = None, timeout: float = 300) -> tuple[int, bytes]:
        """Runs a Windows program and returns its exit status and standard
        output. The output goes through a file, not a pipe: a Wine process
        may leave the server or a service holding its descriptors, and a
        pipe would then never reach its end."""
        with tempfile.TemporaryFile() as out:
            proc = self.wine_run(*args, cwd=cwd, timeout=timeout, stdout=out, stderr=subprocess.DEVNULL)
            out.seek(0)
            return proc.returncode, out.read()

    def start(self, *args: str, cwd: Optional[Path] = None) -> subprocess.Popen:
        return subprocess.Popen(
            [self.wine.loader, *args],
            cwd=cwd or self.drive_c,
            env=self.env,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )

    def wait(self) -> None:
        """Waits until every process of the prefix, and its server, has ended."""
        subprocess.run([self.wine.server, "-w"], env=self.env, timeout=300, check=False)

    def kill(self) -> None:
        subprocess.run([self.wine.server, "-k"], env=self.env, timeout=60, check=False, capture_output=True)

    def remove(self) -> None:
        self.kill()
        shutil.rmtree(self.path, ignore_errors=True)

    # -- the tool

    def install_tools(self, exe: Path, *others: Path) -> None:
        tools = self.drive_c / "Tools"
        tools.mkdir(exist_ok=True)
        shutil.copy(exe, tools / "ZENTACleanup.exe")
        for other in others:
            shutil.copy(other, tools / other.name)

    def run_tool(self, *args: str, log: str = "zc.log", timeout: float = 600) -> ToolRun:
        """Runs C:\\Tools\\ZENTACleanup.exe from C:\\Tools with -log C:\\<log>.
        The exit code is the tool's whole one when C:\\Tools holds
        exitcode.exe (Wine hands Linux only its low byte)."""
        log_file = self.drive_c / log
        tools = self.drive_c / "Tools"
        start = time.monotonic()
        command = ["ZENTACleanup.exe", *args, "-log", "C:\\" + log]
        if (tools / "exitcode.exe").exists():
            rc, out = self.output("exitcode.exe", *command, cwd=tools, timeout=timeout)
            text = out.decode("ascii", "replace").strip()
            if rc != 0 or not text.isdigit():
                raise RuntimeError(f"exitcode.exe could not run the tool: {text!r}")
            code = int(text)
        else:
            proc = self.wine_run(*command, cwd=tools, timeout=timeout,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            code = proc.returncode
        self.wait()
        seconds = time.monotonic() - start
        return ToolRun(code, log_file.read_bytes() if log_file.exists() else None, seconds)

    def read_log(self, log: str = "zc.log") -> Optional[bytes]:
        f = self.drive_c / log
        return f.read_bytes() if f.exists() else None

    # -- the machine

    def reg_query(self, key: str, view: int) -> str:
        """`reg query KEY /reg:VIEW`; raises when the query fails, so that an
        unreadable registry never passes for an empty one."""
        rc, out = self.output("reg", "query", key, f"/reg:{view}", timeout=120)
        if rc != 0:
            raise RuntimeError(f"reg query {key} /reg:{view} ended with {rc}")
        return out.decode("latin-1").replace("\r", "")

    def reg_add(self, key: str, name: str, data: str, view: int) -> None:
        rc, _ = self.output("reg", "add", key, "/v", name, "/d", data, "/f", f"/reg:{view}", timeout=120)
        if rc != 0:
            raise RuntimeError(f"reg add {key} /v {name} /reg:{view} ended with {rc}")

    def windows_version(self) -> str:
        out = self.output("cmd", "/c", "ver", timeout=120)[1].decode("latin-1")
        match = re.search(r"(\d+)\.(\d+)\.\d+", out)
        if not match:
            raise RuntimeError(f"cannot read the Windows version from: {out!r}")
        return f"{match.group(1)}.{match.group(2)}"

    def registration(self, packed: dict[str, str]) -> "Registration":
        return Registration(self.reg_query(UNINSTALL_KEY, 32), self.reg_query(PRODUCTS_KEY, 64), packed)

    def export_registry(self, root: str) -> str:
        """The whole of `root` as regedit exports it, as text."""
        export = self.drive_c / "registry-export.reg"
        export.unlink(missing_ok=True)
        self.output("regedit", "/E", "C:\\registry-export.reg", root, timeout=300)
        self.wait()
        if not export.exists() or export.stat().st_size == 0:
            raise RuntimeError(f"regedit exported nothing of {root}")
        text = export.read_bytes().decode("utf-16")
        export.unlink()
        return text

    def make_sim(self, dest: Path, current_user: bool = False) -> "SimMachine":
        """The simulated machine of this prefix as it is now: the whole of
        HKEY_LOCAL_MACHINE as regedit exports it (both registry views),
        drive C: without the windows folder (whose 700 MB the tool never
        reads) and without the links Wine makes into the host's home (links
        within drive C: stay), of the
        windows folder only what the tool may look at (the side-by-side
        store's names, the spooler's folders, msiexec), and a machine.ini with
        what the prefix reports: a 64-bit Windows of the version `ver` names,
        the x86 programs folder, C:\\windows and its system32, the working
        folder C:\\Tools and TMP. With `current_user`, HKEY_CURRENT_USER
        too (Wine's account, whose per-user products it holds)."""
        version = self.windows_version()
        text = self.export_registry("HKEY_LOCAL_MACHINE")
        if current_user:
            # One file: the second export without its header line.
            text += self.export_registry("HKEY_CURRENT_USER").split("\n", 1)[1]
        shutil.rmtree(dest, ignore_errors=True)
        (dest / "drive_c").mkdir(parents=True)
        (dest / "registry.reg").write_bytes(text.encode("utf-16"))
        for entry in self.drive_c.iterdir():
            if entry.name == "windows":
                continue
            target = dest / "drive_c" / entry.name
            if entry.is_symlink():
                continue
            if entry.is_dir():
                shutil.copytree(entry, target, symlinks=True)
            else:
                shutil.copy2(entry, target)
        # Links into the host (Wine's to the user's home folders) go; links
        # within drive C: stay, as the junctions they are to the tool.
        copied = dest / "drive_c"
        for link in [p for p in copied.rglob("*") if p.is_symlink()]:
            inside = (self.drive_c / link.relative_to(copied)).resolve()
            if not inside.is_relative_to(self.drive_c.resolve()):
                link.unlink()
        # The side-by-side store as far as the tool searches it: its entries
        # (files as empty placeholders, which is all a search sees).
        sxs = self.drive_c / "windows" / "winsxs"
        for entry in sxs.rglob("*") if sxs.is_dir() else ():
            target = dest / "drive_c" / "windows" / "winsxs" / entry.relative_to(sxs)
            if entry.is_dir():
                target.mkdir(parents=True, exist_ok=True)
            elif not entry.is_symlink():
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(b"")
        system = dest / "drive_c" / "windows" / "system32"
        (system / "spool" / "drivers" / "x64").mkdir(parents=True)
        (system / "spool" / "prtprocs" / "x64").mkdir(parents=True)
        (system / "msiexec.exe").write_bytes(b"MZ")
        user = os.environ.get("USER") or subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
        (dest / "machine.ini").write_text(
            "; Made by the Wine suite from a Wine prefix.\n"
            "[system]\n"
            "bits = 64\n"
            f"version = {version}\n"
            "current_directory = C:\\Tools\n"
            "programs = C:\\Program Files (x86)\n"
            "windows = C:\\windows\n"
            "system = C:\\windows\\system32\n"
            f"user = {WINE_USER_SID}\n"
            "\n"
            "[environment]\n"
            f"TMP = C:\\users\\{user}\\Temp\n"
        )
        return SimMachine(dest, version)

    def state(self) -> "MachineState":
        return MachineState.of(self)


@dataclasses.dataclass
class Registration:
    """The product codes registered in the 32-bit Uninstall key, and the
    packed codes under Windows Installer's Products key (64-bit view)."""

    uninstall: str
    products: str
    packed: dict[str, str]

    def uninstall_entry(self, code: str) -> bool:
        return ("\\uninstall\\" + code.lower()) in self.uninstall.lower()

    def installer_entry(self, code: str) -> bool:
        return ("\\products\\" + self.packed[code].lower()) in self.products.lower()

    def registered(self, code: str) -> bool:
        return self.uninstall_entry(code) or self.installer_entry(code)


class SimMachine:
    """A simulated machine folder and runs of the Linux program on it."""

    def __init__(self, path: Path, version: str):
        self.path = path
        self.version = version

    def run(self, linux_tool: Path, *args: str, log: str = "zc.log") -> ToolRun:
        """The rc is the tool's own status, which the program tells as its
        last line on stderr ("exit status: N"); its process status is a
        small number standing for it."""
        start = time.monotonic()
        proc = subprocess.run(
            [str(linux_tool), "--machine", str(self.path), *args, "-log", "C:\\" + log],
            stdin=subprocess.DEVNULL,
            capture_output=True,
            timeout=300,
        )
        told = re.findall(rb"^exit status: (\d+)$", proc.stderr, re.MULTILINE)
        if not told:
            raise RuntimeError(f"the Linux program told no exit status: {proc.stderr[-500:]!r}")
        f = self.path / "drive_c" / log
        return ToolRun(int(told[-1]), f.read_bytes() if f.exists() else None, time.monotonic() - start)


def run_on_volume(linux_tool: Path, machine: Path, volume: Path, *args: str) -> ToolRun:
    """Writes the simulated machine folder `machine` as a Windows volume at
    `volume` (drive C: with its SOFTWARE and SYSTEM hives, the registry being
    the prefix's own export) and runs `zentacleanup --windows` on it. The
    log is the host file the program names ("zentacleanup: log: PATH")."""
    make = linux_tool.parent / "zc_make_volume"
    shutil.rmtree(volume, ignore_errors=True)
    subprocess.run([str(make), str(machine), str(volume)], check=True, capture_output=True, timeout=300)
    start = time.monotonic()
    proc = subprocess.run(
        [str(linux_tool), "--windows", str(volume), *args],
        stdin=subprocess.DEVNULL,
        capture_output=True,
        timeout=300,
    )
    lines = proc.stderr.decode("utf-8", "replace").splitlines()
    told = [int(line.split(": ", 1)[1]) for line in lines if re.fullmatch(r"exit status: \d+", line)]
    named = [line[len("zentacleanup: log: "):] for line in lines if line.startswith("zentacleanup: log: ")]
    if not told or not named:
        raise RuntimeError(f"the Linux program told no exit status or no log: {proc.stderr[-500:]!r}")
    log = Path(named[-1])
    return ToolRun(told[-1], log.read_bytes() if log.is_file() else None, time.monotonic() - start)


@dataclasses.dataclass
class MachineState:
    """What a cleanup can change, read off a quiet prefix: the files of drive
    C: outside the windows folder and the users' folders, and the keys and
    values of HKEY_LOCAL_MACHINE\\Software in both views (system.reg, with
    the modification times taken off)."""

    files: list[str]
    software: list[str]

    @staticmethod
    def of(prefix: Prefix, ignore_files: Iterable[str] = ("zc.log",)) -> "MachineState":
        prefix.wait()
        skip = set(ignore_files)
        files = []
        for path in sorted(prefix.drive_c.rglob("*")):
            rel = path.relative_to(prefix.drive_c).as_posix()
            top = rel.split("/", 1)[0]
            if top in ("windows", "users") or rel in skip:
                continue
            files.append(rel + ("/" if path.is_dir() and not path.is_symlink() else ""))
        software = []
        keep = False
        for line in (prefix.path / "system.reg").read_text(encoding="latin-1").splitlines():
            if line.startswith("["):
                keep = line.lower().startswith("[software\\\\")
                line = re.sub(r"\] \d+$", "]", line)
            elif line.startswith("#time="):
                continue
            if keep and line:
                software.append(line)
        return MachineState(files, software)

    def differences(self, other: "MachineState") -> list[str]:
        out = []
        for name, a, b in (("file", self.files, other.files), ("registry", self.software, other.software)):
            for line in difflib.unified_diff(a, b, lineterm="", n=0):
                if line.startswith(("---", "+++", "@@")):
                    continue
                out.append(f"{name} {line}")
        return out


# ---------------------------------------------------------------- the screen


class Screen:
    """The X display the suite's dialogs appear on (started by the shell
    entry), and pictures of it."""

    def __init__(self, display: str):
        self.display = display

    def env(self) -> dict[str, str]:
        return dict(os.environ, DISPLAY=self.display)

    def click(self, x: int, y: int) -> None:
        subprocess.run(
            ["xdotool", "mousemove", str(x), str(y), "click", "1"], env=self.env(), check=True, timeout=30
        )

    def shot(self, dest: Path, rect: Optional[tuple[int, int, int, int]] = None) -> None:
        """A PNG of the screen, or of the rectangle (left, top, width, height)
        only. Written without time chunks, so the same picture gives the same
        bytes and a picture kept in the repository changes only when what it
        shows does."""
        dest.parent.mkdir(parents=True, exist_ok=True)
        args = ["import", "-window", "root"]
        if rect:
            left, top, width, height = rect
            args += ["-crop", f"{width}x{height}+{left}+{top}", "+repage"]
        args += ["-strip", "-define", "png:exclude-chunks=date,time", str(dest)]
        subprocess.run(args, env=self.env(), check=True, timeout=60, capture_output=True)
