"""Tests of the orlix command: exit codes, messages for bad input, safe
output files, batches, JSON, and the demo song's round trip.

Environment: ORLIX_TOOL (the command), ORLIX_SONG_TO_MIDI (the flat-interface
example, which writes the bytes of ORLIX_CreateMidiBuffer), ORLIX_DEMO.
"""
import json
import os
import stat
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "examples"))
import make_demo_song as song  # noqa: E402  (the song writer)

TOOL = os.environ.get("ORLIX_TOOL", "orlix")
SONG_TO_MIDI = os.environ.get("ORLIX_SONG_TO_MIDI")
DEMO = os.environ.get("ORLIX_DEMO", os.path.join(HERE, "..", "examples", "demo.gp4"))
CORPUS = os.environ.get("ORLIX_CORPUS_DIR", "")

LYRICS = [(1, "")] * 5


def small_song(title=b"Small", measures=(), tracks=(), cells=b""):
    """A song with the given measure headers, tracks and grid bytes."""
    out = song.header(title, "", "", "", "", "", "", "", [], False, 0, LYRICS)
    out += song.song_block(120, 0, {}, len(measures), len(tracks))
    return out + b"".join(measures) + b"".join(tracks) + cells


def run(*args):
    result = subprocess.run([TOOL] + list(args), capture_output=True)
    return result.returncode, result.stdout.decode(), result.stderr.decode()


