"""The Debian package: built by CPack, it holds the backend in the system's SANE backend
folder, kestrel.conf and the dll.d entry as configuration files, and a udev rule for
every configured id. Unpacked, its files find both scanners with scanimage -L. In CI
(CI=true, as root, on a disposable machine) it is installed with apt and the system's
scanimage finds the scanners through the installed files; elsewhere that part is
skipped, since it changes the system."""
import glob
import os
import re
import shutil
import subprocess

from sane_harness import PLOVER, WREN, Harness

DEVICES = ["0=ccd", "1=cis0"]


def listed_through(h, root, library_folder):
    """scanimage -L with the backend and the configuration found below `root`."""
    config = h.path("package-sane.d")
    shutil.rmtree(config, ignore_errors=True)
    os.makedirs(os.path.join(config, "dll.d"))
    open(os.path.join(config, "dll.conf"), "w").close()  # the dll.d entry alone names the backend
    shutil.copy(os.path.join(root, "etc/sane.d/dll.d/kestrel"), os.path.join(config, "dll.d"))
    shutil.copy(os.path.join(root, "etc/sane.d/kestrel.conf"), config)
    h.env = dict(h.env, SANE_CONFIG_DIR=config)
    if library_folder:
        h.env["LD_LIBRARY_PATH"] = library_folder
    else:
        h.env.pop("LD_LIBRARY_PATH", None)
    listed = h.scanimage(None, "-L", debug_dll=True)
    h.check(PLOVER in listed.stdout and WREN in listed.stdout, "scanimage -L: " + listed.stdout + listed.stderr)
    return h.backends_loaded(listed.stderr)


def unpacked(h):
    library = glob.glob(h.path("root/usr/lib/*/sane/libsane-kestrel.so.1"))
    loaded = listed_through(h, h.path("root"), os.path.dirname(library[0]) if library else None)
    h.check(loaded == library, "loaded %s, packaged %s" % (loaded, library))


def installed(h):
    loaded = listed_through(h, "/", None)
    h.check(len(loaded) == 1 and re.match(r"/usr/lib/[^/]+/sane/libsane-kestrel\.so\.1$", loaded[0]),
            "the system's scanimage loaded %s" % loaded)


def main():
    h = Harness({"unpacked": unpacked, "installed": installed}).run()
    build = os.path.dirname(h.backend)
    subprocess.run(["cpack", "-G", "DEB", "-B", h.path("package")], cwd=build, check=True, capture_output=True)
    debs = glob.glob(h.path("package/kestrel-sane_*_*.deb"))
    if not h.check(len(debs) == 1, "package: %s" % debs):
        h.finish()
    deb = debs[0]
    files = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True, text=True).stdout
    for path in (r"\./usr/lib/[^/]+/sane/libsane-kestrel\.so\.1 ", r"\./etc/sane\.d/kestrel\.conf",
                 r"\./etc/sane\.d/dll\.d/kestrel", r"\./lib/udev/rules\.d/60-kestrel-sane\.rules"):
        h.check(re.search(path, files), "the package lacks " + path)
    subprocess.run(["dpkg-deb", "-R", deb, h.path("root")], check=True)
    conffiles = open(h.path("root/DEBIAN/conffiles")).read().split()
    h.check(conffiles == ["/etc/sane.d/kestrel.conf", "/etc/sane.d/dll.d/kestrel"], "conffiles %s" % conffiles)
    ids = re.findall(r"^usb 0x(\w{4}) 0x(\w{4})", open(h.path("root/etc/sane.d/kestrel.conf")).read(), re.M)
    rules = open(h.path("root/lib/udev/rules.d/60-kestrel-sane.rules")).read()
    granted = re.findall(r'ATTR\{idVendor\}=="(\w{4})", ATTR\{idProduct\}=="(\w{4})", MODE="0664", GROUP="scanner"',
                         rules)
    h.check(ids and granted == ids, "udev rule %s, configured %s" % (granted, ids))
    h.session("unpacked", DEVICES)

    if os.environ.get("CI") == "true" and os.geteuid() == 0:
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        subprocess.run(["apt-get", "install", "-y", "-qq", deb], env=env, check=True, stdout=subprocess.DEVNULL)
        try:
            h.check(subprocess.run(["getent", "group", "scanner"], capture_output=True).returncode == 0,
                    "no scanner group after installing")
            h.session("installed", DEVICES)
            print("installed with apt: the system's scanimage listed both scanners")
        finally:
            subprocess.run(["apt-get", "purge", "-y", "-qq", "kestrel-sane"], env=env, stdout=subprocess.DEVNULL)
    else:
        print("skipped: installing with apt changes the system; it runs in CI only (CI=true, as root)")
    h.finish()


if __name__ == "__main__":
    main()
