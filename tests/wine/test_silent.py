"""The silent scenarios: the real program against real packages, its log and
the machine afterwards, and parity with the simulated machine and (for the
release artefact) with its x86_64 twin on the same prefix state.

Variants (conftest.VARIANTS): x64 is the twin on a wine64 prefix; i686-* is
the release artefact on a WoW64 prefix whose packages the 32-bit (msi32) or
the 64-bit (msi64) msiexec installed, or which reports Windows XP (xp64).
"""

from __future__ import annotations

import re
import shutil
import subprocess
import types
from pathlib import Path

import pytest

import winelab
from conftest import SILENT, Lab, Variant, only, scenario

EXIT_LINE = "**** Exiting the ZENTA Cleanup Tool Application *****"
TS = r"^\d{2}/\d{2}/\d{4} \d{2}:\d{2}:\d{2} "

# Differences between the logs of the simulated machine and of Wine that a
# named reason explains. None is known today; one goes here, named after the
# difference, when Wine itself differs from Windows in what a log shows.
SIM_RULES: dict[str, winelab.Rule] = {}
# Differences between the i686 program's log and its twin's. None: the twin
# imitates the 32-bit process (see test_twin.py for what each one sees).
TWIN_RULES: dict[str, winelab.Rule] = {}


def run_silent(lab: Lab, variant: Variant, name: str, *args: str, seed=None, twin=True, volume=False,
               current_user=False):
    """Runs the program of `variant` with `args` on a fresh copy of its base
    prefix, after `seed(prefix)`; the same arguments on the simulated machine
    made from that copy before the run; with `volume` (a dry run), on that
    machine written as a Windows volume with its hives; and, for the i686
    program, its twin on another copy seeded alike. Keeps the logs in
    build/wine-artifacts. With `current_user`, the simulated machine holds
    the prefix's HKEY_CURRENT_USER as well."""
    label = f"{name}-{variant.name}"
    out = types.SimpleNamespace(twin=None, twin_state=None, volume=None)
    prefix = lab.fresh(variant.base, label)
    prefix.install_tools(lab.exe(variant.program), lab.helper("MSIZap.exe"), lab.helper("exitcode.exe"))
    if seed:
        seed(prefix)
    sim = prefix.make_sim(lab.work / f"sim-{label}", current_user=current_user)
    out.version = sim.version
    if volume:
        out.volume = winelab.run_on_volume(lab.linux_tool, sim.path, lab.work / f"volume-{label}", *args)
        shutil.rmtree(lab.work / f"volume-{label}", ignore_errors=True)
    out.run = prefix.run_tool(*args)
    out.prefix = prefix
    out.c = prefix.drive_c
    out.registration = prefix.registration(lab.packed)
    out.shared_dlls = prefix.reg_query(winelab.SHARED_DLLS_KEY, 32)
    msizap = prefix.drive_c / "msizap-calls.txt"
    out.msizap_calls = msizap.read_text(encoding="utf-8").replace("\r", "").splitlines() if msizap.exists() else None
    out.sim = sim.run(lab.linux_tool, *args)
    shutil.rmtree(sim.path, ignore_errors=True)
    if variant.i686 and twin:
        out.state = prefix.state()
        twin_prefix = lab.fresh(variant.base, f"{label}-twin")
        twin_prefix.install_tools(lab.x64_exe, lab.helper("MSIZap.exe"), lab.helper("exitcode.exe"))
        if seed:
            seed(twin_prefix)
        out.twin = twin_prefix.run_tool(*args)
        out.twin_state = twin_prefix.state()
        twin_prefix.remove()
    lab.artifacts.mkdir(parents=True, exist_ok=True)
    for suffix, run in (("wine", out.run), ("sim", out.sim), ("twin", out.twin), ("volume", out.volume)):
        if run is not None and run.log is not None:
            (lab.artifacts / f"{label}.{suffix}.log").write_bytes(run.log)
    return out


