"""Tests of the orlix command: exit codes, messages for bad and hostile
input, safe output files, standard input and output, batches on several
threads, signals, the song description, and the round trip of the MIDI.

Environment: ORLIX_TOOL (the command), ORLIX_SONG_TO_MIDI (the flat-interface
example, which writes the bytes of ORLIX_CreateMidiBuffer), ORLIX_DEMO,
ORLIX_CORPUS_DIR (optional).
"""
import json
import os
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "examples"))
import make_demo_song as song  # noqa: E402  (the song writer)

TOOL = os.environ.get("ORLIX_TOOL", "orlix")
TOOL = os.path.abspath(TOOL) if os.sep in TOOL else TOOL  # runs from other folders too
SONG_TO_MIDI = os.environ.get("ORLIX_SONG_TO_MIDI")
DEMO = os.environ.get("ORLIX_DEMO", os.path.join(HERE, "..", "examples", "demo.gp4"))
CORPUS = os.environ.get("ORLIX_CORPUS_DIR", "")

LYRICS = [(1, "")] * 5
SIX_STRINGS = [64, 59, 55, 50, 45, 40]


def small_song(title=b"Small", measures=(), tracks=(), cells=b""):
    """A song with the given measure headers, tracks and grid bytes."""
    out = song.header(title, "", "", "", "", "", "", "", [], False, 0, LYRICS)
    out += song.song_block(120, 0, {}, len(measures), len(tracks))
    return out + b"".join(measures) + b"".join(tracks) + cells


def tied_song():
    """One 4/4 measure: a quarter on the top string, a quarter tied to it,
    a dead note and a rest. Played in full the tie holds the first note and
    the dead note sounds; played plainly neither does."""
    def single(note):
        return song.u8(0) + song.i8(0) + song.u8(0x40) + note
    beats = [song.beat(0, {0: 5}), single(song.note(5, kind=2)), single(song.note(0, kind=3)),
             song.beat(0, rest=True)]
    return small_song(measures=[song.measure_header(4, 4)],
                      tracks=[song.track("T", SIX_STRINGS, 1, 1, 2)], cells=song.cell(beats))


def long_song(measures=40):
    """About 15 KB that play for a long time: every measure, sixteen
    six-string sixteenths, is played 256 times (a 6 MB MIDI file)."""
    headers = [song.measure_header(4, 4, begin_repeat=True, end_repeat=255)]
    headers += [song.measure_header(begin_repeat=True, end_repeat=255)] * (measures - 1)
    chord = {s: s for s in range(6)}
    cells = song.cell([song.beat(2, chord)] * 16) * measures
    return small_song(measures=headers, tracks=[song.track("T", SIX_STRINGS, 1, 1, 2)],
                      cells=cells)


def run(*args, stdin=None, cwd=None, timeout=120):
    """Exit code, stdout and stderr (text); stdin is bytes."""
    result = subprocess.run([TOOL] + list(args), input=stdin, capture_output=True, cwd=cwd,
                            timeout=timeout)
    return result.returncode, result.stdout.decode(), result.stderr.decode()


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


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

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def demo_bytes(self):
        return self.read(DEMO)

    def files(self, folder=None):
        """Every name in the folder and below, hidden ones included."""
        top = folder or self.dir
        return sorted(os.path.relpath(os.path.join(d, n), top)
                      for d, _, names in os.walk(top) for n in names)


