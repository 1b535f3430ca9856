"""Guitar Pro 4 song files to Standard MIDI Files, through liborlix.

    import orlix
    midi = orlix.convert("song.gp4")      # bytes of a MIDI file
    song = orlix.info("song.gp4")         # dict: texts, tempo, tracks, ...

Uses only the standard library (ctypes). The shared library is found through
the environment variable ORLIX_LIBRARY (a path to liborlix.so), else next to
this module, in a build folder of the source tree (../build/*/), or where
the system's loader finds installed libraries.

The library's flat interface holds one loaded song for the whole process;
every call here loads, reads and unloads under a lock, so calls from several
threads take turns.
"""
import ctypes
import ctypes.util
import glob
import os
import threading

__all__ = ["OrlixError", "convert", "info", "library_path"]

ACCEPTED_VERSIONS = (b"FICHIER GUITAR PRO v4.00", b"FICHIER GUITAR PRO v4.06")


class OrlixError(Exception):
    """A song could not be read or converted; the message names the file."""


# Song texts are Windows-1252. The five bytes that code page leaves undefined
# (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 control of the same value, as
# the orlix command does, so no byte is lost.
_UNDEFINED_1252 = (0x81, 0x8D, 0x8F, 0x90, 0x9D)
_WINDOWS_1252 = [chr(b) if b in _UNDEFINED_1252 else bytes([b]).decode("cp1252")
                 for b in range(256)]


def _text(raw):
    if raw is None:
        return None
    return "".join(_WINDOWS_1252[b] for b in raw)


_NOTE_NAMES = ("C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B")