class CommonChecks:
    """The checks every silent scenario makes."""

    expected_status = 0

    def test_exit_status(self, outcome):
        assert outcome.run.rc == self.expected_status

    def test_log_form(self, outcome):
        assert winelab.log_form_problems(outcome.run.log) == []

    def test_parity_with_simulated_machine(self, outcome):
        assert outcome.sim.rc == outcome.run.rc, "the simulated run ended differently"
        assert outcome.sim.log is not None, "the simulated run wrote no log"
        comparison = winelab.compare_logs(outcome.run.log, outcome.sim.log, SIM_RULES)
        assert comparison.equal, "unexplained differences (- Wine, + simulated):\n" + comparison.report()

    @only("i686-msi32", "i686-msi64", "i686-xp64")
    def test_log_equals_twins(self, outcome):
        assert outcome.twin.rc == outcome.run.rc, "the twin ended differently"
        comparison = winelab.compare_logs(outcome.run.log, outcome.twin.log, TWIN_RULES)
        assert comparison.equal, "unexplained differences (- i686, + twin):\n" + comparison.report()


def assert_registered(outcome, products, registered: bool):
    wrong = [p.name for p in products if outcome.registration.registered(p.code) != registered]
    assert not wrong, ("not registered: " if registered else "still registered: ") + ", ".join(wrong)


def found_lines_missing(lab: Lab, outcome) -> list[str]:
    return [
        p.name
        for p in lab.zenta
        if not any(line.startswith(f"Found Product: {p.name}  -- GUID: {p.code} -- ") for line in outcome.run.lines)
    ]


# ---------------------------------------------------------------- -all -dryrun


@scenario("dryrun-all", variants=SILENT)
class TestDryrunAll(CommonChecks):
    @staticmethod
    def perform(lab, variant):
        return run_silent(lab, variant, "dryrun-all", "-all", "-dryrun", volume=True)

    def test_parity_with_the_prefix_read_as_a_windows_volume(self, outcome):
        """`zentacleanup --windows` on the prefix's drive C: with its registry
        as SOFTWARE and SYSTEM hives tells what the real program told."""
        assert outcome.volume.rc == outcome.run.rc
        assert outcome.volume.log is not None, "the run on the volume wrote no log"
        comparison = winelab.compare_logs(outcome.run.log, outcome.volume.log, SIM_RULES)
        assert comparison.equal, "unexplained differences (- Wine, + volume):\n" + comparison.report()

    def test_every_vendor_product_found(self, lab, outcome):
        assert found_lines_missing(lab, outcome) == []

    def test_other_publishers_product_not_listed(self, lab, outcome):
        for other in lab.others:
            assert not [line for line in outcome.run.lines if other.name in line]

    def test_dry_run_heading(self, outcome):
        assert outcome.run.has_line("*** Silent ZENTA Cleanup Tool Dry run for all ZENTA Products installed")

    def test_each_product_cleaned_up_once(self, lab, outcome):
        assert outcome.run.count(TS + "Cleaning up ") == len(lab.zenta)

    def test_no_uninstall_command(self, outcome):
        assert outcome.run.count("^Successfully Executed Command:") == 0

    def test_default_location_listing(self, outcome):
        assert outcome.run.count(TS + r"\*\*\*\* List of ZENTA folders in the default location that need to be cleaned up$") == 1

    def test_ends_with_exit_line(self, outcome):
        assert outcome.run.lines[-1] == EXIT_LINE

    def test_nothing_unregistered(self, lab, outcome):
        assert_registered(outcome, lab.products, True)

    def test_vendor_folders_kept(self, lab, outcome):
        assert [p.folder_path for p in lab.zenta if not (outcome.c / p.folder_path).is_dir()] == []

    def test_msizap_not_run(self, outcome):
        assert outcome.msizap_calls is None


# ---------------------------------------------------------------- -all -folder


def seed_side_by_side(prefix):
    """Side-by-side assemblies of the vendor (a folder with a DLL, a policy,
    a manifest) and one of another maker, in C:\\windows\\winsxs."""
    sxs = prefix.drive_c / "windows" / "winsxs"
    for path in (
        "x86_ZentaTech.Quillo.Core_6595b64144ccf1df_1.0.0.0_x-ww_1a2b3c4d/QuilloCore.dll",
        "Policies/x86_policy.1.0.ZentaTech.Quillo.Core_6595b64144ccf1df_x-ww_5e6f7a8b/1.0.0.0.policy",
        "Manifests/x86_ZentaTech.Quillo.Core_6595b64144ccf1df_1.0.0.0_x-ww_1a2b3c4d.manifest",
        "x86_Harbor.Lane.Notes_0123456789abcdef_5.2.0.0_x-ww_00112233/hlnotes.dll",
    ):
        target = sxs / path
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(b"MZ side-by-side test payload\r\n")


