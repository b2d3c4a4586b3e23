#!/usr/bin/env python3
"""The Windows programs under Wine, each case held against what the Linux
build does with the same input.

usage: wine_programs.py CASE --wine WINE --prefix DIR --windows-run DIR
                        --linux-build DIR [--program EXE]

Cases: prefix (makes the Wine prefix, once), help, launcher, windowed,
stationgen, system, imgui. Programs with windows get an Xvfb of their own.
Wine 8's HLSL compiler has no tex2D, so a windowed start ends at shader
compilation in a message box: the windowed case says so and ends the
process itself.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

# The engine's log ends its start block with these lines; what follows
# depends on the platform's shader compiler.
CAPABILITY_END = "CanAutoGenMipMap = "


def fail(message):
    print(f"FAIL: {message}")
    sys.exit(1)


class Session:
    """An Xvfb of its own and the environment Wine runs in."""

    def __init__(self, args, display=True):
        self.args = args
        self.env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.xvfb = None
        if display:
            self.start_xvfb()

    def start_xvfb(self):
        # Xvfb picks a free display itself and writes its number to the pipe;
        # -noreset keeps it from resetting (and refusing connections for a
        # moment) each time its last client leaves.
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                                 "-noreset"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=[write])
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()
        if not number:
            xvfb.kill()
            fail("no Xvfb display could be started")
        self.env["DISPLAY"] = f":{number}"
        self.xvfb = xvfb

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        subprocess.run([str(Path(self.args.wine).with_name("wineserver")), "-k"], env=self.env,
                       capture_output=True)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    @staticmethod
    def wait(condition, seconds):
        """Whether `condition` holds within `seconds` (asked at least once)."""
        end = time.monotonic() + seconds
        while not condition():
            if time.monotonic() >= end:
                return False
            time.sleep(0.1)
        return True

    def wine(self, program, arguments, cwd, **extra):
        env = dict(self.env, **extra)
        return subprocess.Popen([self.args.wine, str(program)] + arguments, cwd=cwd, env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                start_new_session=True)

    def window(self, title, seconds):
        found = []

        def look():
            found[:] = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], env=self.env,
                                      capture_output=True, text=True).stdout.split()
            return bool(found)

        return found[0] if self.wait(look, seconds) else None

    def escape(self, window):
        subprocess.run(["xdotool", "key", "--window", window, "Escape"], env=self.env, capture_output=True)


def end(process):
    """Ends a program and what it started (Wine's helpers)."""
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGKILL)
    return process.communicate(timeout=10)


def run_folder(run, prefix="wine-run-"):
    """A working folder holding the data of the build's run folder `run`, as
    that folder does."""
    folder = Path(tempfile.mkdtemp(prefix=prefix))
    (folder / "data").symlink_to(Path(run, "data").resolve())
    return folder


