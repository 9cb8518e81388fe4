"""Sheet-fed behaviour through scanimage: a batch of three cards ends with an empty
feeder; SIGINT in the middle of a page ejects the card and the next scan is whole; an
empty feeder, a jam and a scanner that vanishes or stops answering mid-page each give
their status and no image, and leave wren's lock free; while one process scans on wren,
a second is told the device is busy."""
import os
import signal
import subprocess
import time

from card_check import check_card, read_pnm
from sane_harness import PLOVER, WREN, Harness

CALIBRATE = [("0=ccd", "0=white", PLOVER), ("1=cis0", "1=white", WREN)]


def calibrate(h):
    for _, _, device in CALIBRATE:
        h.check(h.scanimage(device, "--calibrate", "-n").returncode == 0, "calibrating " + device)


def whole_card(h, name, dpi):
    problems = check_card(read_pnm(h.path(name)), dpi) if os.path.exists(h.path(name)) else ["missing"]
    h.check(not problems, "%s: %s" % (name, problems))


def batch(h):
    for device, name in ((PLOVER, "plover"), (WREN, "wren")):
        done = subprocess.run(["scanimage", "-d", device, "--resolution", "100", "--format=pnm",
                               "--batch=" + h.path(name + "%d.pnm")], env=h.env, capture_output=True, text=True,
                              timeout=120)
        h.check(done.returncode == 0 and "Document feeder out of documents" in done.stderr,
                "batch on %s: %s" % (name, done.stderr))
        for n in (1, 2, 3):
            whole_card(h, "%s%d.pnm" % (name, n), 100)
        h.check(not os.path.exists(h.path(name + "4.pnm")), "batch on %s: a fourth file" % name)


def interrupt(h):
    command = ["scanimage", "-d", PLOVER, "--resolution", "600", "-p", "--format=pnm", "-o", h.path("cut.pnm")]
    scan = subprocess.Popen(command, env=h.env, stderr=subprocess.PIPE, text=True)
    seen = ""
    while "Progress: 1" not in seen and scan.poll() is None:  # a tenth of the page or more
        seen += scan.stderr.read(16)
    scan.send_signal(signal.SIGINT)
    started = time.monotonic()
    try:
        rest = scan.communicate(timeout=30)[1]
    except subprocess.TimeoutExpired:
        scan.kill()
        rest = "(hung)"
    h.check(scan.returncode != 0 and "cancel" in rest, "SIGINT: status %s: %s" % (scan.returncode, rest))
    h.check(time.monotonic() - started < 10, "SIGINT: scanimage took %.1f s to stop" % (time.monotonic() - started))
    h.check(not os.path.exists(h.path("cut.pnm")), "SIGINT: an image file was kept")
    h.check(h.scanimage(PLOVER, "--resolution", "150", output="next.pnm").returncode == 0, "SIGINT: next scan")
    whole_card(h, "next.pnm", 150)


def refused(h, device, name, status_text):
    done = h.scanimage(device, "--resolution", "150", output=name)
    h.check(done.returncode != 0 and status_text in done.stderr, "%s: %s" % (name, done.stderr.strip()))
    # scanimage makes its file before sane_start and removes it after a failed read only.
    h.check(not os.path.exists(h.path(name)) or os.path.getsize(h.path(name)) == 0, "%s: image data kept" % name)


def no_card(h):
    refused(h, PLOVER, "plover-empty.pnm", "sane_start: Document feeder out of documents")
    refused(h, WREN, "wren-empty.pnm", "sane_start: Document feeder out of documents")


def jam(h):
    refused(h, PLOVER, "plover-jam.pnm", "sane_read: Document feeder jammed")
    # A client that stays open after the jam has let go of wren's lock.
    import sane
    sane.init()
    first = sane.open(WREN)
    first.resolution = 150
    try:
        first.scan()
        h.check(False, "wren: a jammed card scanned")
    except sane._sane.error as e:
        h.check("jammed" in str(e), "wren: %s" % e)
    second = h.scanimage(WREN, "--resolution", "150", output="wren-jam.pnm")
    h.check("Device busy" not in second.stderr, "the lock outlived the jam: " + second.stderr)
    first.close()


def not_answering(h):
    refused(h, PLOVER, "plover-gone.pnm", "sane_read: Error during device I/O")
    refused(h, WREN, "wren-silent.pnm", "sane_read: Error during device I/O")


def busy(h):
    import sane
    sane.init()
    first = sane.open(WREN)
    first.resolution = 150
    first.start()  # holds wren's lock until the page ends
    second = h.scanimage(WREN, "--resolution", "150", output="second.pnm")
    h.check(second.returncode != 0 and "Device busy" in second.stderr, "second process: " + second.stderr)
    image = first.snap()
    first.close()
    h.check(image.size == (316, 540), "first process: %s" % (image.size,))
    h.check(h.scanimage(WREN, "--resolution", "150", output="after.pnm").returncode == 0, "after the first")
    whole_card(h, "after.pnm", 150)


def main():
    steps = {"calibrate": calibrate, "batch": batch, "interrupt": interrupt, "no_card": no_card, "jam": jam,
             "not_answering": not_answering, "busy": busy}
    h = Harness(steps).run()
    h.session("calibrate", [c[0] for c in CALIBRATE], [c[1] for c in CALIBRATE])
    state = h.session("batch", ["0=ccd", "1=cis0"], ["0=fiducial+fiducial+fiducial", "1=fiducial+fiducial+fiducial"])
    h.check(state[0]["sheets_ejected"] == "3" and state[1]["sheets_ejected"] == "3", "batch: %s" % state)
    state = h.session("interrupt", ["0=ccd"], ["0=fiducial+fiducial"])
    h.check(state[0]["sheets_ejected"] == "2" and state[0]["motor"] == "0" and state[0]["scanning"] == "0",
            "after SIGINT: %s" % state)
    h.session("no_card", ["0=ccd", "1=cis0"])
    state = h.session("jam", ["0=ccd", "1=cis0"], ["0=fiducial", "1=fiducial"], ["0=jam:1200", "1=jam:1200"])
    h.check(all(s["motor"] == "0" and s["scanning"] == "0" for s in state.values()), "jam: %s" % state)
    # Half a page in, plover's scanner vanishes and wren's image data stop.
    h.session("not_answering", ["0=ccd", "1=cis0"], ["0=fiducial", "1=fiducial"],
              ["0=disconnect_at:300000", "1=short_from:400000"])
    h.session("busy", ["1=cis0"], ["1=fiducial+fiducial"])
    h.finish()


if __name__ == "__main__":
    main()