@scenario("folder-all", variants=SILENT + ("i686-xp64",))
class TestFolderAll(CommonChecks):
    @staticmethod
    def perform(lab, variant):
        return run_silent(lab, variant, "folder-all", "-all", "-folder", seed=seed_side_by_side)

    def test_every_vendor_product_found(self, lab, outcome):
        assert found_lines_missing(lab, outcome) == []

    def test_heading(self, outcome):
        assert outcome.run.has_line("*** Silent ZENTA Cleanup Tool Cleaning up all ZENTA Products installed")

    def test_uninstall_command_of_each_product(self, lab, outcome):
        # The Quillo family's products are removed as an upgrade would.
        quillo = {p.code for p in lab.family_products("Quillo Software")}
        missing = []
        for p in lab.zenta:
            extra = " UPGRADINGPRODUCTCODE=1 " if p.code in quillo else "  "
            line = f"Successfully Executed Command:  MsiExec.exe /X{p.code}{extra}REBOOT=ReallySuppress /qn"
            if not outcome.run.has_line(line):
                missing.append(line)
        assert missing == []

    def test_each_uninstall_succeeded(self, lab, outcome):
        assert outcome.run.count("^An MSI uninstall operation was performed successfully$") == len(lab.zenta)
        assert outcome.run.count("^MSI uninstall operation failed") == 0
        assert outcome.run.count(r"^\*\*Action not permitted") == 0

    def test_vendor_products_unregistered(self, lab, outcome):
        assert_registered(outcome, lab.zenta, False)

    def test_other_publishers_product_registered(self, lab, outcome):
        assert_registered(outcome, lab.others, True)

    def test_vendor_folders_removed(self, lab, outcome):
        tops = {p.folder_path.rsplit("/", p.folder.count("\\"))[0] for p in lab.zenta}
        assert tops  # "Program Files (x86)/ZENTA Technologies", ... "Common Files/ZENTA Technologies"
        assert sorted(t for t in tops if (outcome.c / t).exists()) == []

    def test_other_publishers_files_kept(self, lab, outcome):
        for other in lab.others:
            assert [f for f in other.files if not (outcome.c / other.folder_path / f).is_file()] == []

    def test_msizap_run_for_each_vendor_product(self, lab, outcome):
        assert outcome.msizap_calls is not None, "MSIZap was never run"
        expected = [f"\"C:\\Tools\\MSIZap.exe\" TWG! {p.code}" for p in lab.zenta]
        assert sorted(c for c in expected if c not in outcome.msizap_calls) == []

    def test_msizap_not_run_for_other_publisher(self, lab, outcome):
        for other in lab.others:
            assert not [c for c in outcome.msizap_calls or [] if other.code in c]

    def test_no_shared_dlls_entry_of_vendor_files(self, outcome):
        assert [line for line in outcome.shared_dlls.splitlines() if "ZENTA Technologies" in line] == []

    def test_other_publishers_shared_dlls_entry_kept(self, lab, outcome):
        for other in lab.others:
            dll = next(f for f in other.files if f.endswith(".dll"))
            assert f"{other.windows_folder}\\{dll}".lower() in outcome.shared_dlls.lower()

    def test_side_by_side_road(self, outcome):
        vista = outcome.run.has_line("Inside ZENTA Assembly cleanup Vista or higher")
        assert vista == (int(outcome.version.split(".")[0]) >= 6)

    @only("i686-xp64")
    def test_side_by_side_assemblies_of_vendor_removed(self, outcome):
        sxs = outcome.c / "windows" / "winsxs"
        assert sorted(p.name for p in sxs.rglob("*ZentaTech*")) == []
        assert any(line.startswith(" -- ") and line.endswith("QuilloCore.dll") for line in outcome.run.lines)

    @only("i686-xp64")
    def test_side_by_side_assembly_of_other_maker_kept(self, outcome):
        sxs = outcome.c / "windows" / "winsxs"
        assert (sxs / "x86_Harbor.Lane.Notes_0123456789abcdef_5.2.0.0_x-ww_00112233" / "hlnotes.dll").is_file()

    @only("i686-msi32", "i686-msi64", "i686-xp64")
    def test_machine_after_equals_twins(self, outcome):
        # The i686 program starts the 32-bit msiexec (system32 is SysWOW64
        # for it); the twin the 64-bit one. Both hand the uninstall to
        # Windows Installer: the machine must end up the same.
        assert outcome.state.differences(outcome.twin_state) == []


