"""The live view in a real browser: Debian's chromium, headless, driven
through chromedriver. Opens the page of `Camera --serve`, records a
scenario by clicking and dragging on the screen, checks what the page shows,
measures click-to-screen over 40 clicks, and replays the recording with
`Camera --script`. Then the page's frame worker alone, on frames the test
makes: one it cannot put together makes it ask for a key frame.

Run: browser_test.py path/to/Camera [--screenshot FILE]"""

import argparse
import http.server
import json
import os
import statistics
import struct
import subprocess
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.common.exceptions import TimeoutException

from livetest import FrameStream, LiveCamera, fresh_folder, remove


def fail(message):
    raise AssertionError(message)


def wait_for(description, condition, timeout=20):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.01)
    fail("timed out waiting for " + description)


class Page:
    def __init__(self, driver):
        self.driver = driver
        self.canvas = driver.find_element(By.ID, "screen")

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def state(self):
        return self.js("return window.live.state")

    def app(self):
        state = self.state()
        return state and state["app"]

    def frames(self):
        return self.js("return window.live.frames")

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).text

    def screen_to_viewport(self, x, y):
        box = self.js("const r = arguments[0].getBoundingClientRect(); return [r.left, r.top, r.width, r.height];", self.canvas)
        return box[0] + x * box[2] / 375, box[1] + y * box[3] / 667

    def actions(self):
        return ActionChains(self.driver, duration=0)

    def click_screen(self, x, y):
        vx, vy = self.screen_to_viewport(x, y)
        chain = self.actions()
        chain.w3c_actions.pointer_action.move_to_location(int(vx), int(vy))
        chain.w3c_actions.pointer_action.pointer_down()
        chain.w3c_actions.pointer_action.pointer_up()
        chain.perform()

    def drag_screen(self, start, end, steps=8):
        chain = ActionChains(self.driver, duration=15)
        pointer = chain.w3c_actions.pointer_action
        vx, vy = self.screen_to_viewport(*start)
        pointer.move_to_location(int(vx), int(vy))
        pointer.pointer_down()
        for step in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * step / steps
            y = start[1] + (end[1] - start[1]) * step / steps
            vx, vy = self.screen_to_viewport(x, y)
            pointer.move_to_location(int(vx), int(vy))
        pointer.pointer_up()
        chain.perform()

    def next_tap(self, count, timeout=20):
        """The timing of the tap after the first count, once its picture is
        shown. Waits in the page, so that the browser is not kept busy
        answering polls while it is being timed."""
        self.driver.set_script_timeout(timeout)
        return self.driver.execute_async_script("""
            const [count, done] = arguments;
            const check = () => window.live.taps.length > count ? done(window.live.taps[count]) : setTimeout(check, 25);
            check();""", count)

    def click(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def pixels(self, x, y, w, h):
        """The screen's pixels in a rectangle (pixels) as the page drew
        them, RGBA, as the page's worker reads them off its canvas."""
        self.driver.set_script_timeout(20)
        return bytes(self.driver.execute_async_script("""
            const [x, y, w, h, done] = arguments;
            window.live.readPixels(x, y, w, h).then((pixels) => done(Array.from(pixels)));""", x, y, w, h))

    def snapshot(self):
        self.before = self.pixels(0, 0, 750, 1334)

    def changed_fraction(self, frame):
        """How much of a rectangle (points) differs from the snapshot."""
        x, y, w, h = [int(round(v * 2)) for v in frame]
        now = self.pixels(x, y, w, h)
        changed = 0
        for row in range(h):
            for column in range(w):
                i, j = ((y + row) * 750 + x + column) * 4, (row * w + column) * 4
                if sum(abs(self.before[i + k] - now[j + k]) for k in range(3)) > 24:
                    changed += 1
        return changed / (w * h)


def report_latency(taps):
    """Prints the median click to screen, and where the time went: the
    page's own times, and the server's stages (its Server-Timing header)."""
    def median(values):
        return statistics.median(values)
    totals = sorted(tap["total"] for tap in taps)
    p90 = totals[min(len(totals) - 1, (9 * len(totals) + 9) // 10 - 1)]
    print("click to updated screen over %d clicks: median %.1f ms, p90 %.1f ms (min %.1f, max %.1f); drawn at a median %.1f ms" %
          (len(totals), median(totals), p90, min(totals), max(totals), median([tap["drawn"] - tap["pressed"] for tap in taps])))
    print("where the time went (medians):")
    stages = [
        ("press to release (driver)", lambda tap: tap["released"] - tap["pressed"]),
        ("release to request sent", lambda tap: tap["sent"] - tap["released"]),
        ("request to answer", lambda tap: tap["answered"] - tap["sent"]),
    ]
    known = ["queue", "command", "frame", "render", "encode", "push", "state"]
    names = [name for name in known if name in taps[0]["server"]] + sorted(set(taps[0]["server"]) - set(known))
    # The frame left the server `transit` before it was received: what is
    # left of the time from the press, less the server's stages up to then,
    # is the request's way to the server.
    before_push = ["queue", "command", "frame", "push"]
    stages.append(("press to request served", lambda tap: tap["received"] - tap["transit"] - tap["pressed"] - sum(tap["server"].get(name, 0) for name in before_push)))
    for name in names:
        stages.append(("  server: " + name, lambda tap, name=name: tap["server"].get(name, 0)))
    stages += [
        ("frame pushed to received", lambda tap: tap["transit"]),
        ("press to frame received", lambda tap: tap["received"] - tap["pressed"]),
        ("received to decoding", lambda tap: tap["started"] - tap["received"]),
        ("decoding", lambda tap: tap["decoded"] - tap["started"]),
        ("drawing", lambda tap: tap["drawn"] - tap["decoded"]),
        ("drawn to painted", lambda tap: tap["painted"] - tap["drawn"]),
    ]
    for name, stage in stages:
        print("  %-28s %6.1f ms" % (name, median([stage(tap) for tap in taps])))


def frame_message(number, key, pieces):
    """A frame of a 2 x 2 screen, all of it changed (host/LiveFrames.h):
    pieces are (rows, kind, back, bytes)."""
    body = b"".join(struct.pack("<HBBI", rows, kind, back, len(data)) + data for rows, kind, back, data in pieces)
    header = struct.pack("<IIIIdHHHHHHHH", 40 + len(body), 1, number, 1 if key else 0, 0.0, 2, 2, 0, 0, 2, 2, len(pieces), 0)
    return header + body


def check_resync(driver, web):
    """The frame worker (frames.js) on streams the test makes: a frame before
    the first key frame is passed over on the same stream; one that refers to
    a screen the worker does not have, once it had the server's, ends the
    stream, and the next one's key frame is shown."""
    pixels = bytes(range(16))
    streams = [[
        frame_message(1, False, [(2, 0, 0, pixels)]),  # before any key frame
        frame_message(2, True, [(2, 0, 0, pixels)]),
        frame_message(3, False, [(2, 1, 1, b"")]),  # a screen two frames back
        frame_message(4, False, [(2, 1, 0, b"")]),
    ], [
        frame_message(5, True, [(2, 0, 0, pixels)]),
    ]]
    worker = """
        const streams = %s;
        let fetched = 0;
        self.fetch = async () => {
            const messages = streams[Math.min(fetched, streams.length - 1)];
            fetched += 1;
            postMessage({ fetched });
            return new Response(new ReadableStream({ start(controller) {
                for (const message of messages)
                    controller.enqueue(new Uint8Array(message));
            } }));
        };
        importScripts("frames.js");
    """ % json.dumps([[list(message) for message in stream] for stream in streams])
    page = """<!doctype html><script>
        window.seen = [];
        const worker = new Worker("worker.js");
        worker.onmessage = (event) => {
            const message = event.data;
            if ("fetched" in message)
                window.seen.push(["fetched", message.fetched]);
            else if ("frame" in message)
                window.seen.push([message.skipped ? "skipped" : "drawn", message.frame]);
        };
        worker.postMessage({ start : { timeOrigin : performance.timeOrigin, frames : "frames" } });
    </script>"""
    with open(os.path.join(web, "frames.js"), "rb") as file:
        files = {"/": (page.encode(), "text/html"), "/worker.js": (worker.encode(), "text/javascript"),
                 "/frames.js": (file.read(), "text/javascript")}

    class Files(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            body, kind = files.get(self.path, (b"", "text/plain"))
            self.send_response(200 if self.path in files else 404)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *arguments):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Files)
    serving = threading.Thread(target=server.serve_forever, daemon=True)
    serving.start()
    try:
        driver.get("http://127.0.0.1:%d/" % server.server_address[1])
        expected = [["fetched", 1], ["skipped", 1], ["drawn", 2], ["skipped", 3], ["fetched", 2], ["drawn", 5]]
        seen = lambda: driver.execute_script("return window.seen")
        try:
            wait_for("the key frame of a second stream", lambda: len(seen()) >= len(expected))
        except AssertionError:
            pass  # told below, with what came
        if seen() != expected:
            fail("the frame worker's frames and streams: %s, expected %s" % (seen(), expected))
        print("a frame the page cannot put together makes it open the stream anew, for a key frame")
    finally:
        server.shutdown()
        server.server_close()


def start_browser(profile):
    options = webdriver.ChromeOptions()
    for argument in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--window-size=1400,980", "--user-data-dir=" + profile]:
        options.add_argument(argument)
    options.binary_location = "/usr/bin/chromium"
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def run(camera_path, screenshot):
    profile = fresh_folder("live-chromium-")
    camera = LiveCamera(camera_path)
    driver = None
    try:
        driver = start_browser(profile)
        driver.get(camera.url)
        page = Page(driver)
        wait_for("the first frame", lambda: page.frames() >= 1 and page.app())
        print("page loaded:", camera.url)

        # Record from a fresh launch.
        page.click("record")
        wait_for("the recording to start", lambda: page.state()["recording"]["on"] and page.app())

        # The dot opens the popover, on the page's screen and in its panels.
        time.sleep(0.2)
        page.snapshot()
        x, y, w, h = page.app()["dotFrame"]
        page.click_screen(x + w / 2, y + h / 2)
        popover = wait_for("the popover", lambda: (page.app() or {}).get("popover"))
        wait_for("the popover's picture", lambda: page.changed_fraction(popover["frame"]) > 0.5)
        wait_for("two rows on the page", lambda: "2 rows" in page.text("popover-state"))
        print("popover shown at", popover["frame"], "with", popover["rows"], "rows; its picture is on the page")

        # The switch turns the torch on; dragging the slider sets its level.
        switch = page.app()["switch"]
        sx, sy, sw, sh = switch["frame"]
        page.click_screen(sx + sw / 2, sy + sh / 2)
        wait_for("the torch", lambda: page.app()["torch"]["level"] > 0)
        slider = page.app()["slider"]
        x0, ty, x1, _ = slider["track"]
        thumb = x0 + (slider["value"] - slider["min"]) / (slider["max"] - slider["min"]) * (x1 - x0)
        target = x0 + (0.42 - slider["min"]) / (slider["max"] - slider["min"]) * (x1 - x0)
        page.drag_screen((thumb, ty), (target, ty))
        wait_for("the LED at 42%", lambda: "42%" in page.text("led-state"))
        level = page.app()["torch"]["level"]
        if abs(level - 0.42) > 1e-6:
            fail("the LED's level is %s, expected 0.42" % level)
        def preference(key):
            for row in driver.find_elements(By.CSS_SELECTOR, "#prefs tr"):
                if row.get_attribute("data-key") == key:
                    return row.find_element(By.CLASS_NAME, "value").text
        wait_for("torchValue 0.42 in the preference file", lambda: preference("torchValue") == "0.42")
        wait_for("enableTorch true in the preference file", lambda: preference("enableTorch") == "true")
        print("LED:", page.text("led-state"), "- preference file: torchValue", preference("torchValue"), "enableTorch", preference("enableTorch"))

        # Expectations of the current state, with one click.
        driver.find_element(By.CSS_SELECTOR, "[data-expect=all]").click()
        wait_for("the expectations in the recording", lambda: "expect pref torchValue 0.42" in page.js("return window.live.recording"))
        if screenshot:
            os.makedirs(os.path.dirname(os.path.abspath(screenshot)), exist_ok=True)
            driver.save_screenshot(screenshot)
            print("screenshot:", screenshot)
        page.click("record")
        wait_for("the recording to stop", lambda: not page.state()["recording"]["on"])
        status, scenario = camera.request("GET", "api/recording")
        if status != 200:
            fail("the recording could not be downloaded: %s" % status)
        print("recorded scenario:\n" + scenario)
        # The page's copy, built from the lines as they were added, is the
        # recording itself.
        shown = page.js("return [window.live.recording.join('\\n') + '\\n', document.getElementById('recording').textContent]")
        if shown != [scenario, scenario]:
            fail("the page's recording differs from the download:\n%s" % shown)
        for line in ["launch", "tap dot", "switch on", "slider 0.42", "expect torch on 0.42", "expect popover rows 2", "expect pref torchValue 0.42"]:
            if line not in scenario.splitlines():
                fail("the recording has no line " + line)

        # Click to screen: a tap on the page to the picture that shows what
        # it did, drawn and painted, timed by the page itself.
        taps = []
        for i in range(40):
            open_now = bool(page.app()["popover"])
            count = page.js("return window.live.taps.length")
            if open_now:
                page.click_screen(300, 450)  # outside the popover
            else:
                x, y, w, h = page.app()["dotFrame"]
                page.click_screen(x + w / 2, y + h / 2)
            try:
                taps.append(page.next_tap(count))
            except TimeoutException:
                fail("the screen never showed click %d" % (i + 1))
            # The next click comes once the panels show this one, as a
            # person's would.
            wait_for("the panels after click %d" % (i + 1), lambda: page.text("popover-state").startswith("hidden" if open_now else "shown"))
        report_latency(taps)

        # The page's screen, put together from the frames as they came (rows
        # as they were a frame or two before, new rows as they are), is the
        # Camera's to the pixel, as a key frame of the screen shows it; so is
        # a page's that gets new rows as PNGs (as a page elsewhere does).
        # (The screen stands still now; a key frame goes to every page.)
        shown = page.pixels(0, 0, 750, 1334)
        with FrameStream(camera) as stream:
            (width, height), drawn = stream.key_frame()
        if (width, height) != (750, 1334) or shown != drawn:
            fail("the page's screen differs from the Camera's in %d pixels" % sum(shown[i:i + 4] != drawn[i:i + 4] for i in range(0, len(drawn), 4)))
        driver.get(camera.url + "?png")
        page = Page(driver)
        wait_for("the first frame of PNGs", lambda: page.frames() >= 1)
        wait_for("the PNG page's screen to be the Camera's", lambda: page.pixels(0, 0, width, height) == drawn, timeout=5)
        print("the page's screen is the Camera's to the pixel, from the frames as they came and from PNGs")

        errors = [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
        if errors:
            fail("the page logged errors: %s" % errors)

        check_resync(driver, os.path.join(os.path.dirname(os.path.dirname(camera_path)), "web"))
    finally:
        if driver:
            driver.quit()
        status = camera.stop()
        remove(profile)
    if status != 0:
        fail("Camera --serve ended with status %s:\n%s" % (status, "".join(camera.lines[-30:])))

    # The recording replays to the same end state.
    folder = fresh_folder("live-replay-")
    try:
        path = os.path.join(folder, "recorded.scn")
        with open(path, "w") as file:
            file.write(scenario)
        result = subprocess.run([camera_path, "--script", path, "--root", os.path.join(folder, "root")],
                                capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            fail("the recorded scenario failed on replay (status %d):\n%s" % (result.returncode, result.stdout[-3000:]))
        print("the recorded scenario replays with Camera --script")
    finally:
        remove(folder)
        remove(camera.root)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("camera")
    parser.add_argument("--screenshot")
    arguments = parser.parse_args()
    try:
        run(os.path.abspath(arguments.camera), arguments.screenshot)
    except AssertionError as error:
        print("FAILED:", error)
        sys.exit(1)
    print("PASSED")
