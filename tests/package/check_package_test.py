#!/usr/bin/env python3
"""The package make-dist builds passes scripts/check-package, and every fault
the check exists for, planted in a copy of that package, is reported.

Needs the win32 and win64 build trees (make test builds both) and the
mingw-w64 i686 compiler for two small stand-ins.
Usage: python3 tests/package/check_package_test.py [-v]
"""
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile
from importlib.machinery import SourceFileLoader
from importlib.util import module_from_spec, spec_from_loader
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
loader = SourceFileLoader("check_package", str(ROOT / "scripts/check-package"))
check = module_from_spec(spec_from_loader("check_package", loader))
loader.exec_module(check)

TOP = "pagewarden/"
ZIP_NAME = "pagewarden-0.5.0.0-win32.zip"

# A program as a mingw build makes it when the C++ runtime is not linked in:
# it needs libstdc++-6.dll and libgcc_s_dw2-1.dll, which Windows lacks.
STRAY_PROGRAM = """
#include <stdexcept>
#include <string>
int main() { try { throw std::runtime_error(std::string("x")); } catch (...) {} return 0; }
"""
# A DLL named sqlite3.dll that is not SQLite.
FOREIGN_DLL = 'extern "C" __declspec(dllexport) int notSqlite() { return 0; }\n'


def lang(name):
    return f"{TOP}lang/{name}.lang.txt"


def utf16(text):
    # surrogatepass: a test plants a lone surrogate on purpose.
    return b"\xff\xfe" + text.encode("utf-16-le", "surrogatepass")


def edit(name, old, new):
    """Replaces the first old by new in a language file of the zip."""

    def change(members):
        text = members[lang(name)].decode("utf-16")
        if old not in text:
            raise AssertionError(f"{old!r} is not in {name}")
        members[lang(name)] = utf16(text.replace(old, new, 1))

    return change


def rename(old, new):
    def change(members):
        members[new] = members.pop(old)

    return change


def replace(name, data):
    def change(members):
        members[name] = data

    return change


def remove(name):
    return lambda members: members.pop(name)


def console(program):
    """The same program marked for the console subsystem (3) in its PE header."""
    optional = struct.unpack_from("<I", program, 0x3C)[0] + 24
    return program[:optional + 68] + struct.pack("<H", 3) + program[optional + 70:]


def patched(data, old, new):
    """A program with one string changed in place, its size and layout kept."""
    if len(old) != len(new) or data.count(old) != 1:
        raise AssertionError(f"{old!r} cannot be patched in place")
    return data.replace(old, new)