# ---------------------------------------------------------------- per user

PER_USER = "vexil"


def reinstall_per_user(prefix):
    """Takes one package off and installs it again for the prefix's account only."""
    product = next(p for p in winelab.read_products() if p.id == PER_USER)
    for args in (("/x", product.code), ("/i", f"C:\\Packages\\{PER_USER}.msi", "ALLUSERS=", "MSIINSTALLPERUSER=1")):
        rc = prefix.wine_run("msiexec", *args, "/qn", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        prefix.wait()
        assert rc == 0, f"msiexec {' '.join(args)} ended with {rc}"


@scenario("per-user", variants=("x64", "i686-msi32"))
class TestPerUser(CommonChecks):
    """A package installed for the prefix's account alone: found through
    Windows Installer's per-user registration and removed like the others,
    by Wine, the twin and the simulated machine made from HKLM and HKCU."""

    @staticmethod
    def perform(lab, variant):
        out = run_silent(lab, variant, "per-user", "-all", seed=reinstall_per_user, current_user=True)
        out.user_products = out.prefix.reg_query(r"HKCU\Software\Microsoft\Installer\Products", 64)
        return out

    def test_per_user_product_found(self, lab, outcome):
        product = next(p for p in lab.zenta if p.id == PER_USER)
        assert any(line.startswith(f"Found Product: {product.name}  -- GUID: {product.code} -- ") for line in outcome.run.lines)
        assert any(line.startswith(f"Found Product: {product.name}  -- GUID: {product.code} -- ") for line in outcome.sim.lines)

    def test_per_user_product_uninstalled(self, lab, outcome):
        product = next(p for p in lab.zenta if p.id == PER_USER)
        assert outcome.run.has_line(f"Successfully Executed Command:  MsiExec.exe /X{product.code}  REBOOT=ReallySuppress /qn")
        assert lab.packed[product.code] not in outcome.user_products
        assert not (outcome.c / product.folder_path / product.files[0]).exists()


# ---------------------------------------------------------------- another account's product

OTHER_SID = "S-1-5-21-0-0-0-1002"
OTHER_CODE = "{8B2E4F60-3C1D-4A7B-9E85-0D6F1A2B3C4D}"
OTHER_FOLDER = r"C:\users\pat\AppData\Local\ZENTA Notes"
INSTALLER = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Installer"


def seed_other_account(prefix, packed: str):
    """A product managed for another account, as Windows Installer registers
    it under HKLM: its product key, its install properties, its files."""
    product = rf"{INSTALLER}\Managed\{OTHER_SID}\Installer\Products\{packed}"
    props = rf"{INSTALLER}\UserData\{OTHER_SID}\Products\{packed}\InstallProperties"
    prefix.reg_add(product, "ProductName", "ZENTA Notes 1.0", 64)
    for name, data in (("DisplayName", "ZENTA Notes 1.0"), ("DisplayVersion", "1.0.0.0"),
                       ("Publisher", "ZENTA Technologies Inc"), ("InstallLocation", OTHER_FOLDER + "\\"),
                       ("ManagedLocalPackage", r"C:\windows\Installer\notes.msi")):
        prefix.reg_add(props, name, data, 64)
    folder = prefix.drive_c / "users/pat/AppData/Local/ZENTA Notes"
    folder.mkdir(parents=True)
    (folder / "Notes.exe").write_bytes(b"MZ")


@scenario("other-user")
class TestOtherAccount:
    """Another account's product is never uninstalled or zapped. Wine's
    MsiEnumProductsExW lists it with its account, but Wine's
    MsiGetProductInfoExW answers for the running account only, so under
    Wine the product stays unnamed; the simulated machine, answering as
    Windows does, names it."""

    RULES = {"Wine's MsiGetProductInfoExW answers for the running account only":
             lambda line: line.startswith("+Installed for another user: ")}

    @staticmethod
    def perform(lab, variant):
        packed = winelab.pack_guids(lab.linux_tool, [OTHER_CODE])[OTHER_CODE]
        out = run_silent(lab, variant, "other-user", "-all", seed=lambda prefix: seed_other_account(prefix, packed))
        out.packed = packed
        out.managed = out.prefix.reg_query(rf"{INSTALLER}\Managed\{OTHER_SID}\Installer\Products", 64)
        return out

    def test_exit_status(self, outcome):
        assert outcome.run.rc == 0 and outcome.sim.rc == 0

    def test_named_by_the_simulated_machine(self, outcome):
        line = f"Installed for another user: ZENTA Notes 1.0 -- GUID: {OTHER_CODE} -- User: {OTHER_SID}"
        assert outcome.sim.has_line(line)

    def test_logs_differ_only_by_that_name(self, outcome):
        comparison = winelab.compare_logs(outcome.run.log, outcome.sim.log, self.RULES)
        assert comparison.equal, "unexplained differences (- Wine, + simulated):\n" + comparison.report()

    def test_never_uninstalled_or_zapped(self, outcome):
        for run in (outcome.run, outcome.sim):
            assert not [line for line in run.lines if OTHER_CODE in line and not line.startswith("Installed for")]
        assert not [c for c in outcome.msizap_calls or [] if OTHER_CODE in c]

    def test_left_whole(self, outcome):
        assert (outcome.c / "users/pat/AppData/Local/ZENTA Notes/Notes.exe").is_file()
        assert outcome.packed in outcome.managed


# ---------------------------------------------------------------- a family


@scenario("family", variants=SILENT)
class TestFamily(CommonChecks):
    family = "Vexil"

    @classmethod
    def perform(cls, lab, variant):
        return run_silent(lab, variant, "family", "-" + cls.family.lower())

    def members(self, lab):
        members = lab.family_products(self.family)
        assert members, f"no package of the family {self.family}"
        return members

    def test_heading(self, outcome):
        assert outcome.run.has_line("*** Silent Cleanup")

    def test_uninstall_command_of_the_family_only(self, lab, outcome):
        for p in self.members(lab):
            assert outcome.run.has_line(f"Successfully Executed Command:  MsiExec.exe /X{p.code}  REBOOT=ReallySuppress /qn")
        assert outcome.run.count("^Successfully Executed Command:") == len(self.members(lab))

    def test_family_unregistered(self, lab, outcome):
        assert_registered(outcome, self.members(lab), False)

    def test_other_products_registered(self, lab, outcome):
        others = [p for p in lab.products if p not in self.members(lab)]
        assert_registered(outcome, others, True)

    def test_other_products_folders_kept(self, lab, outcome):
        others = [p for p in lab.zenta if p not in self.members(lab)]
        assert [p.folder_path for p in others if not (outcome.c / p.folder_path).is_dir()] == []

    def test_leftover_folder_only_listed(self, lab, outcome):
        # Without -folder the settings left behind stay.
        for p in self.members(lab):
            assert (outcome.c / p.folder_path / "Settings").is_dir()

    def test_msizap_run_for_the_family(self, lab, outcome):
        assert outcome.msizap_calls == [f"\"C:\\Tools\\MSIZap.exe\" TWG! {p.code}" for p in self.members(lab)]


@scenario("family-dryrun")
class TestFamilyDryrun(CommonChecks):
    family = "Vexil"

    @classmethod
    def perform(cls, lab, variant):
        return run_silent(lab, variant, "family-dryrun", "-" + cls.family.lower(), "-dryrun")

    def test_heading(self, outcome):
        assert outcome.run.has_line("*** Silent ZENTA Cleanup Tool Dry run for selected products")

    def test_family_folders_listed(self, outcome):
        assert outcome.run.has_line(f"*** List of folders for {self.family}: ")

    def test_no_uninstall_command(self, outcome):
        assert outcome.run.count("^Successfully Executed Command:") == 0

    def test_nothing_unregistered(self, lab, outcome):
        assert_registered(outcome, lab.products, True)

    def test_family_folder_kept(self, lab, outcome):
        for p in lab.family_products(self.family):
            assert (outcome.c / p.folder_path).is_dir()

    def test_msizap_not_run(self, outcome):
        assert outcome.msizap_calls is None


# ---------------------------------------------------------------- links


def seed_link(lab):
    def seed(prefix):
        data = prefix.drive_c / "UserData" / "Sentinel"
        data.mkdir(parents=True)
        (data / "keep.txt").write_text("keep\n")
        quillo = lab.family_products("Quillo Software")[0]
        depth = quillo.folder_path.count("/") + 1
        (prefix.drive_c / quillo.folder_path / "Linked").symlink_to("../" * depth + "UserData")

    return seed


@scenario("links")
class TestLinks(CommonChecks):
    """A link inside a vendor folder to the user's data (a Unix symbolic link
    is what Windows programs under Wine see as a junction): the tool removes
    the link and never enters it."""

    @staticmethod
    def perform(lab, variant):
        return run_silent(lab, variant, "links", "-quillo", "-folder", seed=seed_link(lab))

    def test_data_behind_the_link_kept(self, outcome):
        assert (outcome.c / "UserData" / "Sentinel" / "keep.txt").is_file()

    def test_link_named_not_entered(self, lab, outcome):
        quillo = lab.family_products("Quillo Software")[0]
        assert outcome.run.has_line(f"Removing Link: {quillo.windows_folder}\\Linked")
        assert [line for line in outcome.run.lines if "UserData" in line] == []

    def test_wine_keeps_folder_links(self, lab, outcome):
        # Named Wine difference "wine-keeps-folder-links": Wine 8 cannot
        # delete a symbolic link to a folder through RemoveDirectoryW (nor
        # DeleteFileW, nor a delete-on-close handle), where Windows removes a
        # junction with RemoveDirectoryW; so under Wine the link stays. When
        # this fails, Wine has learnt it: drop the difference from the README.
        quillo = lab.family_products("Quillo Software")[0]
        assert (outcome.c / quillo.folder_path / "Linked").is_symlink()


# ---------------------------------------------------------------- the scope guard


SENTINEL = "zc-guard-sentinel.txt"


def seed_link_to_windows(lab):
    """A link inside the Quillo folder to the Windows folder, and the Quillo
    product's registered location moved below it (to the system folder): a
    careless package's location that reaches a guarded folder through a
    link on its way."""

    def seed(prefix):
        quillo = lab.family_products("Quillo Software")[0]
        depth = quillo.folder_path.count("/") + 1
        (prefix.drive_c / quillo.folder_path / "lnk").symlink_to("../" * depth + "windows")
        (prefix.drive_c / "windows" / "system32" / SENTINEL).write_text("keep\n")
        prefix.reg_add(
            f"{winelab.UNINSTALL_KEY}\\{quillo.code}", "InstallLocation", quillo.windows_folder + "\\lnk\\system32\\", 32
        )

    return seed


@scenario("guard-link")
class TestGuardLink(CommonChecks):
    """The location resolves, through the link, into the system folder: the
    guard judges what it resolves to and refuses it, and the system folder's
    sentinel survives."""

    @staticmethod
    def perform(lab, variant):
        return run_silent(lab, variant, "guard-link", "-quillo", "-folder", seed=seed_link_to_windows(lab))

    def test_refused_with_the_sensitive_lines(self, lab, outcome):
        quillo = lab.family_products("Quillo Software")[0]
        location = quillo.windows_folder + "\\lnk\\system32\\"
        assert outcome.run.has_line("Sensitive Folder! Will not remove contents of: " + location)
        assert outcome.run.has_line("Sensitive Path! Will not remove Shared DLL registry entries for: " + location)

    def test_system_folder_sentinel_kept(self, outcome):
        assert (outcome.c / "windows" / "system32" / SENTINEL).read_text() == "keep\n"

    def test_nothing_removed_through_the_link(self, outcome):
        assert [line for line in outcome.run.lines if line.startswith("Removing Folder:") and "lnk" in line] == []


# ---------------------------------------------------------------- a typo


@scenario("typo", variants=("x64", "i686-msi32"))
class TestTypo(CommonChecks):
    """`-all -dryrn`: an argument that is no option refuses the run, whatever
    else the command line asks: nothing changes, the status is 1639."""

    expected_status = 1639

    @staticmethod
    def perform(lab, variant):
        return run_silent(lab, variant, "typo", "-all", "-dryrn")

    def test_log_names_the_argument_only(self, outcome):
        assert outcome.run.lines[2:] == ["Unknown command line option: -dryrn", ""]

    def test_nothing_unregistered(self, lab, outcome):
        assert_registered(outcome, lab.products, True)

    def test_folders_kept(self, lab, outcome):
        for p in lab.zenta:
            assert (outcome.c / p.folder_path).is_dir(), p.folder_path

    def test_msizap_not_run(self, outcome):
        assert outcome.msizap_calls is None
