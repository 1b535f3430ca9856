"""Tests of the orlix Python module (run with ORLIX_LIBRARY set to the
library under test, from this folder: python3 -m unittest test_orlix)."""
import ctypes
import os
import subprocess
import sys
import tempfile
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "examples"))
import make_demo_song as song  # noqa: E402
import orlix  # noqa: E402

DEMO = os.environ.get("ORLIX_DEMO", os.path.join(HERE, "..", "examples", "demo.gp4"))


def small_song(title, tempo=90, notes=0):
    """A song of one 4/4 measure and one track with `notes` quarter notes."""
    out = song.header(title, "", "", "", "", "", "", "", ["n\xe9"], False, 0,
                      [(1, "")] * 5)
    out += song.song_block(tempo, -1, {(0, 0): (30, 12)}, 1, 1)
    out += song.measure_header(4, 4) + song.track("T", [64, 59, 55, 50, 45, 40], 1, 1, 1)
    beats = [song.beat(0, {1: n}) for n in range(notes)]
    return out + song.cell(beats)


def tied_song():
    """One 4/4 measure: a quarter, a quarter tied to it, a dead note."""
    def single(note):
        return song.u8(0) + song.i8(0) + song.u8(0x40) + note
    out = small_song("Tied")[:-4]  # without its empty cell
    return out + song.cell([song.beat(0, {0: 5}), single(song.note(5, kind=2)),
                            single(song.note(0, kind=3))])


def flat_conversion(path):
    """The bytes of ORLIX_CreateMidiBuffer, the classic conversion."""
    lib = orlix._library()
    lib.ORLIX_Load.argtypes = [ctypes.c_char_p]
    buffer, size = ctypes.POINTER(ctypes.c_ubyte)(), ctypes.c_int(0)
    lib.ORLIX_CreateMidiBuffer.argtypes = [ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte)),
                                           ctypes.POINTER(ctypes.c_int)]
    assert lib.ORLIX_Load(os.fsencode(path))
    assert lib.ORLIX_CreateMidiBuffer(ctypes.byref(buffer), ctypes.byref(size))
    try:
        return ctypes.string_at(buffer, size.value)
    finally:
        lib.ORLIX_DestroyMidiBuffer(buffer)
        lib.ORLIX_Unload()


