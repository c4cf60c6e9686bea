"""Starting `Camera --serve` on a free loopback port for the live view's tests."""

import http.client
import json
import os
import re
import shutil
import struct
import subprocess
import tempfile
import threading
import urllib.error
import urllib.request


class LiveCamera:
    """`Camera --serve` at address, port 0. What it prints is read as it
    comes, unless read_output is False (then read_rest() reads it)."""

    def __init__(self, camera, root=None, extra=(), address="127.0.0.1", read_output=True, before_start=None):
        self.root = root or tempfile.mkdtemp(prefix="live-root-")
        self.lines = []
        self.process = subprocess.Popen(
            [camera, "--serve", address + ":0", "--root", self.root, *extra],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, bufsize=1)
        if before_start:
            before_start(self.process)
        self.url = None
        for line in self.process.stdout:
            self.lines.append(line)
            found = re.search(r"(http://" + re.escape(address) + r":(\d+)/)", line)
            if found:
                self.url, self.port = found.group(1), int(found.group(2))
                break
        if not self.url:
            raise RuntimeError("Camera --serve did not say where it serves:\n" + "".join(self.lines))
        self.reader = None
        if read_output:
            self.read_rest()

    # As a context: stopped at the end, its device root removed, and its
    # status checked.
    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        status = self.stop()
        remove(self.root)
        if kind is None and status != 0:
            raise AssertionError("Camera --serve ended with status %s:\n%s" % (status, "".join(self.lines[-30:])))

    def read_rest(self):
        # Keep reading what it prints, so it never blocks on a full pipe.
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line)

    def request(self, method, path, body=None, headers=None):
        """Returns (status, decoded JSON or text)."""
        data = body.encode() if isinstance(body, str) else body
        request = urllib.request.Request(self.url + path.lstrip("/"), data=data, method=method)
        for name, value in (headers or {}).items():
            request.add_header(name, value)
        try:
            with urllib.request.urlopen(request, timeout=30) as response:
                status, text = response.status, response.read().decode()
        except urllib.error.HTTPError as error:
            status, text = error.code, error.read().decode()
        try:
            return status, json.loads(text)
        except ValueError:
            return status, text

    def command(self, line, headers=None):
        return self.request("POST", "api/command", json.dumps({"command": line}),
                            {"Content-Type": "application/json", **(headers or {})})

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.reader:
            self.reader.join(timeout=5)
        if (not self.reader or not self.reader.is_alive()) and not self.process.stdout.closed:
            self.process.stdout.close()
        return self.process.returncode


class FrameStream:
    """The server's stream of frames (host/LiveFrames.h), read as a page
    reads it. As a context: closed at the end."""

    def __init__(self, camera, path="/frames"):
        self.connection = http.client.HTTPConnection("127.0.0.1", camera.port, timeout=20)
        self.connection.request("GET", path)
        self.response = self.connection.getresponse()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.response.close()
        self.connection.close()

    def read(self, count):
        data = b""
        while len(data) < count:
            more = self.response.read1(count - len(data))
            if not more:
                raise EOFError("the frame stream ended")
            data += more
        return data

    def next_frame(self):
        """The next frame: a dict of its header's fields and its pieces
        (rows, kind, back, bytes), the messages that say nothing skipped."""
        while True:
            size, kind = struct.unpack("<II", self.read(8))
            message = self.read(size - 8)
            if kind != 1:
                continue
            number, flags, sent, width, height, x, y, w, h, count, _ = struct.unpack("<IIdHHHHHHHH", message[:32])
            frame = {"number": number, "key": bool(flags & 1), "screen": (width, height), "rect": (x, y, w, h), "pieces": []}
            at = 32
            for _ in range(count):
                rows, kind, back, length = struct.unpack("<HBBI", message[at:at + 8])
                frame["pieces"].append((rows, kind, back, message[at + 8:at + 8 + length]))
                at += 8 + length
            return frame

    def key_frame(self):
        """The screen's pixels (RGBA) from the next key frame: the whole
        screen as the Camera drew it, new rows as they are."""
        while True:
            frame = self.next_frame()
            if frame["key"]:
                break
        if any(kind != 0 for _, kind, _, _ in frame["pieces"]):
            raise AssertionError("a key frame for this machine with pieces that are not pixels: %s" % [kind for _, kind, _, _ in frame["pieces"]])
        return frame["screen"], b"".join(data for _, _, _, data in frame["pieces"])


def fresh_folder(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def remove(folder):
    shutil.rmtree(folder, ignore_errors=True)