class Workspace(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def demo_bytes(self):
        with open(DEMO, "rb") as f:
            return f.read()


class CommandLine(unittest.TestCase):
    def test_help_and_version_go_to_stdout(self):
        for flag in ("--help", "-h"):
            code, out, err = run(flag)
            self.assertEqual((code, err), (0, ""))
            self.assertIn("orlix convert", out)
        code, out, err = run("--version")
        self.assertEqual((code, err), (0, ""))
        self.assertRegex(out, r"^orlix \d+\.\d+\.\d+\n$")

    def test_usage_errors_exit_2(self):
        cases = [
            [],
            ["play", "x.gp4"],
            ["convert"],
            ["convert", "--bogus", "x.gp4"],
            ["convert", "a.gp4", "b.gp4", "-o", "out.mid"],
            ["convert", "a.gp4", "-o"],
            ["convert", "a.gp4", "-o", "x.mid", "-d", "."],
            ["info"],
            ["info", "a.gp4", "b.gp4"],
            ["info", "--xml", "a.gp4"],
        ]
        for args in cases:
            with self.subTest(args=args):
                code, out, err = run(*args)
                self.assertEqual(code, 2)
                self.assertTrue(err.startswith("orlix: "), err)
                self.assertIn("Usage:", err)


class BadInput(Workspace):
    def assertFailsWith(self, path, message):
        before = sorted(os.listdir(self.dir))
        target = os.path.join(self.dir, "out.mid")
        code, out, err = run("convert", path, "-o", target)
        self.assertEqual(code, 1)
        self.assertEqual(err, "orlix: %s: %s\n" % (path, message))
        # No output and no temporary file is left behind.
        self.assertEqual(sorted(os.listdir(self.dir)), before)
        code, out, err = run("info", path)
        self.assertEqual((code, out, err), (1, "", "orlix: %s: %s\n" % (path, message)))

    def test_missing_file(self):
        self.assertFailsWith(os.path.join(self.dir, "missing.gp4"),
                             "cannot open: No such file or directory")

    def test_directory(self):
        self.assertFailsWith(self.dir, "is a directory")

    def test_empty_file(self):
        self.assertFailsWith(self.write("empty.gp4", b""), "file is empty")

    def test_version_3_header(self):
        data = bytearray(small_song())
        data[1:25] = b"FICHIER GUITAR PRO v3.00"
        self.assertFailsWith(self.write("old.gp4", bytes(data)),
                             'not a version 4 song file (header "FICHIER GUITAR PRO v3.00")')

    def test_header_is_made_printable(self):
        data = b"\x05AB\x00\x1b\"" + bytes(40)
        self.assertFailsWith(self.write("odd.gp4", data),
                             'not a version 4 song file (header "AB\\x00\\x1B\\x22")')

    def test_truncated_song(self):
        cut = self.demo_bytes()[:1000]
        self.assertFailsWith(self.write("cut.gp4", cut),
                             "file ends early at byte 1000 of 1000 (truncated)")

    def test_every_truncation_is_reported_as_such(self):
        data = small_song(title=b"Cut")
        for length in (1, 20, 31, 40, len(data) - 1):
            with self.subTest(length=length):
                path = self.write("cut%d.gp4" % length, data[:length])
                code, _, err = run("info", path)
                self.assertEqual(code, 1)
                self.assertIn("file ends early at byte %d of %d (truncated)" % (length, length),
                              err)

    def test_unreadable_data(self):
        # One measure, one track, one beat whose chord diagram has the
        # unknown layout byte 2 (at byte N); the rest of the file follows.
        grid = song.i32(1) + bytes([0x02, 0x00, 0x02]) + bytes(200)
        data = small_song(measures=[song.measure_header(4, 4)],
                          tracks=[song.track("T", [64], 1, 1, 1)], cells=grid)
        chord_format_end = len(data) - 200
        self.assertFailsWith(self.write("bad.gp4", data),
                             "unreadable data near byte %d" % chord_format_end)


class Output(Workspace):
    def test_default_output_is_next_to_the_input(self):
        path = self.write("Song Name.gp4", self.demo_bytes())
        code, out, err = run("convert", path)
        self.assertEqual((code, out, err), (0, "", ""))
        midi = os.path.join(self.dir, "Song Name.mid")
        with open(midi, "rb") as f:
            self.assertEqual(f.read(4), b"MThd")
        self.assertEqual(os.stat(midi).st_mode & 0o777, 0o666 & ~current_umask())
        self.assertEqual(sorted(os.listdir(self.dir)), ["Song Name.gp4", "Song Name.mid"])

    def test_a_link_is_kept_and_its_target_replaced(self):
        path = self.write("song.gp4", self.demo_bytes())
        target = self.write("real.mid", b"old")
        link = os.path.join(self.dir, "link.mid")
        os.symlink(target, link)
        self.assertEqual(run("convert", path, "-o", link)[0], 0)
        self.assertTrue(os.path.islink(link))
        with open(target, "rb") as f:
            self.assertEqual(f.read(4), b"MThd")

    def test_a_pipe_is_written_into_not_replaced(self):
        # The same path a device such as /dev/null takes: never renamed over.
        path = self.write("song.gp4", self.demo_bytes())
        fifo = os.path.join(self.dir, "pipe.mid")
        os.mkfifo(fifo)
        reader = subprocess.Popen(["cat", fifo], stdout=subprocess.PIPE)
        code, _, err = run("convert", path, "-o", fifo)
        received = reader.communicate(timeout=30)[0]
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(received[:4], b"MThd")
        self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))

    def test_refuses_to_write_over_the_input(self):
        data = self.demo_bytes()
        path = self.write("song.mid", data)
        for args in (["convert", path], ["convert", path, "-o", path]):
            code, out, err = run(*args)
            self.assertEqual(code, 1)
            self.assertIn("refusing to write over it", err)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), data)

    def test_unwritable_target_leaves_nothing(self):
        path = self.write("song.gp4", self.demo_bytes())
        target = os.path.join(self.dir, "no-such-dir", "out.mid")
        code, out, err = run("convert", path, "-o", target)
        self.assertEqual(code, 1)
        self.assertTrue(err.startswith("orlix: %s: cannot create" % target), err)
        self.assertEqual(os.listdir(self.dir), ["song.gp4"])

    def test_failed_conversion_keeps_an_existing_output(self):
        bad = self.write("bad.gp4", b"\x03abc")
        target = self.write("out.mid", b"previous")
        code, _, _ = run("convert", bad, "-o", target)
        self.assertEqual(code, 1)
        with open(target, "rb") as f:
            self.assertEqual(f.read(), b"previous")

    def test_batch_goes_on_past_a_bad_file(self):
        good = self.write("good.gp4", self.demo_bytes())
        bad = self.write("bad.gp4", self.demo_bytes()[:500])
        missing = os.path.join(self.dir, "missing.gp4")
        out_dir = os.path.join(self.dir, "out")
        os.mkdir(out_dir)
        code, out, err = run("convert", "-d", out_dir, bad, good, missing)
        self.assertEqual(code, 1)
        self.assertEqual(out, "orlix: 1 converted, 2 failed\n")
        self.assertIn("orlix: %s: file ends early at byte 500 of 500 (truncated)\n" % bad, err)
        self.assertIn("orlix: %s: cannot open" % missing, err)
        self.assertEqual(os.listdir(out_dir), ["good.mid"])

    def test_batch_of_good_files_exits_0(self):
        a = self.write("a.gp4", self.demo_bytes())
        b = self.write("b.gp4", small_song())
        out_dir = os.path.join(self.dir, "out")
        os.mkdir(out_dir)
        code, out, err = run("convert", "--directory=" + out_dir, a, b)
        self.assertEqual((code, out, err), (0, "orlix: 2 converted, 0 failed\n", ""))
        self.assertEqual(sorted(os.listdir(out_dir)), ["a.mid", "b.mid"])

    def test_batch_does_not_let_two_songs_share_an_output(self):
        os.mkdir(os.path.join(self.dir, "x"))
        first = self.write("song.gp4", self.demo_bytes())
        second = self.write(os.path.join("x", "song.gp4"), small_song())
        code, out, err = run("convert", "-d", self.dir + "/x", first, second)
        self.assertEqual(code, 1)
        self.assertIn("already written in this run", err)
        self.assertEqual(out, "orlix: 1 converted, 1 failed\n")

    def test_missing_output_directory(self):
        path = self.write("song.gp4", self.demo_bytes())
        code, _, err = run("convert", "-d", os.path.join(self.dir, "nope"), path)
        self.assertEqual(code, 1)
        self.assertIn("No such file or directory", err)


