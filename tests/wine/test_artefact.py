"""The release artefact's file, and the test packages' agreement with the
program's catalogue: checks that need no prefix."""

from __future__ import annotations

import re
import subprocess
import types

import pytest

from conftest import scenario
from winelab import WINE_DIR

# What a statically linked Windows program may import: Windows' own DLLs.
MINGW_DLL = re.compile(r"^(libstdc\+\+|libgcc|libwinpthread|libssp|libatomic)", re.I)


@scenario("artefact")
class TestReleaseArtefact:
    @pytest.fixture(scope="class")
    def outcome(self, lab):
        text = subprocess.run(
            ["i686-w64-mingw32-objdump", "-f", "-p", str(lab.i686_exe)], check=True, capture_output=True, text=True
        ).stdout
        return types.SimpleNamespace(
            headers=text, dlls=re.findall(r"^\s*DLL Name: (\S+)", text, re.M)
        )

    def test_32_bit(self, outcome):
        assert "file format pei-i386" in outcome.headers

    def test_windows_gui_subsystem(self, outcome):
        assert re.search(r"^Subsystem\s+00000002\s+\(Windows GUI\)", outcome.headers, re.M)

    def test_manifest_resource(self, outcome):
        # The resource type table's entry 0x18 (RT_MANIFEST).
        assert re.search(r"^0[0-9a-f]{2}   Entry: ID: 0x000018,", outcome.headers, re.M)

    def test_no_mingw_dll_needed(self, outcome):
        assert outcome.dlls, "no import table found"
        assert [d for d in outcome.dlls if MINGW_DLL.match(d)] == []


@scenario("packages")
class TestTestPackages:
    def test_wix_sources_in_step_with_the_table(self):
        proc = subprocess.run(["bash", str(WINE_DIR / "make-wxs.sh"), "--check"], capture_output=True, text=True)
        assert proc.returncode == 0, proc.stderr

    def test_one_package_for_every_family(self, lab):
        upgrades = {p.upgrade for p in lab.zenta}
        assert [f.label for f in lab.catalogue if f.upgrade not in upgrades] == []

    def test_fallback_codes_are_the_packages_product_codes(self, lab):
        # Where a family has a fallback table, the package's product code is
        # in it, so that the fallback tables and Windows Installer agree.
        for family in lab.catalogue:
            for product in lab.family_products(family.label):
                if family.fallback:
                    assert product.code in family.fallback, f"{product.name} is not in {family.label}'s table"

    @pytest.mark.parametrize("guid,packed", [
        ("{12345678-ABCD-EF01-2345-6789ABCDEF01}", "87654321DCBA10FE32547698BADCFE10"),
        ("{11111111-2222-3333-4444-555555555555}", "11111111222233334444555555555555"),
    ])
    def test_packed_codes_from_the_program(self, lab, guid, packed):
        import winelab

        assert winelab.pack_guids(lab.linux_tool, [guid]) == {guid: packed}