class Module(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        with open(DEMO, "rb") as f:
            self.demo = f.read()

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, data):
        path = os.path.join(self.tmp.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_a_song_from_a_path_or_from_bytes(self):
        with orlix.open(DEMO) as from_path, orlix.open(self.demo) as from_bytes:
            self.assertEqual(from_path.format, 4)
            self.assertEqual(from_path.info(), from_bytes.info())
            self.assertEqual(from_path.to_midi(), from_bytes.to_midi())
            self.assertEqual(from_bytes.title, "Orlix Demo")
            self.assertEqual(from_bytes.repeats, [{"firstMeasure": 2, "lastMeasure": 3,
                                                   "repeatCount": 1}])
            self.assertEqual([t["name"] for t in from_bytes.tracks], ["Guitar", "Bass"])
            self.assertEqual((from_bytes.tripletFeels, from_bytes.endings,
                              from_bytes.directions),
                             ([{"measure": 1, "tripletFeel": "eighths"}], [], []))
            self.assertEqual([(t["bank"], t["secondVoiceNotes"]) for t in from_bytes.tracks],
                             [(0, 0), (0, 0)])
            self.assertEqual(from_bytes.tracks[1]["tuningMidi"], [43, 38, 33, 28])
            # The fields are the keys of info(), under the same names.
            for key, value in from_bytes.info().items():
                self.assertEqual(getattr(from_bytes, key), value)
            with self.assertRaises(AttributeError):
                from_bytes.no_such_field
            midi = from_bytes.to_midi()
            self.assertEqual(midi[:14], b"MThd\0\0\0\x06\0\x01\0\x03\x01\xe0")
            self.assertEqual(from_bytes.to_midi(ticks_per_quarter=960)[12:14], b"\x03\xc0")
        self.assertEqual(orlix.convert(self.demo), midi)
        self.assertEqual(orlix.convert(bytearray(self.demo)), midi)
        self.assertEqual(orlix.info(memoryview(self.demo)), orlix.info(DEMO))
        with self.assertRaises(ValueError):
            from_bytes.to_midi()  # closed

    def test_full_playback_by_default_classic_on_request(self):
        path = self.write("tied.gp4", tied_song())
        classic = flat_conversion(path)
        # The tie holds the first note and the dead note sounds in full.
        cases = [({}, "full", 2), ({"playback": "full"}, "full", 2),
                 ({"playback": "classic"}, "classic", 1)]
        for options, playback, notes in cases:
            with self.subTest(options=options):
                midi = orlix.convert(path, **options)
                self.assertEqual(midi == classic, playback == "classic")
                info = orlix.info(path, **options)
                self.assertEqual((info["playback"], info["tracks"][0]["notes"]), (playback, notes))
                with orlix.open(path, **options) as opened:
                    self.assertEqual(opened.to_midi(), midi)
                    other = "full" if playback == "classic" else "classic"
                    self.assertEqual(opened.to_midi(playback=other),
                                     orlix.convert(path, playback=other))

    def test_texts_in_an_encoding(self):
        data = small_song("Кино".encode("cp1251"))
        self.assertEqual(orlix.info(data)["title"], "Êèíî")  # Windows-1252 by default
        self.assertEqual(orlix.info(data, encoding="CP1251")["title"], "Кино")
        with orlix.open(data, encoding="KOI8-R") as opened:
            self.assertEqual(opened.title, "Кино".encode("cp1251").decode("koi8_r"))
            self.assertEqual(opened.notice, ["n\u0418"])  # 0xE9 in KOI8-R
        info = orlix.info(small_song(b'\xe9\x80"\x81'))
        self.assertEqual((info["title"], info["key"]), ('\u00e9\u20ac"\ufffd', -1))
        with self.assertRaises(ValueError):
            orlix.info(data, encoding="NO-SUCH-CHARSET")

    def test_wrong_arguments(self):
        cases = [(orlix.info, ("good.gp4\0junk",)), (orlix.open, (DEMO + "\0",)),
                 (orlix.info, (self.demo, "CP1251\0")), (orlix.convert, (DEMO, 480, 0)),
                 (orlix.convert, (DEMO, 480, None, "loud")), (orlix.info, (DEMO, None, "Full"))]
        for call, args in cases:
            with self.subTest(call=call.__name__, args=args[1:]):
                with self.assertRaises(ValueError):
                    call(*args)
        with self.assertRaises(TypeError):
            orlix.open(42)

    def test_every_error_has_its_kind_and_offset(self):
        missing = os.path.join(self.tmp.name, "missing.gp4")
        v2 = bytearray(self.demo)
        v2[1:25] = b"FICHIER GUITAR PRO v2.21"
        # One measure, one track, one beat whose chord diagram has the
        # unknown layout byte 2.
        head = small_song(b"x")[:-4]
        bad_chord = head + song.i32(1) + bytes([0x02, 0x00, 0x02]) + bytes(200)
        cases = [
            (missing, orlix.ERROR_OPEN, -1, "cannot open: No such file or directory"),
            (b"", orlix.ERROR_TRUNCATED, 0, "file ends early at byte 0 of 0"),
            (b"\x03abc", orlix.ERROR_UNKNOWN_FORMAT, 0, 'unknown format: header "abc"'),
            (b"junk", orlix.ERROR_UNKNOWN_FORMAT, 0, 'unknown format: header "unk"'),
            (bytes(v2), orlix.ERROR_UNKNOWN_FORMAT, 0, '"FICHIER GUITAR PRO v2.21"'),
            (self.demo[:1000], orlix.ERROR_TRUNCATED, 383, "file ends early at byte 383 of 1000"),
            (bad_chord, orlix.ERROR_BAD_DATA, len(bad_chord) - 201,
             "bad chord diagram format 2 at byte %d" % (len(bad_chord) - 201)),
        ]
        for data, kind, offset, message in cases:
            for call in (orlix.convert, orlix.info, orlix.open):
                with self.subTest(data=data[:30], call=call.__name__):
                    with self.assertRaises(orlix.OrlixError) as caught:
                        call(data)
                    error = caught.exception
                    self.assertEqual((error.kind, error.offset), (kind, offset), error)
                    self.assertIn(message, error.message)
                    if isinstance(data, str):
                        self.assertEqual(str(error), "%s: %s" % (data, error.message))
                        self.assertEqual(error.path, data)
                    else:
                        self.assertEqual((str(error), error.path), (error.message, None))
        conversions = [({"max_bytes": 100}, orlix.ERROR_TOO_LARGE, " 100 bytes"),
                       ({"ticks_per_quarter": 100}, orlix.ERROR_ARGUMENT, "")]
        for options, kind, message in conversions:
            with self.subTest(options=options):
                with self.assertRaises(orlix.OrlixError) as caught:
                    orlix.convert(self.demo, **options)
                self.assertEqual((caught.exception.kind, caught.exception.offset), (kind, -1))
                self.assertIn(message, caught.exception.message)

    def test_eight_threads_convert_at_once(self):
        songs = [self.demo] + [small_song(b"Song %d" % i, 60 + 10 * i, i % 5) for i in range(7)]
        expected = [orlix.convert(data) for data in songs]
        shared = orlix.open(self.demo)
        results, failures = {}, []

        def work(index):
            try:
                for _ in range(25):
                    midi = orlix.convert(songs[index])
                    info = orlix.info(songs[index])
                    own = shared.to_midi()
                    if midi != expected[index] or own != expected[0] or \
                            info != orlix.info(songs[index]):
                        failures.append(index)
                results[index] = midi
            except Exception as error:  # reported below, with the thread's index
                failures.append((index, error))

        threads = [threading.Thread(target=work, args=(i,)) for i in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        shared.close()
        self.assertEqual(failures, [])
        self.assertEqual([results[i] for i in range(8)], expected)
        self.assertEqual(len(set(expected)), 8)

    def test_bad_library_override_is_reported(self):
        code = "import orlix\ntry:\n orlix.info('x')\nexcept orlix.OrlixError as e:\n print(e)"
        env = dict(os.environ, ORLIX_LIBRARY=os.path.join(self.tmp.name, "nothing.so"))
        out = subprocess.run([sys.executable, "-c", code], cwd=HERE, env=env,
                             capture_output=True, text=True, check=True).stdout
        self.assertIn("ORLIX_LIBRARY=", out)
        self.assertIn("nothing.so", out)


if __name__ == "__main__":
    unittest.main()