class Info(Workspace):
    def test_demo_as_text(self):
        code, out, err = run("info", DEMO)
        self.assertEqual((code, err), (0, ""))
        for expected in ("Title:           Orlix Demo", "Triplet feel:    yes",
                         "Tempo:           100", "Measures:        6",
                         "4/4 at 1, 3/4 at 4, 4/4 at 5", "measures 2-3, played 2 times",
                         'measure 1 "Intro"', '1. "Guitar": 6 strings E4 B3 G3 D3 A2 E2',
                         '2. "Bass": 4 strings G2 D2 A1 E1'):
            self.assertIn(expected, out)

    def test_demo_as_json(self):
        code, out, err = run("info", "--json", DEMO)
        self.assertEqual((code, err), (0, ""))
        info = json.loads(out)
        self.assertEqual(info["version"], "FICHIER GUITAR PRO v4.06")
        self.assertEqual(info["title"], "Orlix Demo")
        self.assertEqual(info["tempo"], 100)
        self.assertTrue(info["tripletFeel"])
        self.assertEqual(info["lyrics"][0], "La la la, the demo plays")
        self.assertEqual(info["timeSignatures"], [
            {"measure": 1, "numerator": 4, "denominator": 4},
            {"measure": 4, "numerator": 3, "denominator": 4},
            {"measure": 5, "numerator": 4, "denominator": 4}])
        self.assertEqual(info["repeats"], [{"firstMeasure": 2, "lastMeasure": 3,
                                            "repeatCount": 1}])
        self.assertEqual([m["text"] for m in info["markers"]],
                         ["Intro", "Verse", "Bridge", "Outro"])
        guitar, bass = info["tracks"]
        self.assertEqual(guitar["tuning"], ["E4", "B3", "G3", "D3", "A2", "E2"])
        self.assertEqual(guitar["tuningMidi"], [64, 59, 55, 50, 45, 40])
        self.assertEqual((guitar["channel"], guitar["effectsChannel"], guitar["program"]),
                         (1, 2, 25))
        self.assertEqual(bass["name"], "Bass")

    def test_json_texts_are_utf8_and_escaped(self):
        title = b'Caf\xe9 \x80 "quoted" back\\slash\x01\x81'
        path = self.write("t.gp4", small_song(title=title))
        result = subprocess.run([TOOL, "info", "--json", path], capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        text = result.stdout.decode("utf-8")  # must be valid UTF-8
        self.assertIn("\\u0001", text)
        info = json.loads(text)
        self.assertEqual(info["title"], 'Caf\u00e9 \u20ac "quoted" back\\slash\x01\x81')
        self.assertEqual(info["notice"], [])
        self.assertEqual(info["tracks"], [])

    def test_text_output_hides_control_characters(self):
        path = self.write("t.gp4", small_song(title=b"A\nB\xe9"))
        code, out, _ = run("info", path)
        self.assertEqual(code, 0)
        self.assertIn("Title:           A\\x0AB\u00e9\n", out)


class RoundTrip(Workspace):
    def test_demo_generator_is_in_step_with_the_committed_song(self):
        self.assertEqual(song.demo_song(), self.demo_bytes())

    @unittest.skipUnless(SONG_TO_MIDI, "ORLIX_SONG_TO_MIDI not set")
    def test_command_writes_the_bytes_of_the_flat_interface(self):
        for name, data in (("demo.gp4", self.demo_bytes()), ("small.gp4", small_song())):
            with self.subTest(song=name):
                path = self.write(name, data)
                mine = os.path.join(self.dir, "tool.mid")
                flat = os.path.join(self.dir, "flat.mid")
                self.assertEqual(run("convert", path, "-o", mine)[0], 0)
                subprocess.run([SONG_TO_MIDI, path, flat], check=True, capture_output=True)
                with open(mine, "rb") as a, open(flat, "rb") as b:
                    produced = a.read()
                    self.assertEqual(produced, b.read())
                # Format 1, one chunk per track plus the conductor, 480 ticks.
                tracks = 1 + (2 if name == "demo.gp4" else 0)
                self.assertEqual(produced[:14], b"MThd\0\0\0\x06\0\x01" +
                                 bytes([0, tracks]) + b"\x01\xe0")

    @unittest.skipUnless(SONG_TO_MIDI, "ORLIX_SONG_TO_MIDI not set")
    def test_corpus_songs_convert_like_the_flat_interface(self):
        folder = os.path.join(CORPUS, "gp4")
        if not os.path.isdir(folder):
            self.skipTest("no song corpus at %r" % folder)
        songs = sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".gp4"))
        out_dir = os.path.join(self.dir, "out")
        os.mkdir(out_dir)
        code, out, err = run("convert", "-d", out_dir, *songs)
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(out, "orlix: %d converted, 0 failed\n" % len(songs))
        for path in songs:
            with self.subTest(song=os.path.basename(path)):
                flat = os.path.join(self.dir, "flat.mid")
                subprocess.run([SONG_TO_MIDI, path, flat], check=True, capture_output=True)
                mine = os.path.join(out_dir, os.path.basename(path)[:-4] + ".mid")
                with open(mine, "rb") as a, open(flat, "rb") as b:
                    self.assertEqual(a.read(), b.read())


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


if __name__ == "__main__":
    unittest.main()
