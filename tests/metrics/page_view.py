#!/usr/bin/env python3
"""The live page in Debian's headless Chromium, driven over its debugging pipe.

Opens the page and prints, a line each: the samples it had when it first showed one, the samples
after its next update and the seconds that update took to come. Then, at a fresh update, runs the
window's grab (GRAB..., with the page's samples as an argument after it) and shoots the page's
window area into CHART.png and the whole page into PAGE.png, and prints the samples both show (it
tries again when a tick came in between) and the page's header and value box. Exit code 1 when the page shows nothing in time.

  page_view.py BROWSER URL CHART.png PAGE.png GRAB...
"""
import base64, fcntl, json, os, subprocess, sys, tempfile, time

browser, url, chart_png, page_png, grab = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:]

# The browser reads commands from its descriptor 3 and writes answers to its 4, each ended by a NUL.
to_browser_r, to_browser_w = os.pipe()
from_browser_r, from_browser_w = os.pipe()
def descriptors():
    # Out of the way first: either end may be at 3 or 4 already.
    reading, writing = (fcntl.fcntl(fd, fcntl.F_DUPFD, 10) for fd in (to_browser_r, from_browser_w))
    os.dup2(reading, 3)
    os.dup2(writing, 4)
profile = tempfile.mkdtemp()
chromium = subprocess.Popen(
    [browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--remote-debugging-pipe",
     "--user-data-dir=" + profile, "--window-size=400,320", "--force-device-scale-factor=1", "--hide-scrollbars",
     "about:blank"],
    pass_fds=(3, 4), preexec_fn=descriptors, stdout=subprocess.DEVNULL,
    stderr=subprocess.DEVNULL)
os.close(to_browser_r)
os.close(from_browser_w)
answers = os.fdopen(from_browser_r, "rb")
pending = b""
last_id = 0

def call(method, session=None, **params):
    global last_id, pending
    last_id += 1
    message = {"id": last_id, "method": method, "params": params}
    if session:
        message["sessionId"] = session
    os.write(to_browser_w, json.dumps(message).encode() + b"\0")
    while True:
        while b"\0" not in pending:
            more = answers.read1(65536)
            if not more:
                sys.exit("the browser ended")
            pending += more
        text, pending = pending.split(b"\0", 1)
        answer = json.loads(text)
        if answer.get("id") == last_id:
            if "error" in answer:
                sys.exit(method + ": " + json.dumps(answer["error"]))
            return answer["result"]

def text(session, element):
    return call("Runtime.evaluate", session, expression="document.getElementById('%s').textContent" % element,
                returnByValue=True)["result"].get("value", "")

def samples(session):
    value = text(session, "samples")
    return int(value) if value else None

def until_samples_change(session, since, seconds):
    """The page's samples once they differ from since, and the seconds that took; None when they did not."""
    begun = time.monotonic()
    while time.monotonic() - begun < seconds:
        now = samples(session)
        if now is not None and now != since:
            return now, time.monotonic() - begun
        time.sleep(0.02)
    sys.exit("the page showed no sample after %s within %d s" % (since, seconds))

def shoot(session, path, width, height):
    shot = call("Page.captureScreenshot", session, format="png",
                clip={"x": 0, "y": 0, "width": width, "height": height, "scale": 1})
    with open(path, "wb") as f:
        f.write(base64.b64decode(shot["data"]))

try:
    target = call("Target.createTarget", url=url)["targetId"]
    session = call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
    first, _ = until_samples_change(session, None, 20)
    print("first:", first)
    updated, took = until_samples_change(session, first, 70)
    print("updated: %d after %.2f s" % (updated, took))
    for attempt in range(5):
        shown, _ = until_samples_change(session, samples(session), 70)
        time.sleep(0.3)  # the window repaints just after the tick publishes: leave it time to reach the screen
        subprocess.run(grab + [str(shown)], check=True)
        shoot(session, chart_png, 334, 171)
        if samples(session) == shown:
            break
    shoot(session, page_png, 400, 320)
    print("shot:", shown, samples(session))
    print("header:", text(session, "header"))
    print("value:", text(session, "value"))
finally:
    chromium.kill()
    chromium.wait()
    subprocess.run(["rm", "-rf", profile])