def _note_name(pitch):
    if not 0 <= pitch <= 127:
        return str(pitch)
    return "%s%d" % (_NOTE_NAMES[pitch % 12], pitch // 12 - 1)


def _candidates():
    here = os.path.dirname(os.path.abspath(__file__))
    found = sorted(glob.glob(os.path.join(here, "liborlix.so*")))
    # Build folders of the source tree; a sanitizer build cannot be loaded
    # into a plain interpreter, so those are left out.
    builds = sorted(glob.glob(os.path.join(here, "..", "build", "*", "liborlix.so*")))
    preferred = ("release", "dev")
    builds.sort(key=lambda p: (os.path.basename(os.path.dirname(p)) not in preferred, p))
    found += [p for p in builds if "asan" not in os.path.basename(os.path.dirname(p))]
    installed = ctypes.util.find_library("orlix")
    if installed:
        found.append(installed)
    found.append("liborlix.so.1")
    return found


def _load_library():
    override = os.environ.get("ORLIX_LIBRARY")
    if override:
        try:
            return ctypes.CDLL(override), override
        except OSError as e:
            raise OrlixError("ORLIX_LIBRARY=%s: cannot load: %s" % (override, e)) from None
    reasons = []
    for path in _candidates():
        try:
            return ctypes.CDLL(path), path
        except OSError as e:
            reasons.append(str(e))
    raise OrlixError("cannot find liborlix (set ORLIX_LIBRARY to its path): "
                     + "; ".join(reasons))


def _declare(lib):
    c_char_p, c_int, c_uint = ctypes.c_char_p, ctypes.c_int, ctypes.c_uint
    byte_p = ctypes.POINTER(ctypes.c_ubyte)
    signatures = {
        "ORLIX_Load": (c_int, [c_char_p]),
        "ORLIX_Unload": (None, []),
        "ORLIX_CreateMidiBuffer": (c_int, [ctypes.POINTER(byte_p), ctypes.POINTER(c_int)]),
        "ORLIX_DestroyMidiBuffer": (None, [byte_p]),
        "ORLIX_GetNoticeLine": (c_char_p, [c_uint]),
        "ORLIX_GetLyricsLine": (c_char_p, [c_uint]),
        "ORLIX_GetMeasureMarkerText": (c_char_p, [c_uint]),
        "ORLIX_GetTrackName": (c_char_p, [c_uint]),
        "ORLIX_GetTrackTuning": (c_int, [c_uint, c_uint]),
    }
    for name in ("Title", "Subtitle", "Interpret", "Album", "Author", "Copyright",
                 "TabAuthor", "Instructions"):
        signatures["ORLIX_Get" + name] = (c_char_p, [])
    for name in ("GetNoticeLineCount", "IsTripletFeelEnabled", "GetLyricsTrack", "GetTempo",
                 "GetKey", "GetMeasureCount", "GetTrackCount"):
        signatures["ORLIX_" + name] = (c_int, [])
    for name in ("IsMeasureKeyNumeratorPresent", "IsMeasureKeyDenominatorPresent",
                 "IsMeasureBeginRepeatPresent", "IsMeasureEndRepeatPresent",
                 "IsMeasureMarkerPresent", "GetMeasureKeyNumerator",
                 "GetMeasureKeyDenominator", "GetMeasureRepeatCount",
                 "GetTrackStringCount", "GetTrackMidiPort", "GetTrackMidiChannel",
                 "GetTrackEffectsMidiChannel", "GetTrackFretCount", "GetTrackCapoHeight"):
        signatures["ORLIX_" + name] = (c_int, [c_uint])
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes


_lock = threading.Lock()
_lib = None
_lib_path = None


def _library():
    global _lib, _lib_path
    if _lib is None:
        lib, path = _load_library()
        _declare(lib)
        _lib, _lib_path = lib, path
    return _lib


def library_path():
    """The path of the shared library in use (loading it if needed)."""
    _library()
    return _lib_path


def _why_not_loaded(path):
    """The library reports a failed load as 0 only; say what we can."""
    try:
        with open(path, "rb") as f:
            head = f.read(256)
    except OSError as e:
        return e.strerror or str(e)
    if not head:
        return "file is empty"
    version = head[1:1 + head[0]]
    if len(version) == head[0] and version not in ACCEPTED_VERSIONS:
        shown = version.decode("ascii", "backslashreplace")
        return 'not a version 4 song file (header "%s")' % shown
    return "truncated or unreadable song data"


def _load(lib, path):
    raw = os.fsencode(path)
    if ctypes.c_void_p.in_dll(lib, "theFileStruct").value:
        raise OrlixError("%s: another song is held by the library's global slot; "
                         "unload it first" % os.fsdecode(raw))
    if not lib.ORLIX_Load(raw):
        raise OrlixError("%s: %s" % (os.fsdecode(raw), _why_not_loaded(raw)))


def convert(path):
    """Converts the song file at path; returns the MIDI file as bytes."""
    lib = _library()
    with _lock:
        _load(lib, path)
        try:
            buffer = ctypes.POINTER(ctypes.c_ubyte)()
            size = ctypes.c_int(0)
            if not lib.ORLIX_CreateMidiBuffer(ctypes.byref(buffer), ctypes.byref(size)):
                raise OrlixError("%s: conversion failed" % os.fsdecode(path))
            if not buffer:
                raise OrlixError("%s: out of memory for the MIDI file" % os.fsdecode(path))
            try:
                return ctypes.string_at(buffer, size.value)
            finally:
                lib.ORLIX_DestroyMidiBuffer(buffer)
        finally:
            lib.ORLIX_Unload()


def _read_info(lib):
    texts = {}
    for key, name in (("title", "Title"), ("subtitle", "Subtitle"), ("artist", "Interpret"),
                      ("album", "Album"), ("author", "Author"), ("copyright", "Copyright"),
                      ("tabAuthor", "TabAuthor"), ("instructions", "Instructions")):
        texts[key] = _text(getattr(lib, "ORLIX_Get" + name)())
    song = dict(texts)
    song["notice"] = [_text(lib.ORLIX_GetNoticeLine(i))
                      for i in range(lib.ORLIX_GetNoticeLineCount())]
    song["tripletFeel"] = lib.ORLIX_IsTripletFeelEnabled() == 1
    song["lyricsTrack"] = lib.ORLIX_GetLyricsTrack()
    song["lyrics"] = [_text(lib.ORLIX_GetLyricsLine(i)) for i in range(5)]
    song["tempo"] = lib.ORLIX_GetTempo()
    key = lib.ORLIX_GetKey()
    song["key"] = key - 256 if key >= 128 else key  # a signed byte
    measure_count = lib.ORLIX_GetMeasureCount() & 0xFFFFFFFF
    song["measureCount"] = measure_count

    signatures, repeats, markers = [], [], []
    numerator = denominator = 0
    begin = 0
    for m in range(measure_count):
        n = lib.ORLIX_GetMeasureKeyNumerator(m) if lib.ORLIX_IsMeasureKeyNumeratorPresent(m) \
            else numerator
        d = lib.ORLIX_GetMeasureKeyDenominator(m) \
            if lib.ORLIX_IsMeasureKeyDenominatorPresent(m) else denominator
        if (n, d) != (numerator, denominator):
            signatures.append({"measure": m + 1, "numerator": n, "denominator": d})
        numerator, denominator = n, d
        if lib.ORLIX_IsMeasureBeginRepeatPresent(m):
            begin = m
        if lib.ORLIX_IsMeasureEndRepeatPresent(m):
            repeats.append({"firstMeasure": begin + 1, "lastMeasure": m + 1,
                            "repeatCount": lib.ORLIX_GetMeasureRepeatCount(m)})
        if lib.ORLIX_IsMeasureMarkerPresent(m):
            markers.append({"measure": m + 1,
                            "text": _text(lib.ORLIX_GetMeasureMarkerText(m))})
    song["timeSignatures"] = signatures
    song["repeats"] = repeats
    song["markers"] = markers

    tracks = []
    for t in range(lib.ORLIX_GetTrackCount() & 0xFFFFFFFF):
        strings = lib.ORLIX_GetTrackStringCount(t)
        tuning = [lib.ORLIX_GetTrackTuning(t, s) for s in range(max(0, min(strings, 7)))]
        tracks.append({
            "number": t + 1,
            "name": _text(lib.ORLIX_GetTrackName(t)),
            "strings": strings,
            "tuning": [_note_name(p) for p in tuning],
            "tuningMidi": tuning,
            "port": lib.ORLIX_GetTrackMidiPort(t),
            "channel": lib.ORLIX_GetTrackMidiChannel(t),
            "effectsChannel": lib.ORLIX_GetTrackEffectsMidiChannel(t),
            "frets": lib.ORLIX_GetTrackFretCount(t),
            "capo": lib.ORLIX_GetTrackCapoHeight(t),
        })
    song["tracks"] = tracks
    return song


def info(path):
    """Reads the song file at path; returns its information as a dict."""
    lib = _library()
    with _lock:
        _load(lib, path)
        try:
            return _read_info(lib)
        finally:
            lib.ORLIX_Unload()