class CommandLine(unittest.TestCase):
    def test_help_and_version_go_to_stdout(self):
        for args in (["--help"], ["-h"], ["convert", "--help"], ["info", "-h"]):
            code, out, err = run(*args)
            self.assertEqual((code, err), (0, ""))
            self.assertIn("orlix convert", out)
            self.assertIn("--classic", out)
        code, out, err = run("--version")
        self.assertEqual((code, err), (0, ""))
        self.assertRegex(out, r"^orlix \d+\.\d+\.\d+\n$")

    def test_usage_errors_exit_2(self):
        cases = [
            ([], "no command given"),
            (["play", "x.gp4"], "unknown command 'play'"),
            (["pl\x1bay"], "unknown command 'pl\\x1Bay'"),
            (["convert"], "convert needs a song file"),
            (["convert", "--bogus", "x.gp4"], "unknown option --bogus"),
            (["convert", "a.gp4", "b.gp4", "-o", "out.mid"], "-o takes one song"),
            (["convert", "a.gp4", "-o"], "option -o needs a value"),
            (["convert", "a.gp4", "-o", ""], "option -o needs a name"),
            (["convert", "a.gp4", "-o", "x.mid", "-d", "."], "-o and -d cannot be used together"),
            (["convert", "-j", "0", "a.gp4"], "-j takes a number"),
            (["convert", "--jobs=2x", "a.gp4"], "-j takes a number"),
            (["convert", "--max-size", "0", "a.gp4"], "--max-size takes a number"),
            (["convert", "--max-size=1Q", "a.gp4"], "--max-size takes a number"),
            (["convert", "--max-size=1k", "a.gp4"], "--max-size takes a number"),
            (["convert", "--max-size=99999999999999999999", "a.gp4"], "--max-size takes"),
            (["convert", "-"], "a song from standard input needs -o"),
            (["convert", "-", "-", "-d", "."], "standard input can be read once only"),
            (["info"], "info takes exactly one song file"),
            (["info", "a.gp4", "b.gp4"], "info takes exactly one song file"),
            (["info", "--xml", "a.gp4"], "unknown option --xml"),
            (["info", "-o", "x", "a.gp4"], "unknown option -o"),
            (["info", "a.gp4", "--encoding"], "option --encoding needs a value"),
            (["info", "--encoding", "NO-SUCH-CHARSET", DEMO],
             'unknown text encoding "NO-SUCH-CHARSET"'),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                code, out, err = run(*args)
                self.assertEqual((code, out), (2, ""))
                self.assertTrue(err.startswith("orlix: "), err)
                self.assertIn(message, err.splitlines()[0])
                self.assertIn("Usage:", err)


class BadInput(Workspace):
    """Each bad input gives one message, the same from convert and info, and
    leaves no file behind."""

    def check(self, path, shown, message):
        before = self.files()
        target = os.path.join(self.dir, "out.mid")
        expected = "orlix: %s: %s\n" % (shown, message)
        for args in (["convert", path, "-o", target], ["convert", path, "-o", "-"],
                     ["info", path], ["info", "--json", path]):
            with self.subTest(args=args[:-1]):
                self.assertEqual(run(*args, timeout=20), (1, "", expected))
                self.assertEqual(self.files(), before)

    def test_table(self):
        demo = self.demo_bytes()
        v2 = bytearray(small_song())
        v2[1:25] = b"FICHIER GUITAR PRO v2.21"
        # One measure, one track, one beat whose chord diagram has the
        # unknown layout byte 2; the rest of the file follows.
        grid = song.i32(1) + bytes([0x02, 0x00, 0x02]) + bytes(200)
        bad_chord = small_song(measures=[song.measure_header(4, 4)],
                               tracks=[song.track("T", [64], 1, 1, 1)], cells=grid)
        cases = [
            ("missing.gp4", None, "cannot open: No such file or directory"),
            ("empty.gp4", b"", "file ends early at byte 0 of 0"),
            ("junk.gp4", b"\x03abc", 'unknown format: header "abc"'),
            ("junk4.gp4", b"junk", 'unknown format: header "unk"'),
            ("cuthead.gp4", b"\x18FICHIER GUI", "file ends early at byte 0 of 12"),
            ("v2.gp4", bytes(v2), 'unknown format: header "FICHIER GUITAR PRO v2.21"'),
            ("odd.gp4", b"\x05A\x1b\"\x80B" + bytes(40),
             'unknown format: header "A\\x1b\\x22\\x80B"'),
            ("cut.gp4", demo[:1000], "file ends early at byte 383 of 1000"),
            ("chord.gp4", bad_chord,
             "bad chord diagram format 2 at byte %d" % (len(bad_chord) - 201)),
            # Control characters in a name never reach the terminal raw.
            ("e\x1b[2J\n\x9b.gp4", b"\x03abc", 'unknown format: header "abc"'),
        ]
        for name, data, message in cases:
            with self.subTest(name=name):
                path = os.path.join(self.dir, name)
                if data is not None:
                    self.write(name, data)
                shown = path.replace("\x1b", "\\x1B").replace("\n", "\\x0A").replace(
                    "\x9b", "\\xC2\\x9B")
                self.check(path, shown, message)
                if data is not None:
                    os.unlink(path)

    def test_what_is_not_a_regular_file_is_refused_at_once(self):
        fifo = os.path.join(self.dir, "pipe.gp4")
        os.mkfifo(fifo)  # no writer: reading it would wait for ever
        self.check(fifo, fifo, "not a regular file")
        self.check(self.dir, self.dir, "is a directory")
        self.check("/dev/zero", "/dev/zero", "not a regular file")


class StandardStreams(Workspace):
    def test_song_from_stdin_midi_to_stdout(self):
        expected = subprocess.run([TOOL, "convert", DEMO, "-o", "-"], capture_output=True)
        self.assertEqual((expected.returncode, expected.stderr), (0, b""))
        self.assertEqual(expected.stdout[:4], b"MThd")
        piped = subprocess.run([TOOL, "convert", "-", "-o", "-"], input=self.demo_bytes(),
                               capture_output=True)
        self.assertEqual((piped.returncode, piped.stdout, piped.stderr),
                         (0, expected.stdout, b""))
        target = os.path.join(self.dir, "from-stdin.mid")
        self.assertEqual(run("convert", "-", "-o", target, stdin=self.demo_bytes()), (0, "", ""))
        self.assertEqual(self.read(target), expected.stdout)
        self.assertEqual(self.files(), ["from-stdin.mid"])

    def test_info_from_stdin(self):
        self.assertEqual(run("info", "--json", "-", stdin=self.demo_bytes()),
                         run("info", "--json", DEMO))
        code, _, err = run("info", "-", stdin=b"\x03abc")
        self.assertEqual((code, err), (1, 'orlix: standard input: unknown format: header "abc"\n'))


class Output(Workspace):
    def test_default_output_is_next_to_the_input(self):
        path = self.write("Song Name.gp4", self.demo_bytes())
        self.assertEqual(run("convert", path), (0, "", ""))
        midi = os.path.join(self.dir, "Song Name.mid")
        self.assertEqual(self.read(midi)[:4], b"MThd")
        self.assertEqual(os.stat(midi).st_mode & 0o777, 0o666 & ~current_umask())
        self.assertEqual(self.files(), ["Song Name.gp4", "Song Name.mid"])

    def test_a_replaced_file_keeps_its_mode(self):
        path = self.write("song.gp4", self.demo_bytes())
        for mode in (0o600, 0o640, 0o664):
            with self.subTest(mode=oct(mode)):
                target = self.write("song.mid", b"old")
                os.chmod(target, mode)
                self.assertEqual(run("convert", path), (0, "", ""))
                self.assertEqual(self.read(target)[:4], b"MThd")
                self.assertEqual(stat.S_IMODE(os.stat(target).st_mode), mode)

    def test_a_link_is_kept_and_its_target_replaced(self):
        path = self.write("song.gp4", self.demo_bytes())
        target = self.write("real.mid", b"old")
        link = os.path.join(self.dir, "link.mid")
        os.symlink(target, link)
        self.assertEqual(run("convert", path, "-o", link)[0], 0)
        self.assertTrue(os.path.islink(link))
        self.assertEqual(self.read(target)[:4], b"MThd")

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

    def test_refuses_to_write_over_an_input(self):
        data = self.demo_bytes()
        path = self.write("song.mid", data)
        other = self.write("song.gp4", data)
        cases = [(["convert", path], "is the input file"),
                 (["convert", path, "-o", path], "is the input file"),
                 (["convert", "-o", "./song.mid", "song.mid"], "is the input file"),
                 # song.gp4 would become song.mid, which this run reads.
                 (["convert", other, path], "is an input of this run")]
        for args, message in cases:
            with self.subTest(args=args):
                code, out, err = run(*args, cwd=self.dir)
                self.assertEqual(code, 1)
                self.assertIn("%s; refusing to write over it\n" % message, err)
                self.assertEqual(self.read(path), data)

    def test_two_songs_with_one_output_are_one_conversion_and_one_error(self):
        # The outputs are compared by what they name, not by how.
        os.mkdir(os.path.join(self.dir, "x"))
        os.mkdir(os.path.join(self.dir, "out"))
        first = self.write("song.gp4", self.demo_bytes())
        self.write("song.tab", small_song())
        self.write(os.path.join("x", "song.gp4"), small_song())
        cases = [(["./song.gp4", "song.tab"], "song.tab", "song.mid"),
                 (["-d", "out", "song.gp4", "x/song.gp4"], "x/song.gp4", "out/song.mid"),
                 (["-d", "out", "song.gp4", "-d", "./out/../out", "song.gp4"], "song.gp4",
                  "./out/../out/song.mid")]
        for args, second, target in cases:
            with self.subTest(args=args):
                for name in ("song.mid", "out/song.mid"):
                    if os.path.exists(os.path.join(self.dir, name)):
                        os.unlink(os.path.join(self.dir, name))
                result = subprocess.run([TOOL, "convert"] + args, cwd=self.dir,
                                        capture_output=True, text=True)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, "orlix: 1 converted, 1 failed\n")
                self.assertEqual(result.stderr,
                                 "orlix: %s: its output %s is also the output of an earlier "
                                 "song of this run; skipped\n" % (second, target))
        self.assertEqual(self.read(os.path.join(self.dir, "out", "song.mid")),
                         subprocess.run([TOOL, "convert", first, "-o", "-"],
                                        capture_output=True).stdout)

    def test_unwritable_target_leaves_nothing(self):
        path = self.write("song.gp4", self.demo_bytes())
        target = os.path.join(self.dir, "no-such-dir", "out.mid")
        code, out, err = run("convert", path, "-o", target)
        self.assertEqual(code, 1)
        self.assertTrue(err.startswith("orlix: %s: cannot create" % target), err)
        self.assertEqual(self.files(), ["song.gp4"])

    def test_failed_conversion_keeps_an_existing_output(self):
        bad = self.write("bad.gp4", b"\x03abc")
        target = self.write("out.mid", b"previous")
        code, _, _ = run("convert", bad, "-o", target)
        self.assertEqual(code, 1)
        self.assertEqual(self.read(target), b"previous")

    def test_max_size(self):
        path = self.write("long.gp4", long_song())
        size = len(subprocess.run([TOOL, "convert", path, "-o", "-"], capture_output=True,
                                  check=True).stdout)
        self.assertGreater(size, 5 << 20)
        for limit, bytes_ in (("5K", 5 << 10), ("1M", 1 << 20), (str(size - 1), size - 1)):
            with self.subTest(limit=limit):
                message = "orlix: %s: the MIDI would exceed %d bytes\n" % (path, bytes_)
                self.assertEqual(run("convert", "--max-size", limit, path), (1, "", message))
                self.assertEqual(run("info", "--max-size=" + limit, path), (1, "", message))
                self.assertEqual(self.files(), ["long.gp4"])
        self.assertEqual(run("convert", "--max-size", str(size), path), (0, "", ""))
        self.assertEqual(os.path.getsize(os.path.join(self.dir, "long.mid")), size)


