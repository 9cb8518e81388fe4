"""The real SANE clients against the kestrel backend, the simulated scanners on the
mocked USB bus (scansim-bus). Every test gets a private SANE configuration whose
dll.conf names this backend alone, and its own data folder.

A test is a script of steps: the outer run starts one bus session per step
(Harness.session), which runs the same script again inside the bus with --inside STEP;
a step's checks end its process with status 1 and their messages. A step named
"name:argument" runs steps[name](harness, argument)."""
import os
import re
import shutil
import subprocess
import sys

PLOVER = "kestrel:usb:001:002"  # scansim-bus puts device N at address N + 2
WREN = "kestrel:usb:001:003"


class Harness:
    def __init__(self, steps):
        # <scansim-bus> <backend folder> <kestrel.conf> <work folder> [--inside STEP]
        self.bus_program, self.backend, conf, work = sys.argv[1:5]
        self.steps = steps
        self.failures = []
        self.work = os.path.abspath(work)
        config = os.path.join(self.work, "sane.d")
        self.inside = sys.argv[5:6] == ["--inside"]
        if not self.inside:
            shutil.rmtree(self.work, ignore_errors=True)
            os.makedirs(config)
            with open(os.path.join(config, "dll.conf"), "w") as f:
                f.write("kestrel\n")
            shutil.copy(conf, config)
        self.env = dict(os.environ, SANE_CONFIG_DIR=config, LD_LIBRARY_PATH=self.backend,
                        XDG_DATA_HOME=os.path.join(self.work, "data"),
                        XDG_CONFIG_HOME=os.path.join(self.work, "config"), HOME=self.work)
        self.env.pop("SANE_DEFAULT_DEVICE", None)

    def run(self):
        if self.inside:
            name, _, argument = sys.argv[6].partition(":")  # "step" or "step:argument"
            self.steps[name](self, *([argument] if argument else []))
            self.finish()
        return self

    def check(self, condition, message):
        if not condition:
            self.failures.append(message)
            print("FAILED: " + message, flush=True)
        return condition

    def finish(self):
        if self.failures:
            sys.exit(1)
        if not self.inside:
            print("passed")
        sys.exit(0)

    def path(self, name):
        return os.path.join(self.work, name)

    def session(self, step, devices, sheets=(), faults=(), timeout=300):
        """Runs `step` inside a bus with these devices; returns each device's final state."""
        report = self.path("report.txt")
        if os.path.exists(report):
            os.remove(report)
        args = [self.bus_program, "--report", report]
        for flag, items in (("--device", devices), ("--sheet", sheets), ("--fault", faults)):
            for item in items:
                args += [flag, item]
        args += ["--", sys.executable, sys.argv[0]] + sys.argv[1:5] + ["--inside", step]
        done = subprocess.run(args, env=self.env, cwd=self.work, timeout=timeout)
        self.check(done.returncode == 0, "step %s ended with status %d" % (step, done.returncode))
        states = {}
        if os.path.exists(report):
            for line in open(report):
                fields = line.split()
                states[int(fields[1])] = dict(f.split("=", 1) for f in fields[2:])
        return states

    def scanimage(self, device, *args, output=None, timeout=120, debug_dll=False):
        """scanimage on `device`; the image (PNM) at work/<output> when named."""
        command = ["scanimage"] + (["-d", device] if device else []) + list(args)
        if output:
            command += ["--format=pnm", "-o", self.path(output)]
        env = dict(self.env, SANE_DEBUG_DLL="4") if debug_dll else self.env
        return subprocess.run(command, env=env, cwd=self.work, capture_output=True, text=True, errors="replace",
                              timeout=timeout)

    @staticmethod
    def backends_loaded(stderr):
        """The backends the dll backend loaded, from its SANE_DEBUG_DLL output."""
        return re.findall(r"dlopen\(\)ing `([^']*)'", stderr)
