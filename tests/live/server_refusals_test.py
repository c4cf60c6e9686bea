"""The live view's server refuses what a page elsewhere, or a broken one,
may send: nothing it refuses reaches the device, and the Camera keeps
running. Run: server_refusals_test.py path/to/Camera"""

import fcntl
import http.client
import json
import os
import socket
import subprocess
import sys
import threading
import time
import unittest

from livetest import FrameStream, LiveCamera, fresh_folder, remove

CAMERA = None


class Refusals(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.outside = fresh_folder("live-outside-")
        cls.camera = LiveCamera(CAMERA)

    @classmethod
    def tearDownClass(cls):
        status = cls.camera.stop()
        remove(cls.camera.root)
        remove(cls.outside)
        assert status == 0, "Camera --serve ended with %s" % status

    def assertRefused(self, status, answer, code, words):
        self.assertEqual(status, code, answer)
        self.assertIsInstance(answer, dict, answer)
        self.assertIn(words, answer.get("error", ""))

    def assertStillRunning(self):
        status, answer = self.camera.command("expect running")
        self.assertEqual(status, 200, answer)

    def test_foreign_origin_and_host(self):
        status, answer = self.camera.command("tap dot", {"Origin": "http://example.com"})
        self.assertRefused(status, answer, 403, "another origin")
        status, answer = self.camera.command("tap dot", {"Host": "example.com:%d" % self.camera.port})
        self.assertRefused(status, answer, 403, "Host header")
        # DNS rebinding: a foreign name that resolves to this machine.
        status, answer = self.camera.request("GET", "events", headers={"Host": "attacker.test:%d" % self.camera.port})
        self.assertRefused(status, answer, 403, "Host header")
        # The page itself, by either loopback name, is fine.
        status, _ = self.camera.command("expect popover hidden", {"Origin": "http://127.0.0.1:%d" % self.camera.port})
        self.assertEqual(status, 200)
        status, _ = self.camera.command("expect popover hidden", {"Host": "localhost:%d" % self.camera.port, "Origin": "http://localhost:%d" % self.camera.port})
        self.assertEqual(status, 200)

    def test_malformed_requests(self):
        post = lambda body, kind="application/json": self.camera.request("POST", "api/command", body, {"Content-Type": kind})
        for body in ['{"command": "tap dot"', '["tap dot"]', '{"command": "tap dot"} x', "", '{"command": "a\\u0000"}x',
                     '{"command": {"nested": 1}}', '{"command": "tap", "command": "dot"}', '{"command": 0x10}']:
            status, answer = post(body)
            self.assertRefused(status, answer, 400, "malformed JSON")
        status, answer = post('{"what": "tap dot"}')
        self.assertRefused(status, answer, 400, 'field "command"')
        status, answer = post('{"command": true}')
        self.assertRefused(status, answer, 400, 'field "command"')
        status, answer = post('command=tap+dot', "application/x-www-form-urlencoded")
        self.assertRefused(status, answer, 415, "JSON")
        status, answer = post(json.dumps({"command": "x" * 40000}))
        self.assertEqual(status, 413)
        status, answer = self.camera.request("POST", "api/recording", '{"on": "yes"}', {"Content-Type": "application/json"})
        self.assertRefused(status, answer, 400, '"on"')
        status, answer = self.camera.request("POST", "api/expect", '{"what": "everything"}', {"Content-Type": "application/json"})
        self.assertRefused(status, answer, 400, "nothing to expect")
        self.assertStillRunning()

    def test_unknown_and_internal_commands(self):
        for line, words in [("fly away", "unknown command"), ("sync", "unknown command"), ("time 0", "unknown command"),
                            ("live-frame full", "unknown command"), ("tap dot\nquit", "one line"), ("tap dot # x", "comment"),
                            ("   ", "empty"), ("wait 5", "real time")]:
            status, answer = self.camera.command(line)
            self.assertRefused(status, answer, 400, words)
        self.assertStillRunning()

    def test_out_of_range_values(self):
        for line, words in [("tap at 400 10", "off the screen"), ("tap at -1 10", "off the screen"), ("tap at 10 nan", "must be a number"),
                            ("tap at 10", "missing Y"), ("burst 100000", "1 to 50"), ("rotate sideways", "not one of")]:
            status, answer = self.camera.command(line)
            self.assertRefused(status, answer, 400, words)
        self.assertEqual(self.camera.command("tap dot")[0], 200)
        for value in ["1.5", "-0.1"]:
            status, answer = self.camera.command("slider " + value)
            self.assertRefused(status, answer, 400, "outside the slider's range")
        for value in ["nan", "inf", "0.5x"]:
            status, answer = self.camera.command("slider " + value)
            self.assertRefused(status, answer, 400, "must be a number")
        self.assertEqual(self.camera.command("tap dot")[0], 200)
        self.assertStillRunning()

    def test_nothing_written_outside_the_device_root(self):
        target = os.path.join(self.outside, "x")
        for line, words in [("screenshot " + target + ".png", "screenshots"), ("editor --root " + self.outside + " set a bool true", "options"),
                            ("device extension=../../x", "not an extension name"), ("package install " + target + ".deb", "the package the build made")]:
            status, answer = self.camera.command(line)
            self.assertRefused(status, answer, 400, words)
        self.assertEqual(os.listdir(self.outside), [])
        self.assertStillRunning()

    def open_stream(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.camera.port, timeout=10)
        connection.request("GET", "/events")
        response = connection.getresponse()
        return connection, response

    def test_event_streams_are_bounded_and_freed_when_closed(self):
        streams = []
        try:
            for _ in range(4):
                streams.append(self.open_stream())
            self.assertEqual([response.status for _, response in streams], [200] * 4)
            self.assertEqual(streams[0][1].getheader("Content-Type"), "text/event-stream")
            # The streams hold no worker: requests are still answered.
            self.assertStillRunning()
            connection, refused = self.open_stream()
            self.assertEqual(refused.status, 503)
            connection.close()
            # A closed stream's place is free at once, not at the next event
            # (nothing happens on the device meanwhile). The loop only gives
            # the server the moment it takes to see the close.
            connection, response = streams.pop()
            response.close()
            connection.close()
            for _ in range(100):
                stream = self.open_stream()
                if stream[1].status == 200:
                    break
                stream[0].close()
                threading.Event().wait(0.05)
            streams.append(stream)
            self.assertEqual(stream[1].status, 200)
        finally:
            for connection, response in streams:
                response.close()
                connection.close()
        self.assertStillRunning()

    def test_frame_streams_start_with_the_whole_screen(self):
        """The frames come in a stream of their own, bounded like the
        events: each starts with a key frame of the whole screen, its new
        rows as pixels for a page on this machine, as PNGs for one that asks
        (as a page elsewhere gets them)."""
        with FrameStream(self.camera) as stream, FrameStream(self.camera, "/frames?png") as png:
            for response in [stream.response, png.response]:
                self.assertEqual(response.status, 200)
                self.assertEqual(response.getheader("Content-Type"), "application/octet-stream")
                self.assertEqual(response.getheader("X-Content-Type-Options"), "nosniff")
                self.assertEqual(response.getheader("X-Frame-Options"), "DENY")
            # (A key frame made before it asked may come first.)
            frame = png.next_frame()
            while not frame["key"] or frame["pieces"][0][1] == 0:
                frame = png.next_frame()
            self.assertEqual((frame["screen"], frame["rect"]), ((750, 1334), (0, 0, 750, 1334)))
            self.assertEqual({kind for _, kind, _, _ in frame["pieces"]}, {2})
            self.assertTrue(all(data.startswith(b"\x89PNG") for _, _, _, data in frame["pieces"]))
            self.assertEqual(sum(rows for rows, _, _, _ in frame["pieces"]), 1334)
        # With no page asking for PNGs, the rows come as they are.
        with FrameStream(self.camera) as stream:
            screen, pixels = stream.key_frame()
            self.assertEqual(screen, (750, 1334))
            self.assertEqual(len(pixels), 750 * 1334 * 4)
            # Only the one page shown at a time needs them: a few pages, no more.
            others = [FrameStream(self.camera) for _ in range(3)]
            try:
                self.assertEqual([other.response.status for other in others], [200] * 3)
                with FrameStream(self.camera) as refused:
                    self.assertEqual(refused.response.status, 503)
            finally:
                for other in others:
                    other.__exit__()
        self.assertStillRunning()

    def test_every_answer_forbids_framing(self):
        port = self.camera.port
        answers = [self.raw("GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % port),
                   self.raw("GET /live.js HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % port),
                   self.raw("GET /api/recording HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % port),
                   self.raw("GET / HTTP/1.1\r\nHost: evil.test:%d\r\n\r\n" % port),
                   self.raw("GET /nowhere HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % port),
                   self.raw("GET / HTTP/1.1\r\n" + "X-Many: 1\r\n" * 200 + "\r\n")]
        self.assertEqual([status for status, _, _ in answers], [200, 200, 200, 403, 404, 431])
        for status, headers, _ in answers:
            self.assertEqual(headers.get("x-frame-options"), "DENY", (status, headers))
            policy = headers.get("content-security-policy", "")
            self.assertIn("frame-ancestors 'none'", policy)
            self.assertIn("script-src 'self'", policy)
            self.assertNotIn("unsafe-inline", policy)

    def test_media_type_is_compared_exactly(self):
        post = lambda kind: self.camera.request("POST", "api/command", json.dumps({"command": "expect running"}), {"Content-Type": kind})
        for kind in ["application/jsonx", "application/json-patch+json", "text/application/json", "application/json/x", ""]:
            status, answer = post(kind)
            self.assertRefused(status, answer, 415, "JSON")
        for kind in ["application/json", "application/json; charset=utf-8", "Application/JSON ; charset=UTF-8"]:
            self.assertEqual(post(kind)[0], 200, kind)

    def test_chunked_bodies_stop_at_the_limit(self):
        head = ("POST /api/command HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Type: application/json\r\n"
                "Transfer-Encoding: chunked\r\n\r\n" % self.camera.port)
        body = json.dumps({"command": "expect running"})
        status, _, answer = self.raw(head + "%x\r\n%s\r\n%x\r\n%s\r\n0\r\n\r\n" % (5, body[:5], len(body) - 5, body[5:]))
        self.assertEqual(status, 200, answer)
        # A body of 4 MiB in chunks: refused once past the limit, not read
        # whole and run.
        chunk = "%x\r\n%s\r\n" % (65536, "x" * 65536)
        status, _, answer = self.raw(head + chunk * 64 + "0\r\n\r\n")
        self.assertEqual(status, 413, answer)
        self.assertIn("at most", json.loads(answer)["error"])
        # One chunk that says it is larger than the limit.
        status, _, _ = self.raw(head + "1000000\r\n")
        self.assertEqual(status, 413)
        for bad in ["zz\r\nxx\r\n0\r\n\r\n", "2\r\nxxx\r\n0\r\n\r\n"]:
            self.assertEqual(self.raw(head + bad)[0], 400, bad)
        self.assertEqual(self.raw(head.replace("chunked", "gzip") + "0\r\n\r\n")[0], 501)
        self.assertEqual(self.raw(head.replace("\r\n\r\n", "\r\nContent-Length: 3\r\n\r\n") + "0\r\n\r\n")[0], 400)
        self.assertStillRunning()

    def test_header_lines_are_counted(self):
        port = self.camera.port
        request = lambda count: "GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % port + "".join("X-H%d: %d\r\n" % (i, i) for i in range(count)) + "\r\n"
        self.assertEqual(self.raw(request(60))[0], 200)
        status, _, answer = self.raw(request(1000))
        self.assertEqual(status, 431, answer)
        # A million header lines: refused after the first hundred.
        status, _, _ = self.raw(request(1000000))
        self.assertEqual(status, 431)
        # One enormous header line.
        status, _, _ = self.raw("GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Big: %s\r\n\r\n" % (port, "x" * 100000))
        self.assertEqual(status, 431)
        self.assertStillRunning()

    def test_a_client_that_stops_sending_still_gets_its_answer(self):
        def exchange(text):
            with socket.create_connection(("127.0.0.1", self.camera.port), timeout=30) as connection:
                connection.sendall(text.encode())
                connection.shutdown(socket.SHUT_WR)
                received = b""
                while data := connection.recv(65536):
                    received += data
                return received
        answer = exchange("GET /live.css HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % self.camera.port)
        self.assertTrue(answer.startswith(b"HTTP/1.1 200 "), answer[:100])
        # Half a request is never answered: the connection just ends.
        self.assertEqual(exchange("GET /live.css HTTP/1.1\r\nHost: 127.0"), b"")
        self.assertStillRunning()

    def raw(self, text):
        """Sends a request as it is written; returns (status, headers with
        lower-case names, body). The whole request is sent even when the
        server answers before it has read it."""
        connection = socket.create_connection(("127.0.0.1", self.camera.port), timeout=30)
        received = b""
        try:
            def send():
                try:
                    connection.sendall(text.encode())
                except OSError:
                    pass
            sender = threading.Thread(target=send)
            sender.start()
            while b"\r\n\r\n" not in received:
                data = connection.recv(65536)
                if not data:
                    break
                received += data
            head, _, body = received.partition(b"\r\n\r\n")
            lines = head.decode().split("\r\n")
            headers = {}
            for line in lines[1:]:
                name, _, value = line.partition(":")
                headers[name.strip().lower()] = value.strip()
            length = int(headers.get("content-length", 0))
            while len(body) < length:
                data = connection.recv(65536)
                if not data:
                    break
                body += data
            connection.shutdown(socket.SHUT_RDWR)
            sender.join()
            return int(lines[0].split()[1]), headers, body.decode()
        finally:
            connection.close()


class Recording(unittest.TestCase):
    """The recording reaches the page line by line, in events of its own:
    the state does not carry it, whatever its length."""

    def test_recorded_lines_come_as_they_are_added(self):
        with LiveCamera(CAMERA) as camera:
            connection = http.client.HTTPConnection("127.0.0.1", camera.port, timeout=30)
            connection.request("GET", "/events")
            stream = connection.getresponse()
            lines, states, pending = [], [], b""

            def read_until(condition):
                nonlocal pending
                give_up = time.monotonic() + 60  # a bound on a broken server, far from the milliseconds it takes
                while not condition():
                    self.assertLess(time.monotonic(), give_up, "the recording's events never added up to the recording")
                    pending += stream.read1(65536)
                    *events, pending = pending.split(b"\n\n")
                    for event in events:
                        name, _, data = event.partition(b"\ndata: ")
                        if name == b"event: state":
                            states.append(data)
                        elif name == b"event: recording":
                            change = json.loads(data)
                            if change["reset"]:
                                lines.clear()
                            del lines[len(lines) - change["drop"]:]
                            lines.extend(change["lines"])

            status, _ = camera.request("POST", "api/recording", '{"on": true}', {"Content-Type": "application/json"})
            self.assertEqual(status, 200)
            # A drag of the slider is one line, where it ended.
            for line in ["tap dot", "switch on", "slider 0.3", "slider 0.5", "slider 0.7", "tap dot"] + ["prefs set k%d bool true" % (i % 5) for i in range(300)]:
                self.assertEqual(camera.command(line)[0], 200, line)
            status, text = camera.request("GET", "api/recording")
            self.assertEqual(status, 200)
            read_until(lambda: "\n".join(lines) + "\n" == text)
            self.assertEqual([line for line in lines if line.startswith("slider")], ["slider 0.7"])
            self.assertGreater(len(text), 8000)
            self.assertTrue(all(json.loads(state)["recording"] in ({"on": True}, {"on": False}) for state in states))
            self.assertLess(max(len(state) for state in states), 4096)
            stream.close()
            connection.close()


class SlowClients(unittest.TestCase):
    """Clients that are idle, or send their headers a byte at a time, do
    not keep the server from others."""

    def test_slow_and_idle_clients_do_not_stall_the_server(self):
        with LiveCamera(CAMERA) as camera:
            done = threading.Event()
            sockets = []
            try:
                head = "GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Slow: " % camera.port

                def drip(connection):
                    connection.sendall(head.encode())
                    try:
                        while not done.wait(0.2):
                            connection.sendall(b"x")
                    except OSError:
                        pass  # closed by the server

                # More idle connections than the server keeps, and slow ones
                # besides, then four event streams.
                for _ in range(300):
                    sockets.append(socket.create_connection(("127.0.0.1", camera.port)))
                drippers = []
                for _ in range(40):
                    connection = socket.create_connection(("127.0.0.1", camera.port))
                    sockets.append(connection)
                    drippers.append(threading.Thread(target=drip, args=(connection,)))
                    drippers[-1].start()
                streams = []
                for _ in range(4):
                    connection = http.client.HTTPConnection("127.0.0.1", camera.port, timeout=10)
                    connection.request("GET", "/events")
                    streams.append((connection, connection.getresponse()))
                # A page's requests are answered meanwhile: the limit is ten
                # seconds, where an answer takes milliseconds.
                for line in ["tap dot", "expect popover shown", "tap dot", "expect popover hidden"]:
                    connection = http.client.HTTPConnection("127.0.0.1", camera.port, timeout=10)
                    connection.request("POST", "/api/command", json.dumps({"command": line}), {"Content-Type": "application/json"})
                    self.assertEqual(connection.getresponse().status, 200, line)
                    connection.close()
                connection = http.client.HTTPConnection("127.0.0.1", camera.port, timeout=10)
                connection.request("GET", "/")
                self.assertEqual(connection.getresponse().status, 200)
                connection.close()
                for connection, response in streams:
                    self.assertEqual(response.status, 200)
                    response.close()
                    connection.close()
            finally:
                done.set()
                for connection in sockets:
                    connection.close()


class UnreadOutput(unittest.TestCase):
    def test_an_unread_standard_output_never_stops_the_server(self):
        # Standard output is a small pipe that nobody reads (a paused pager).
        small_pipe = lambda process: fcntl.fcntl(process.stdout.fileno(), fcntl.F_SETPIPE_SZ, 4096)
        with LiveCamera(CAMERA, read_output=False, before_start=small_pipe) as camera:
            # Each line of the preference file's trace is 300 bytes: 400 of
            # them are more than the pipe and what the server keeps for the
            # terminal.
            self.assertEqual(camera.command("quit")[0], 200)
            for i in range(400):
                status, answer = camera.command("prefs set key string %03d%s" % (i, "x" * 200))
                self.assertEqual(status, 200, "command %d: %s" % (i, answer))
            # The page's copy of the trace has it all (its last lines may
            # come after the answer: the stream is read until they have).
            connection = http.client.HTTPConnection("127.0.0.1", camera.port, timeout=10)
            connection.request("GET", "/events")
            response = connection.getresponse()
            written, events = [], b""
            while len(written) < 400:
                events += response.read1(65536)
                *whole, events = events.split(b"\n\n")
                for event in whole:
                    if event.startswith(b"event: trace\n"):
                        trace = json.loads(event.split(b"data: ", 1)[1])
                        written += [line for line in trace if "com.QV.Lumora.plist: {enableTorch = false; key = " in line]
            self.assertEqual(len(written), 400)
            self.assertIn("399xxx", written[-1])
            response.close()
            connection.close()
            # Once read again, the terminal is told what it missed.
            camera.read_rest()
        self.assertTrue(any("lines of the trace are not shown here" in line for line in camera.lines), "".join(camera.lines[-20:]))


    def test_a_terminal_that_is_gone_is_let_go(self):
        # The pager quit: its pipe has no reader. The server goes on, the
        # page's trace too.
        with LiveCamera(CAMERA, read_output=False) as camera:
            camera.process.stdout.close()
            for i in range(100):
                self.assertEqual(camera.command("prefs set key string %03d" % i)[0], 200)
            status, answer = camera.command("expect running")
            self.assertEqual(status, 200, answer)


class Addresses(unittest.TestCase):
    def test_only_loopback_unless_anywhere(self):
        root = fresh_folder("live-root-")
        try:
            result = subprocess.run([CAMERA, "--serve", "0.0.0.0:0", "--root", root], capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 2)
            self.assertIn("--serve-anywhere", result.stderr)
            result = subprocess.run([CAMERA, "--serve", "nowhere:80", "--root", root], capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 2)
            self.assertIn("not an IP address", result.stderr)
        finally:
            remove(root)

    def test_names_that_reach_the_page_anywhere(self):
        # Serving anywhere (here on a second loopback address, which the
        # test may use), a Host is an IP address, localhost or a name given
        # with --serve-name: never another name, which a page elsewhere
        # could point at this machine (DNS rebinding).
        with LiveCamera(CAMERA, address="127.0.0.2", extra=["--serve-anywhere", "--serve-name", "Camera.Test"]) as camera:
            port = camera.port
            for host, expected in [("evil.test:%d", 403), ("camera.test.evil.test:%d", 403), ("127.0.0.2:%d", 200), ("10.1.2.3:%d", 200),
                                   ("[::1]:%d", 200), ("[fe80::1]:%d", 200), ("localhost:%d", 200), ("camera.test:%d", 200),
                                   ("CAMERA.test:%d", 200), ("camera.test:1%d", 403), ("[evil.test]:%d", 403), ("", 403)]:
                host = host % port if "%d" in host else host
                status, answer = camera.command("expect running", {"Host": host, "Origin": "http://" + host})
                self.assertEqual(status, expected, (host, answer))
        result = subprocess.run([CAMERA, "--serve-name", "evil.test:80"], capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 2)
        self.assertIn("not a host name", result.stderr)
        help = subprocess.run([CAMERA, "--help"], capture_output=True, text=True, timeout=60).stdout
        self.assertIn("--serve-name NAME", help)

    def test_unreadable_setup_scenario(self):
        # A setup that cannot be read is an error, not a device left as it was.
        root = fresh_folder("live-root-")
        try:
            missing = os.path.join(root, "no-such-setup.scn")
            result = subprocess.run([CAMERA, "--serve", "127.0.0.1:0", "--script", missing, "--root", root],
                                    capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 2, result.stdout + result.stderr)
            self.assertIn("cannot read the scenario " + missing, result.stderr)
        finally:
            remove(root)


if __name__ == "__main__":
    CAMERA = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