class PackageCheck(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="pw-package-"))
        # make-dist checks what it made and fails on a fault.
        subprocess.run([str(ROOT / "scripts/make-dist"), str(cls.work / "dist")], check=True, stdout=subprocess.DEVNULL)
        cls.zip = cls.work / "dist" / ZIP_NAME
        with zipfile.ZipFile(cls.zip) as archive:
            cls.members = {info.filename: archive.read(info) for info in archive.infolist()}
        cls.ids = check.text_ids()
        compiler = "i686-w64-mingw32-g++-posix"
        (cls.work / "stray.cpp").write_text(STRAY_PROGRAM)
        (cls.work / "foreign.cpp").write_text(FOREIGN_DLL)
        subprocess.run([compiler, "-mwindows", "stray.cpp", "-o", "stray.exe"], cwd=cls.work, check=True)
        subprocess.run([compiler, "-shared", "foreign.cpp", "-o", "foreign.dll"], cwd=cls.work, check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def faults_after(self, change):
        members = dict(self.members)
        change(members)
        folder = Path(tempfile.mkdtemp(dir=self.work))
        with zipfile.ZipFile(folder / ZIP_NAME, "w") as archive:
            for name, data in members.items():
                archive.writestr(name, data)
        return check.package_faults(folder / ZIP_NAME, self.ids)

    def assert_reported(self, cases):
        for what, change, expected in cases:
            with self.subTest(what):
                faults = self.faults_after(change)
                self.assertTrue(any(expected in fault for fault in faults), f"{expected!r} not in {faults}")

    def test_the_package_make_dist_builds_passes(self):
        self.assertEqual(check.package_faults(self.zip, self.ids), [])

    def test_the_unpacked_folder_is_the_zip(self):
        top = self.work / "dist" / "pagewarden"
        files = {f"{TOP}{p.relative_to(top).as_posix()}": p.read_bytes() for p in top.rglob("*") if p.is_file()}
        self.assertEqual(files, {name: data for name, data in self.members.items() if not name.endswith("/")})

    def test_the_text_ids_are_read_from_the_header(self):
        self.assertEqual(len(self.ids), len(set(self.ids)))
        self.assertGreaterEqual(len(self.ids), 62)
        self.assertTrue({1, 16, 1000004, 1100003, 1300002, 1400006} <= set(self.ids))

    def test_names_without_the_utf8_flag_are_reported(self):
        # What zip(1) makes in a C locale, as the package used to be made:
        # Windows would unzip "Espa\u00f1ol.lang.txt" under a garbled name.
        folder = Path(tempfile.mkdtemp(dir=self.work))
        for name, data in self.members.items():
            if not name.endswith("/"):
                (folder / name).parent.mkdir(parents=True, exist_ok=True)
                (folder / name).write_bytes(data)
        env = {"PATH": "/usr/bin:/bin", "LC_ALL": "C"}
        subprocess.run(["zip", "-qr", ZIP_NAME, "pagewarden"], cwd=folder, env=env, check=True)
        faults = check.package_faults(folder / ZIP_NAME, self.ids)
        self.assertTrue(any("without the UTF-8 flag" in fault for fault in faults), faults)

    def test_malformed_language_files_are_reported(self):
        portuguese = self.members[lang("Português")]
        big_endian = b"\xfe\xff" + portuguese[2:].decode("utf-16-le").encode("utf-16-be")
        self.assert_reported([
            ("a text missing", edit("Deutsch", "1400006=", "1400007="), "lacks text 1400006"),
            ("a text the program never asks for", edit("Deutsch", "1400006=", "1400007=x\r\n1400006="),
             "holds text 1400007, which the program never asks for"),
            ("an id twice", edit("Français", "2=&Quitter\r\n", "2=&Quitter\r\n2=&Fermer\r\n"),
             "id 2 a second time"),
            ("an LF line end", edit("Français", "\r\n3=", "\n3="), "a line end other than CR LF"),
            ("no byte order mark", replace(lang("Português"), portuguese[2:]), "byte order mark"),
            ("a big-endian file", replace(lang("Português"), big_endian), "byte order mark"),
            ("a lone surrogate", edit("Português", "Sair", "Sa\ud800ir"), "lone surrogate"),
            ("a line without '='", edit("Español", "\r\n3=", "\r\nAyuda\r\n3="), "no '='"),
            ("a blank before '='", edit("Español", "\r\n5=", "\r\n5 ="), "not a plain decimal number"),
            ("no last line end", replace(lang("Español"), self.members[lang("Español")][:-4]),
             "does not end with CR LF"),
            ("a trailing blank", edit("Deutsch", "=Heute", "=Heute "), "ends with a blank"),
        ])

    def test_texts_unfit_for_their_roles_are_reported(self):
        self.assert_reported([
            ("two periods alike", edit("Deutsch", "=Heute", "=Alles"), "two fixed periods share a text"),
            ("two tabs alike", edit("_English", "=By user", "=By printer"), "two tabs share a text"),
            ("one access key twice", edit("Español", "&Guardar como CSV", "Guardar como &CSV"),
             "list menu gives two items one access key"),
            ("a menu title without a key", edit("Français", "&Aide", "Aide"), "needs exactly one access key"),
            ("a menu item without a key", edit("Deutsch", "=S&tichtage...", "=Stichtage..."),
             "needs exactly one access key"),
            ("one key twice in a menu", edit("Português", "=&Datas salvas", "=&Idioma salvas"),
             "options menu gives two items one access key"),
            ("a count without its number", edit("Español", "en %1 trabajo|", "en un trabajo|"),
             "needs two forms, each with one %1"),
            ("counts that are not numbers", edit("Français", "=0 1", "=zéro un"), "lists counts"),
            ("the saved-dates title as a command", edit("_English", "=Saved dates", "=&Saved dates..."),
             "no '&' or '...'"),
            ("a file name stem with ':'", edit("Français", "pages-par-utilisateur", "pages:par-utilisateur"),
             "starts a file name"),
            ("a file name stem beyond ASCII", edit("Português", "paginas-por-usuario", "páginas-por-usuário"),
             "starts a file name"),
            ("an about value too long",
             edit("_English", "=Pick one under Options > Language", "=Choose a file of the lang folder in Options"),
             "text 12 is longer than 40 characters"),
        ])

    def test_wrong_files_in_the_zip_are_reported(self):
        readme = self.members[TOP + "README.txt"]
        self.assert_reported([
            ("English not marked", rename(lang("_English"), lang("English")), "expected English alone"),
            ("Spanish marked as well", rename(lang("Español"), lang("_Español")), "expected English alone"),
            ("README with LF line ends", replace(TOP + "README.txt", readme.replace(b"\r\n", b"\n")),
             "README.txt: a line end other than CR LF"),
            ("README beyond ASCII", replace(TOP + "README.txt", readme + "Español\r\n".encode()), "beyond ASCII"),
            ("no LICENSE", remove(TOP + "LICENSE"), "pagewarden/LICENSE: missing"),
            ("no README", remove(TOP + "README.txt"), "pagewarden/README.txt: missing"),
            ("a stray file", replace(TOP + "pagewarden-debug.exe", b"MZ"), "not part of the package"),
            ("the tests' spooler", replace(TOP + "winspool.drv", b"MZ"), "scripted spooler, never part"),
        ])

    def test_wrong_programs_are_reported(self):
        startfold = self.members[TOP + "Startfold.exe"]
        pagewarden = self.members[TOP + "pagewarden.exe"]
        described = patched(pagewarden, "Printers monitoring".encode("utf-16-le"),
                            "Printer monitoring!".encode("utf-16-le"))
        # The Translation value: US English in Unicode (1200) instead of code page 1252.
        translation = "Translation".encode("utf-16-le") + b"\0\0" * 2
        unicode_translated = patched(pagewarden, translation + b"\x09\x04\xe4\x04",
                                     translation + b"\x09\x04\xb0\x04")
        self.assert_reported([
            ("a 64-bit program", replace(TOP + "pagewarden.exe", (ROOT / "build/win64/pagewarden.exe").read_bytes()),
             "expected a 32-bit GUI program"),
            ("a console program", replace(TOP + "pagewarden.exe", console(pagewarden)), "subsystem 3, expected 2"),
            ("Startfold in pagewarden's place", replace(TOP + "pagewarden.exe", startfold),
             "pagewarden.exe does not import sqlite3.dll"),
            ("Startfold in pagewarden's place", replace(TOP + "pagewarden.exe", startfold),
             "pagewarden.exe: Comments is None"),
            ("a description changed", replace(TOP + "pagewarden.exe", described),
             "FileDescription is 'Printer monitoring!', expected 'Printers monitoring'"),
            ("a translation for another code page", replace(TOP + "pagewarden.exe", unicode_translated),
             "translation [(1033, 1200)], expected [(1033, 1252)]"),
            ("pagewarden in Startfold's place", replace(TOP + "Startfold.exe", pagewarden),
             "string tables ['040904E4'], expected ['040904B0']"),
            ("pagewarden in Startfold's place", replace(TOP + "Startfold.exe", pagewarden),
             "Startfold.exe imports sqlite3.dll"),
            ("a DLL Windows lacks", replace(TOP + "Startfold.exe", (self.work / "stray.exe").read_bytes()),
             "imports libstdc++-6.dll"),
            ("a sqlite3.dll that is not SQLite", replace(TOP + "sqlite3.dll", (self.work / "foreign.dll").read_bytes()),
             "sqlite3.dll lacks what pagewarden.exe takes"),
            ("a program as sqlite3.dll", replace(TOP + "sqlite3.dll", startfold), "expected a 32-bit DLL"),
        ])


if __name__ == "__main__":
    unittest.main()
