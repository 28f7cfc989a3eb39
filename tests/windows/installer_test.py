#!/usr/bin/python3
"""The Windows installer, run silently under wine into a fresh prefix: installs, starts, uninstalls.

  tests/windows/installer_test.py SETUP_EXE [--wine WINE]

Run it on a display with a notification area (tools/windows/build.sh uses desktop-session).

Checks that `Scenaria-Setup-<version>.exe /S` puts scenarix.exe, scenarix-tool.exe and the help
page under Program Files\\Scenaria, a Start-menu entry and an uninstall entry in the registry;
that the installed scenarix-tool.exe starts and keeps its settings in the user's AppData (the
program folder is not the user's to write); that the installed scenarix.exe starts and stays, so
that a second start finds it and ends; and that the uninstaller, silent too, takes away
every file, folder, shortcut and registry value of its own and leaves the settings alone.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Scenaria"


def Main():
    parser = argparse.ArgumentParser()
    parser.add_argument("setup")
    parser.add_argument("--wine", default=shutil.which("wine") or "wine")
    args = parser.parse_args()
    failures = []

    def Check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory(prefix="scenaria-installer-") as work:
        env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"), WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        env.pop("WAYLAND_DISPLAY", None)
        if not env.get("DISPLAY"):
            print("MISSING: a display (DISPLAY) for scenarix.exe", file=sys.stderr)
            return 2

        def Wine(*command, timeout=180):
            done = subprocess.run([args.wine, *command], env=env, stdin=subprocess.DEVNULL,
                                  capture_output=True, timeout=timeout)
            # The installer and uninstaller hand work to children; wait for all of them.
            subprocess.run(["wineserver", "-w"], env=env, timeout=timeout)
            return done.returncode, done.stdout.decode("utf-8", "replace").replace("\r\n", "\n")

        subprocess.run(["wineboot", "--init"], env=dict(env, DISPLAY=""), capture_output=True, timeout=300)
        subprocess.run(["wineserver", "-w"], env=env, timeout=300)
        drive = Path(env["WINEPREFIX"]) / "drive_c"
        folder = drive / "Program Files" / "Scenaria"
        before = set(drive.rglob("*"))

        code, _ = Wine(os.path.abspath(args.setup), "/S")
        Check(code == 0, "the silent installer ends with 0 (%d)" % code)
        for name in ("bin/scenarix.exe", "bin/scenarix-tool.exe", "share/scenaria/help/scenarix.html",
                     "Uninstall.exe"):
            Check((folder / name).is_file(), "installed: Program Files\\Scenaria\\" + name)
        menu = list(drive.glob("ProgramData/Microsoft/Windows/Start Menu/Programs/Scenaria.lnk"))
        Check(len(menu) == 1, "a Start-menu entry")
        code, out = Wine("reg", "query", UNINSTALL_KEY, "/v", "UninstallString")
        Check(code == 0 and "Uninstall.exe" in out, "the uninstall entry in the registry")

        # The installed program starts and reads the user's settings from AppData, where the
        # program keeps them because the program folder is not the user's to write.
        users = list(drive.glob("users/*/AppData/Roaming"))
        Check(len(users) == 1, "the user's AppData\\Roaming")
        settings = users[0] / "Scenaria" / "scenarix.INI"
        settings.parent.mkdir(parents=True, exist_ok=True)
        settings.write_text("[Diduzavizo]\r\nDelay=17\r\n")
        code, out = Wine(r"C:\Program Files\Scenaria\bin\scenarix-tool.exe", "settings")
        Check(code == 0 and "Delay=17" in out,
              "the installed scenarix-tool.exe starts and reads AppData\\Roaming\\Scenaria\\scenarix.INI")
        # The resident program: it stays, and a second start asks it to configure and ends.
        program = r"C:\Program Files\Scenaria\bin\scenarix.exe"
        resident = subprocess.Popen([args.wine, program], env=env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            resident.wait(timeout=15)
        except subprocess.TimeoutExpired:
            pass
        Check(resident.poll() is None, "the installed scenarix.exe starts and stays")
        try:
            second = subprocess.run([args.wine, program], env=env, stdin=subprocess.DEVNULL,
                                    capture_output=True, timeout=60).returncode
        except subprocess.TimeoutExpired:
            second = None
        Check(second == 0, "a second start finds it and ends with 0 (%s)" % second)
        subprocess.run(["wineserver", "-k"], env=env, timeout=60)
        resident.wait(timeout=60)
        Check(not list(folder.rglob("*.INI")), "nothing written into Program Files")

        code, _ = Wine(r"C:\Program Files\Scenaria\Uninstall.exe", "/S")
        Check(code == 0, "the silent uninstaller ends with 0 (%d)" % code)
        Check(not folder.exists(), "Program Files\\Scenaria is gone")
        left = sorted(str(p.relative_to(drive)) for p in drive.rglob("*")
                      if p not in before and "Scenaria" in str(p) and "AppData" not in str(p))
        Check(not left, "no file of the installer's is left: %s" % (left or "none"))
        code, _ = Wine("reg", "query", UNINSTALL_KEY)
        Check(code != 0, "the uninstall entry is gone")
        Check(settings.is_file(), "the user's settings stay")

    print("PASS" if not failures else "FAILED: %d check(s)" % len(failures))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(Main())