class Batch(Workspace):
    def mixed_batch(self):
        """Good songs, bad ones and a clash of outputs, as names relative
        to self.dir."""
        names = []
        for i in range(6):
            names.append(self.write("good%d.gp4" % i, self.demo_bytes() if i % 2 else
                                    small_song(title=b"Song %d" % i)))
        names.append(self.write("bad.gp4", self.demo_bytes()[:500]))
        names.append(os.path.join(self.dir, "missing.gp4"))
        names.append(self.write("junk.gp4", b"junk"))
        names.append(self.write("good1.tab", small_song()))  # clashes with good1.gp4
        folder = os.path.join(CORPUS, "gp4")
        if os.path.isdir(folder):
            names += sorted(os.path.join(folder, n) for n in os.listdir(folder)
                            if n.endswith(".gp4"))
        return names

    def test_goes_on_past_bad_files(self):
        good = self.write("good.gp4", self.demo_bytes())
        bad = self.write("bad.gp4", self.demo_bytes()[:500])
        missing = os.path.join(self.dir, "missing.gp4")
        out_dir = os.path.join(self.dir, "out")
        os.mkdir(out_dir)
        code, out, err = run("convert", "-d", out_dir, bad, good, missing)
        self.assertEqual(code, 1)
        self.assertEqual(out, "orlix: 1 converted, 2 failed\n")
        self.assertEqual(err.count("\n"), 2)
        self.assertTrue(err.startswith("orlix: %s: file ends early at byte 383 of 500\n" % bad),
                        err)
        self.assertIn("orlix: %s: cannot open" % missing, err)
        self.assertEqual(self.files(out_dir), ["good.mid"])
        code, out, err = run("convert", "--directory=" + out_dir, good)
        self.assertEqual((code, out, err), (0, "orlix: 1 converted, 0 failed\n", ""))

    def test_jobs_give_what_one_job_gives(self):
        names = self.mixed_batch()
        results = {}
        out_dir = os.path.join(self.dir, "out")
        for jobs in ("1", "2", "7", None):
            os.mkdir(out_dir)
            code, out, err = run("convert", *(["-j", jobs] if jobs else []), "-d", "out", *names,
                                 cwd=self.dir)
            files = {n: self.read(os.path.join(out_dir, n)) for n in self.files(out_dir)}
            results[jobs] = (code, out, err, files)
            os.rename(out_dir, out_dir + str(jobs))
        code, out, err, files = results["1"]
        self.assertEqual(code, 1)
        self.assertEqual(out, "orlix: %d converted, 4 failed\n" % (len(names) - 4))
        self.assertEqual(len(files), len(names) - 4)
        for jobs in ("2", "7", None):  # None: one job per online processor
            self.assertEqual(results[jobs], results["1"], jobs)

    def test_a_signal_leaves_no_temporary_file(self):
        data = long_song()
        names = [self.write("song%02d.gp4" % i, data) for i in range(24)]
        for sent in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=sent.name):
                out_dir = os.path.join(self.dir, "out-" + sent.name)
                os.mkdir(out_dir)
                process = subprocess.Popen([TOOL, "convert", "-j", "2", "-d", out_dir] + names,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                deadline = time.monotonic() + 60
                while not os.listdir(out_dir) and time.monotonic() < deadline:
                    time.sleep(0.002)
                process.send_signal(sent)
                process.communicate(timeout=60)
                self.assertEqual(process.returncode, -sent)
                left = os.listdir(out_dir)
                self.assertEqual([n for n in left if n.startswith(".")], [])
                self.assertLess(len(left), len(names))  # it stopped midway
                for name in left:  # what is there is complete
                    self.assertEqual(len(self.read(os.path.join(out_dir, name))),
                                     len(self.read(os.path.join(out_dir, left[0]))))


class Info(Workspace):
    def describe(self, *args):
        code, out, err = run("info", "--json", *args)
        self.assertEqual((code, err), (0, ""))
        return json.loads(out)

    def test_text_shows_the_fields_of_json_under_their_names(self):
        info = self.describe(DEMO)
        code, text, err = run("info", DEMO)
        self.assertEqual((code, err), (0, ""))
        lines = text.splitlines()
        self.assertEqual([line.split(":")[0] for line in lines if line[:1].isalpha()],
                         list(info))
        for line in ("title:          Orlix Demo", "tripletFeel:    true",
                     "notice:         Made by examples/make_demo_song.py.",
                     "  measure: 4, numerator: 3, denominator: 4",
                     "  firstMeasure: 2, lastMeasure: 3, repeatCount: 1"):
            self.assertIn(line, lines)
        tracks = lines[lines.index("tracks:") + 1:]
        self.assertEqual(len(tracks), len(info["tracks"]))
        for line, track in zip(tracks, info["tracks"]):
            self.assertEqual([pair.split(": ")[0] for pair in line.strip().split(", ")],
                             list(track))
        self.assertIn("tuning: E4 B3 G3 D3 A2 E2, tuningMidi: 64 59 55 50 45 40", tracks[0])

    def test_demo_as_json(self):
        info = self.describe(DEMO)
        self.assertEqual((info["format"], info["version"], info["encoding"], info["playback"]),
                         (4, "FICHIER GUITAR PRO v4.06", "WINDOWS-1252", "full"))
        self.assertEqual(self.describe("--classic", DEMO)["playback"], "classic")
        self.assertEqual((info["title"], info["tempo"], info["tripletFeel"]),
                         ("Orlix Demo", 100, True))
        self.assertEqual(info["lyrics"][0], "La la la, the demo plays")
        self.assertEqual(info["timeSignatures"], [
            {"measure": 1, "numerator": 4, "denominator": 4},
            {"measure": 4, "numerator": 3, "denominator": 4},
            {"measure": 5, "numerator": 4, "denominator": 4}])
        self.assertEqual(info["repeats"], [{"firstMeasure": 2, "lastMeasure": 3,
                                            "repeatCount": 1}])
        self.assertEqual([m["text"] for m in info["markers"]],
                         ["Intro", "Verse", "Bridge", "Outro"])
        self.assertEqual((info["tripletFeels"], info["endings"], info["directions"]),
                         ([{"measure": 1, "tripletFeel": "eighths"}], [], []))
        guitar, bass = info["tracks"]
        self.assertEqual((guitar["bank"], guitar["secondVoiceNotes"]), (0, 0))
        self.assertEqual(guitar["tuning"], ["E4", "B3", "G3", "D3", "A2", "E2"])
        self.assertEqual(guitar["tuningMidi"], [64, 59, 55, 50, 45, 40])
        self.assertEqual((guitar["channel"], guitar["effectsChannel"], guitar["program"]),
                         (1, 2, 25))
        self.assertEqual(bass["name"], "Bass")

    def test_endings_are_the_sets_the_ending_numbers_stand_for(self):
        path = self.write("endings.gp4", small_song(
            measures=[song.measure_header(4, 4, ending=3), song.measure_header(ending=4)],
            tracks=[song.track("T", SIX_STRINGS, 1, 1, 2)], cells=song.cell([]) * 2))
        self.assertEqual(self.describe(path)["endings"], [{"measure": 1, "endings": [1, 2, 3]},
                                                          {"measure": 2, "endings": [4]}])
        code, text, _ = run("info", path)
        self.assertIn("endings:\n  measure: 1, endings: 1 2 3\n  measure: 2, endings: 4\n", text)

    def test_notes_are_those_the_midi_plays(self):
        # One measure of 2/4 played twice; track 1 on channel 17 (outside
        # the table: nothing sounds), track 2 with a note on a string the
        # track does not have and a quarter past the bar line, which the
        # full playback plays and the classic one cuts.
        beats = [song.beat(0, {0: 5})] * 2
        cells = song.cell(beats) + song.cell([song.beat(0, {0: 1, 3: 2}), song.beat(0, {0: 3}),
                                              song.beat(0, {0: 4})])
        data = small_song(measures=[song.measure_header(2, 4, end_repeat=1)],
                          tracks=[song.track("Off", SIX_STRINGS, 1, 17, 17),
                                  song.track("Three", [64, 59, 55], 1, 1, 1)], cells=cells)
        path = self.write("notes.gp4", data)
        tied = self.write("tied.gp4", tied_song())
        for args, notes, tied_notes in (([], [0, 6], [2]), (["--classic"], [0, 4], [1])):
            with self.subTest(args=args):
                self.assertEqual([t["notes"] for t in self.describe(*args, path)["tracks"]],
                                 notes)
                self.assertEqual([t["notes"] for t in self.describe(*args, tied)["tracks"]],
                                 tied_notes)

    def test_encoding(self):
        title = "Кино"
        path = self.write("t.gp4", small_song(title=title.encode("cp1251")))
        cases = [([], title.encode("cp1251").decode("cp1252")),
                 (["--encoding", "CP1251"], title),
                 (["--encoding=windows-1251"], title),
                 (["--encoding", "KOI8-R"], title.encode("cp1251").decode("koi8_r"))]
        for args, expected in cases:
            with self.subTest(args=args):
                self.assertEqual(self.describe(*args, path)["title"], expected)
                code, out, _ = run("info", *args, path)
                self.assertIn("title:          %s\n" % expected, out)
        # A stateful encoding starts afresh in every text.
        path = self.write("j.gp4", small_song(title="日本".encode("iso2022_jp")))
        self.assertEqual(self.describe("--encoding", "ISO-2022-JP", path)["title"], "日本")
        # A byte the encoding does not define becomes U+FFFD.
        path = self.write("u.gp4", small_song(title=b"a\x81b\xffc"))
        self.assertEqual(self.describe("--encoding", "UTF-8", path)["title"], "a\ufffdb\ufffdc")

    def test_json_texts_are_utf8_and_escaped(self):
        title = b'Caf\xe9 \x80 "quoted" back\\slash\x01'
        path = self.write("t.gp4", small_song(title=title))
        result = subprocess.run([TOOL, "info", "--json", path], capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        text = result.stdout.decode("utf-8")  # must be valid UTF-8
        self.assertIn("\\u0001", text)
        info = json.loads(text)
        self.assertEqual(info["title"], 'Caf\u00e9 \u20ac "quoted" back\\slash\x01')
        self.assertEqual(info["notice"], [])
        self.assertEqual(info["tracks"], [])

    def test_text_output_hides_control_characters(self):
        path = self.write("t.gp4", small_song(title=b"A\nB\xe9"))
        code, out, _ = run("info", path)
        self.assertEqual(code, 0)
        self.assertIn("title:          A\\x0AB\u00e9\n", out)


class RoundTrip(Workspace):
    def test_demo_generator_is_in_step_with_the_committed_song(self):
        self.assertEqual(song.demo_song(), self.demo_bytes())

    @unittest.skipUnless(SONG_TO_MIDI, "ORLIX_SONG_TO_MIDI not set")
    def test_classic_writes_the_bytes_of_the_flat_interface_full_is_the_default(self):
        for name, data in (("demo.gp4", self.demo_bytes()), ("small.gp4", small_song()),
                           ("tied.gp4", tied_song())):
            with self.subTest(song=name):
                path = self.write(name, data)
                flat = os.path.join(self.dir, "flat.mid")
                subprocess.run([SONG_TO_MIDI, path, flat], check=True, capture_output=True)
                produced = {}
                for mode in ("--classic", None):
                    mine = os.path.join(self.dir, "tool.mid")
                    self.assertEqual(run("convert", *[a for a in [mode] if a], path, "-o",
                                         mine), (0, "", ""))
                    produced[mode] = self.read(mine)
                    # Format 1, one chunk per track plus the conductor, 480 ticks.
                    tracks = 1 + {"demo.gp4": 2, "small.gp4": 0, "tied.gp4": 1}[name]
                    self.assertEqual(produced[mode][:14], b"MThd\0\0\0\x06\0\x01" +
                                     bytes([0, tracks]) + b"\x01\xe0")
                self.assertEqual(produced["--classic"], self.read(flat))
                if name == "tied.gp4":
                    self.assertNotEqual(produced[None], produced["--classic"])

    @unittest.skipUnless(SONG_TO_MIDI, "ORLIX_SONG_TO_MIDI not set")
    def test_corpus_songs_convert_like_the_flat_interface(self):
        folder = os.path.join(CORPUS, "gp4")
        if not os.path.isdir(folder):
            self.skipTest("no song corpus at %r" % folder)
        songs = sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".gp4"))
        out_dir = os.path.join(self.dir, "out")
        os.mkdir(out_dir)
        code, out, err = run("convert", "--classic", "-d", out_dir, *songs)
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(out, "orlix: %d converted, 0 failed\n" % len(songs))
        for path in songs:
            with self.subTest(song=os.path.basename(path)):
                flat = os.path.join(self.dir, "flat.mid")
                subprocess.run([SONG_TO_MIDI, path, flat], check=True, capture_output=True)
                mine = os.path.join(out_dir, os.path.basename(path)[:-4] + ".mid")
                self.assertEqual(self.read(mine), self.read(flat))


if __name__ == "__main__":
    unittest.main()
