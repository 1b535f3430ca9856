"""Tests of the orlix Python module (run with ORLIX_LIBRARY set to the
library under test, from this folder: python3 -m unittest test_orlix)."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "examples"))
import make_demo_song as song  # noqa: E402
import orlix  # noqa: E402

DEMO = os.environ.get("ORLIX_DEMO", os.path.join(HERE, "..", "examples", "demo.gp4"))


def small_song(title):
    out = song.header(title, "", "", "", "", "", "", "", ["n\xe9"], False, 0,
                      [(1, "")] * 5)
    return out + song.song_block(90, -1, {}, 0, 0)


class Module(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, data):
        path = os.path.join(self.tmp.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_convert_returns_a_midi_file(self):
        midi = orlix.convert(DEMO)
        self.assertEqual(midi[:14], b"MThd\0\0\0\x06\0\x01\0\x03\x01\xe0")
        self.assertEqual(midi.count(b"MTrk"), 3)
        self.assertEqual(orlix.convert(DEMO), midi)  # the slot was released

    def test_info_of_the_demo(self):
        info = orlix.info(DEMO)
        self.assertEqual(info["title"], "Orlix Demo")
        self.assertEqual(info["artist"], "liborlix")
        self.assertEqual(info["tempo"], 100)
        self.assertTrue(info["tripletFeel"])
        self.assertEqual(info["measureCount"], 6)
        self.assertEqual(info["repeats"], [{"firstMeasure": 2, "lastMeasure": 3,
                                            "repeatCount": 1}])
        self.assertEqual([m["text"] for m in info["markers"]],
                         ["Intro", "Verse", "Bridge", "Outro"])
        self.assertEqual([t["name"] for t in info["tracks"]], ["Guitar", "Bass"])
        self.assertEqual(info["tracks"][0]["tuning"], ["E4", "B3", "G3", "D3", "A2", "E2"])
        self.assertEqual(info["tracks"][1]["tuningMidi"], [43, 38, 33, 28])

    def test_texts_are_read_as_windows_1252(self):
        path = self.write("t.gp4", small_song(b'\xe9\x80"\x81'))
        info = orlix.info(path)
        self.assertEqual(info["title"], '\u00e9\u20ac"\x81')
        self.assertEqual(info["notice"], ["n\u00e9"])
        self.assertEqual(info["key"], -1)
        self.assertEqual(info["tracks"], [])

    def test_failures_name_the_file_and_release_the_slot(self):
        missing = os.path.join(self.tmp.name, "missing.gp4")
        data = bytearray(small_song(b"x"))
        data[1:25] = b"FICHIER GUITAR PRO v3.00"
        old = self.write("old.gp4", bytes(data))
        cut = self.write("cut.gp4", small_song(b"x")[:100])
        cases = [(missing, "No such file"), (old, "not a version 4 song file"),
                 (cut, "truncated or unreadable")]
        for path, reason in cases:
            for call in (orlix.convert, orlix.info):
                with self.subTest(path=path, call=call.__name__):
                    with self.assertRaises(orlix.OrlixError) as caught:
                        call(path)
                    self.assertIn(path, str(caught.exception))
                    self.assertIn(reason, str(caught.exception))
        self.assertEqual(orlix.info(DEMO)["title"], "Orlix Demo")

    def test_bad_library_override_is_reported(self):
        code = "import orlix\ntry:\n orlix.info('x')\nexcept orlix.OrlixError as e:\n print(e)"
        env = dict(os.environ, ORLIX_LIBRARY=os.path.join(self.tmp.name, "nothing.so"))
        out = subprocess.run([sys.executable, "-c", code], cwd=HERE, env=env,
                             capture_output=True, text=True, check=True).stdout
        self.assertIn("ORLIX_LIBRARY=", out)
        self.assertIn("nothing.so", out)


if __name__ == "__main__":
    unittest.main()