def linux_log(args, arguments, window_title=None, seconds=60):
    """log.txt of the Linux demo started with `arguments` (Escape on the
    window named `window_title`, when given)."""
    folder = run_folder(Path(args.linux_build, "run"), "linux-run-")
    try:
        with Session(args) as session:
            demo = subprocess.Popen([str(Path(args.linux_build, "run", "vantrel-demo"))] + arguments, cwd=folder,
                                    env=session.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            if window_title:
                window = session.window(window_title, 30)
                if not window:
                    out, err = end(demo)
                    fail(f"the Linux launcher did not appear (status {demo.returncode}): {err!r}")
                session.escape(window)
            if demo.wait(timeout=seconds) != 0:
                fail(f"the Linux demo ended with {demo.returncode}")
            return (folder / "log.txt").read_text()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def windows_log(folder):
    """log.txt as Windows wrote it, with Linux line ends."""
    data = (folder / "log.txt").read_bytes()
    if b"\n" in data.replace(b"\r\n", b"") and b"\r\n" in data:
        fail("log.txt mixes line ends")
    return data.replace(b"\r\n", b"\n").decode()


def case_prefix(args):
    with Session(args, display=False) as session:
        r = subprocess.run([args.wine, "wineboot", "-i"], env=session.env, capture_output=True, timeout=170)
        if r.returncode != 0:
            fail(f"wineboot ended with {r.returncode}")
    print(f"Wine prefix ready in {args.prefix}")


def case_help(args):
    with Session(args, display=False) as session:
        demo = session.wine(Path(args.windows_run, "vantrel-demo.exe"), ["--help"], args.windows_run)
        out, err = demo.communicate(timeout=60)
    if demo.returncode != 0 or not out.startswith("Usage: vantrel-demo"):
        fail(f"--help ended with {demo.returncode}: {out!r} {err!r}")
    print(out.splitlines()[0])


def case_launcher(args):
    folder = run_folder(args.windows_run)
    with Session(args) as session:
        demo = session.wine(Path(args.windows_run, "vantrel-demo.exe"), [], folder)
        window = session.window("Vantrel demo", 60)
        if not window:
            end(demo)
            fail("no window titled 'Vantrel demo' appeared")
        session.escape(window)
        try:
            status = demo.wait(timeout=60)
        except subprocess.TimeoutExpired:
            end(demo)
            fail("Escape did not end the program")
        if status != 0:
            fail(f"the program ended with {status}")
        got = windows_log(folder)
    want = linux_log(args, [], window_title="Vantrel demo")
    if got != want:
        fail(f"log.txt differs from the Linux one:\n--- Windows\n{got}--- Linux\n{want}")
    print("launcher shown, Escape ended it with 0, log.txt is the Linux one")


def case_windowed(args):
    arguments = ["--no-launcher", "--windowed", "--mode", "640x480", "--frames", "3"]
    folder = run_folder(args.windows_run)
    with Session(args) as session:
        # msgbox traces carry a message box's text: where Wine stopped.
        demo = session.wine(Path(args.windows_run, "vantrel-demo.exe"), arguments, folder,
                            WINEDEBUG="-all,+msgbox")
        boxed = session.wait(lambda: demo.poll() is not None or session.window("error", 0) is not None, 120)
        out, err = end(demo)
        if not boxed:
            fail("the program neither ended nor stopped at a message box in 120 s")
        got = windows_log(folder) if (folder / "log.txt").exists() else ""
    want = linux_log(args, arguments)
    cut = want.find(CAPABILITY_END)
    if cut < 0:
        fail("the Linux log has no capability lines")
    cut = want.index("\n", cut) + 1
    if got[:cut] != want[:cut]:
        fail(f"log.txt differs from the Linux one up to the capability lines:\n--- Windows\n{got}--- Linux\n"
             f"{want[:cut]}")
    if demo.returncode == 0:
        print("the windowed start ran its frames and ended with 0")
        return
    stop = [line.split("MSGBOX_OnInit", 1)[1].strip() for line in err.splitlines() if "MSGBOX_OnInit" in line]
    print("log.txt is the Linux one up to the capability lines; Wine stopped "
          + (f"at a message box: {stop[0]}" if stop else f"with status {demo.returncode}"))
    if stop and "tex2D" in stop[0]:
        print("(shader compilation: Wine 8's HLSL compiler has no tex2D, a limit of Wine, not of the program)")


def case_stationgen(args):
    folder = Path(tempfile.mkdtemp(prefix="wine-stationgen-"))
    with Session(args, display=False) as session:
        gen = session.wine(Path(args.program), [str(folder)], folder)
        out, err = gen.communicate(timeout=170)
        if gen.returncode != 0:
            fail(f"stationgen.exe ended with {gen.returncode}: {err}")
    for name in ("data/station03.ase", "data/fajna.jpg", "data.pak"):
        ours, linux = folder / name, Path(args.linux_build, "run", name)
        if ours.read_bytes() != linux.read_bytes():
            fail(f"{name} differs from the Linux stationgen's")
    shutil.rmtree(folder, ignore_errors=True)
    print("stationgen.exe wrote the Linux stationgen's bytes")


def case_program(args):
    """A check program of ours that reports its own result."""
    folder = Path(tempfile.mkdtemp(prefix="wine-check-"))
    with Session(args) as session:
        check = session.wine(Path(args.program), args.rest, folder)
        out, err = check.communicate(timeout=170)
    print(out, end="")
    if check.returncode != 0:
        fail(f"{Path(args.program).name} ended with {check.returncode}: {err}")


def windows_path(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def case_imgui(args):
    """Wine's Direct3D 9 draws the ImGui frame of the Linux comparison test,
    which first draws it with ImGui's OpenGL 3 back end and through our
    stand-in."""
    r = subprocess.run(["ctest", "--test-dir", args.linux_build, "-R", "ImGuiFrameGlTest", "--output-on-failure"],
                       capture_output=True, text=True, timeout=170)
    frames = Path(args.linux_build, "testwork", "imgui_frame_gl_tests", "imgui-frames")
    if r.returncode != 0 or not (frames / "opengl3.png").exists():
        fail(f"the Linux ImGui comparison did not run:\n{r.stdout}{r.stderr}")
    artefacts = Path(args.prefix).parent / "testwork" / "imgui"
    artefacts.mkdir(parents=True, exist_ok=True)
    args.rest = [windows_path(artefacts / "wine-d3d9.png"), windows_path(frames / "opengl3.png"),
                 windows_path(frames / "dx9-on-gl.png")]
    case_program(args)
    print(f"Wine's picture kept in {artefacts / 'wine-d3d9.png'}")


def main():
    cases = {"prefix": case_prefix, "help": case_help, "launcher": case_launcher, "windowed": case_windowed,
             "stationgen": case_stationgen, "program": case_program, "imgui": case_imgui}
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=cases)
    parser.add_argument("--wine", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--windows-run", required=True)
    parser.add_argument("--linux-build", required=True)
    parser.add_argument("--program")
    parser.add_argument("rest", nargs="*")
    args = parser.parse_args()
    if args.case != "prefix" and not Path(args.linux_build, "run", "vantrel-demo").exists():
        fail(f"no Linux build in {args.linux_build} to compare with: build it first (make, or cmake --preset release)")
    cases[args.case](args)


if __name__ == "__main__":
    main()
