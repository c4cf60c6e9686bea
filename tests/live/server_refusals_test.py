"""The live view's server refuses what a page elsewhere, or a broken one,
may send: nothing it refuses reaches the device, and the Camera keeps
running. Run: server_refusals_test.py path/to/Camera"""

import json
import os
import subprocess
import sys
import unittest

from livetest import LiveCamera, fresh_folder, remove

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

    def test_too_many_event_streams(self):
        # The page's streams are bounded, so the server's threads are never
        # all held by them.
        import http.client
        connections = []
        try:
            statuses = []
            for _ in range(5):
                connection = http.client.HTTPConnection("127.0.0.1", self.camera.port, timeout=10)
                connection.request("GET", "/events")
                response = connection.getresponse()
                statuses.append(response.status)
                connections.append(connection)
            self.assertEqual(statuses[:4], [200] * 4)
            self.assertEqual(statuses[4], 503)
        finally:
            for connection in connections:
                connection.close()
        self.assertStillRunning()


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
