"""End to end through the real clients: scanimage lists and describes both scanners,
refuses an uncalibrated one, calibrates them with the white card, and scans the
fiducial card through plover (Color at 150, 300, 600 dpi, Gray, Lineart, an area) and
wren (Gray, Lineart, an area, brightness and contrast, a threshold); scanimage -T
passes; python3-sane reads the options and scans Gray as scanimage does."""
import os

from card_check import check_card, read_pnm
from sane_harness import PLOVER, WREN, Harness


def scan_and_check(h, device, name, dpi, args=(), size=None, area=(0.0, 0.0)):
    done = h.scanimage(device, "--resolution", str(dpi), *args, output=name)
    if not h.check(done.returncode == 0, "%s: scanimage failed: %s" % (name, done.stderr.strip())):
        return None
    image = read_pnm(h.path(name))
    if size:
        h.check((image.width, image.height) == size, "%s: %dx%d, expected %dx%d" % ((name, image.width,
                                                                                     image.height) + size))
    for problem in check_card(image, dpi, *area):
        h.check(False, "%s: %s" % (name, problem))
    return image


def setup(h):
    listed = h.scanimage(None, "-L", debug_dll=True)
    h.check("device `%s' is a Norvale CCD card scanner (plover) sheetfed scanner" % PLOVER in listed.stdout and
            "device `%s' is a Norvale CIS card scanner (wren) sheetfed scanner" % WREN in listed.stdout,
            "scanimage -L: " + listed.stdout)
    loaded = h.backends_loaded(listed.stderr)
    h.check(loaded == [os.path.join(h.backend, "libsane-kestrel.so.1")], "backends loaded: %s" % loaded)
    hostile_configuration(h)
    expected = {
        PLOVER: ["--mode Color|Gray|Lineart [Color]", "--source ADF [ADF]",
                 "--resolution 100|150|200|300|400|600dpi [300]", "--preview[=(yes|no)] [no]",
                 "-l 0..55.88mm [0]", "-t 0..91.44mm [0]", "-x 0..55.88mm [55.88]", "-y 0..91.44mm [91.44]",
                 "--brightness -100..100% (in steps of 1) [0]", "--contrast -100..100% (in steps of 1) [0]",
                 "--threshold 0..255 (in steps of 1) [inactive]", "--calibrate [advanced]"],
        WREN: ["--mode Gray|Lineart [Gray]", "--resolution 50|100|150|200|250|300|", "|1150|1200dpi [300]",
               "-x 0..53.594mm [53.594]", "-y 0..91.44mm [91.44]", "--calibrate [advanced]"],
    }
    for device, lines in expected.items():
        options = h.scanimage(device, "-A").stdout
        for line in lines:
            h.check(line in options, "scanimage -A -d %s lacks '%s'" % (device, line))
    refused = h.scanimage(PLOVER, output="uncalibrated.pnm")
    h.check(refused.returncode != 0 and "--calibrate -n" in refused.stderr and "Invalid argument" in refused.stderr,
            "an uncalibrated scan: " + refused.stderr)
    config = os.environ["SANE_CONFIG_DIR"]
    before = sorted(os.listdir(config))
    for device in (WREN, PLOVER):  # wren first: the data folder is not there yet
        done = h.scanimage(device, "--calibrate", "-n")
        h.check(done.returncode == 0, "calibrating %s: %s" % (device, done.stderr))
    # Measured values go with the user's data, none into the SANE configuration folder.
    data = h.path("data/kestrel")
    h.check(sorted(os.listdir(config)) == before, "written to the SANE configuration: %s" % os.listdir(config))
    h.check({"DadaVorG.oft", "DadaVorG.gan", "plover.ini", "wren.clb"} <= set(os.listdir(data)) and
            "[LedTime Z3]" in open(os.path.join(data, "plover.ini")).read(), "calibration data: %s" % os.listdir(data))


def hostile_configuration(h):
    """A kestrel.conf naming plover's id among lines that mean nothing lists plover alone; none
    at all, both."""
    config = h.path("hostile.d")
    os.makedirs(config, exist_ok=True)
    open(os.path.join(config, "dll.conf"), "w").write("kestrel\n")
    lines = ["usb 0x0400 0x1000 # plover", "usb 0x10000 0x1", "usb", "usb 0x0400 0x1002 wren", "usb -1 0x1002",
             "usb-timeout 0", "usb-timeout 99999999999999999999", "x" * 5000, "\x01\xff\tusb 0x04 0x10"]
    open(os.path.join(config, "kestrel.conf"), "w", encoding="latin-1").write("\n".join(lines))
    saved = h.env
    h.env = dict(h.env, SANE_CONFIG_DIR=config, SANE_DEBUG_KESTREL="1")
    listed = h.scanimage(None, "-L")
    h.check(PLOVER in listed.stdout and WREN not in listed.stdout, "restricted to plover: " + listed.stdout)
    h.check(listed.stderr.count("ignored") == len(lines) - 1, "ignored lines reported: " + listed.stderr[:2000])
    h.check("\x01" not in listed.stderr and "\ufffd" not in listed.stderr, "control bytes shown: " + listed.stderr)
    os.remove(os.path.join(config, "kestrel.conf"))  # without one, every scanner the drivers know
    listed = h.scanimage(None, "-L")
    h.check(PLOVER in listed.stdout and WREN in listed.stdout, "without kestrel.conf: " + listed.stdout)
    h.env = saved


# An area from 0.5 inch right, 0.1 inch down, 1.18 by 1 inch: mark 4 and the ramp.
AREA = ["-l", "12.7", "-t", "2.54", "-x", "29.972", "-y", "25.4"]
PLOVER_SCANS = [("color150.pnm", 150, [], (330, 540)), ("color300.pnm", 300, [], (660, 1080)),
                ("color600.pnm", 600, [], (1320, 2160)), ("gray300.pnm", 300, ["--mode", "Gray"], (660, 1080)),
                ("lineart300.pnm", 300, ["--mode", "Lineart"], (660, 1080)),
                ("area300.pnm", 300, ["--mode", "Gray"] + AREA, (354, 300))]


def plover(h, scan):
    name, dpi, args, size = PLOVER_SCANS[int(scan)]
    scan_and_check(h, PLOVER, name, dpi, args, size, (0.5, 0.1) if "-l" in args else (0.0, 0.0))


def darkness(image):
    return sum(255 - image.gray(x, y) for y in range(0, image.height, 3) for x in range(0, image.width, 3))


def wren(h):
    scanned = scan_and_check(h, WREN, "wgray300.pnm", 300, size=(633, 1080))
    brighter = scan_and_check(h, WREN, "wbright300.pnm", 300, ["--brightness", "30", "--contrast", "20"])
    lineart = scan_and_check(h, WREN, "wlineart200.pnm", 200, ["--mode", "Lineart"], size=(422, 720))
    darker = scan_and_check(h, WREN, "wthreshold200.pnm", 200, ["--mode", "Lineart", "--threshold", "220"])
    if scanned and brighter and lineart and darker:
        h.check(darkness(brighter) < darkness(scanned) * 0.8, "brightness 30 did not brighten the image")
        h.check(darkness(darker) > darkness(lineart) * 1.2, "threshold 220 did not darken the Lineart image")
    scan_and_check(h, WREN, "warea600.pnm", 600, AREA, size=(708, 600), area=(0.5, 0.1))
    tested = h.scanimage(WREN, "--resolution", "100", "-T")
    h.check(tested.returncode == 0 and "FAIL" not in tested.stderr, "scanimage -T: " + tested.stderr)

    import sane
    sane.init()
    device = sane.open(WREN)
    options = {o[1]: o for o in device.get_options()}
    h.check(options["mode"][8] == ["Gray", "Lineart"], "python3-sane: modes %s" % options["mode"][8])
    h.check(options["resolution"][8][:2] == [50, 100], "python3-sane: resolutions %s" % options["resolution"][8])
    device.br_x = 100.0  # past the bed: clamped to it
    h.check(abs(device.br_x - 53.594) < 0.001, "python3-sane: br-x %.3f past the bed" % device.br_x)
    device.br_x = 53.594
    device.resolution = 300
    image = device.scan()
    device.close()
    if scanned:
        h.check(image.size == (scanned.width, scanned.height), "python3-sane image %s" % (image.size,))
        ours, theirs = image.tobytes(), scanned.data
        differ = sum(abs(a - b) for a, b in zip(ours, theirs)) / max(1, len(ours))
        h.check(image.mode == "L" and differ < 2.0, "python3-sane and scanimage differ by %.2f on average" % differ)


def main():
    h = Harness({"setup": setup, "plover": plover, "wren": wren}).run()
    state = h.session("setup", ["0=ccd", "1=cis0"], ["0=white", "1=white"])
    h.check(state.get(0, {}).get("sheets_ejected") == "1" and state.get(1, {}).get("sheets_ejected") == "1",
            "the white cards were not ejected after calibration: %s" % state)
    # One card per bus: a stacked card goes in as soon as the one before left, so plover's
    # feed-out, which wants the paper sensor clear, would take it for a jam.
    for scan in range(len(PLOVER_SCANS)):
        state = h.session("plover:%d" % scan, ["0=ccd"], ["0=fiducial"])
        h.check(state.get(0, {}).get("sheets_ejected") == "1", "plover: the card stayed %s" % state)
    state = h.session("wren", ["1=cis0"], ["1=" + "+".join(["fiducial"] * 7)])
    h.check(state.get(1, {}).get("sheets_ejected") == "7", "wren: cards ejected %s" % state)
    h.finish()


if __name__ == "__main__":
    main()
