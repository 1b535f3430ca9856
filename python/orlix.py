"""Guitar Pro 3, 4 and 5 song files to Standard MIDI Files, through liborlix.

    import orlix
    with orlix.open("song.gp4") as song:    # a path, or the bytes of a song file
        print(song.title, [track["name"] for track in song.tracks])
        midi = song.to_midi()                # bytes of a MIDI file, played in full
        plain = song.to_midi(playback="classic")  # the tablature played plainly
    midi = orlix.convert("song.gp4")         # the same in one call
    info = orlix.info(data)                  # dict: the fields a Song has

Uses only the standard library (ctypes). The shared library is found through
the environment variable ORLIX_LIBRARY (a path to liborlix.so), else next to
this module, in a build folder of the source tree (../build/*/), or where
the system's loader finds installed libraries.

Every song is a handle of its own in the library and nothing is shared, so
calls from several threads run at the same time (ctypes lets go of the
interpreter lock while the library works). One Song may be read and
converted from several threads; close it once they are done with it.
"""
import copy
import ctypes
import ctypes.util
import glob
import json
import os
import threading

__all__ = ["OrlixError", "Song", "open", "convert", "info", "library_path",
           "ERROR_OPEN", "ERROR_UNKNOWN_FORMAT", "ERROR_TRUNCATED", "ERROR_BAD_DATA",
           "ERROR_OUT_OF_MEMORY", "ERROR_TOO_LARGE", "ERROR_ARGUMENT"]

# The library's error kinds (ORLIX_ERROR_...); these numbers never change.
(ERROR_OPEN, ERROR_UNKNOWN_FORMAT, ERROR_TRUNCATED, ERROR_BAD_DATA,
 ERROR_OUT_OF_MEMORY, ERROR_TOO_LARGE, ERROR_ARGUMENT) = range(1, 8)

# Playback modes by name (ORLIX_PLAYBACK_...).
_PLAYBACKS = {"classic": 0, "full": 1}


class OrlixError(Exception):
    """A song could not be read, converted or described.

    kind is one of the ERROR_... numbers, offset the byte of the input where
    reading stopped (or -1), message the library's one-line message, path
    the file's name (None for bytes).
    """

    def __init__(self, message, kind=0, offset=-1, path=None):
        super().__init__("%s: %s" % (path, message) if path is not None else message)
        self.message = message
        self.kind = kind
        self.offset = offset
        self.path = path


class _Error(ctypes.Structure):
    _fields_ = [("kind", ctypes.c_int), ("offset", ctypes.c_longlong),
                ("message", ctypes.c_char * 200)]


class _MidiOptions(ctypes.Structure):
    _fields_ = [("size", ctypes.c_uint), ("playback", ctypes.c_uint),
                ("ticksPerQuarter", ctypes.c_uint), ("maxBytes", ctypes.c_size_t)]


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
    handle, error = ctypes.c_void_p, ctypes.POINTER(_Error)
    options, size_p = ctypes.POINTER(_MidiOptions), ctypes.POINTER(ctypes.c_size_t)
    byte_p = ctypes.POINTER(ctypes.c_ubyte)
    signatures = {
        "ORLIX_OpenFile": (handle, [ctypes.c_char_p, error]),
        "ORLIX_OpenMemory": (handle, [ctypes.c_char_p, ctypes.c_size_t, error]),
        "ORLIX_Close": (None, [handle]),
        "ORLIX_GetFormat": (ctypes.c_int, [handle]),
        "ORLIX_ToMidi": (ctypes.c_int, [handle, options, ctypes.POINTER(byte_p), size_p, error]),
        "ORLIX_DestroyMidiBuffer": (None, [byte_p]),
        "ORLIX_DescribeSong": (ctypes.c_int, [handle, options, ctypes.c_char_p,
                                              ctypes.POINTER(ctypes.c_void_p), size_p, error]),
        "ORLIX_DestroyDescription": (None, [ctypes.c_void_p]),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes


_load_lock = threading.Lock()  # taken only while the library is first loaded
_lib = None
_lib_path = None


def _library():
    global _lib, _lib_path
    if _lib is None:
        with _load_lock:
            if _lib is None:
                lib, path = _load_library()
                _declare(lib)
                _lib_path = path
                _lib = lib
    return _lib


def library_path():
    """The path of the shared library in use (loading it if needed)."""
    _library()
    return _lib_path


def _raise(error, path):
    raise OrlixError(error.message.decode("utf-8", "replace"), error.kind, error.offset, path)


def _options(ticks_per_quarter=480, max_bytes=None, playback="full"):
    if max_bytes is not None and max_bytes < 1:
        raise ValueError("max_bytes must be at least 1")
    if playback not in _PLAYBACKS:
        raise ValueError("playback must be one of %s" % ", ".join(sorted(_PLAYBACKS)))
    return _MidiOptions(ctypes.sizeof(_MidiOptions), _PLAYBACKS[playback], ticks_per_quarter,
                        max_bytes or 0)


def _encoding_name(encoding):
    if encoding is None:
        return None
    name = encoding.encode("ascii")
    if b"\0" in name:
        raise ValueError("an encoding name cannot hold a NUL byte")
    return name


class Song:
    """An open song: its fields as attributes (title, tempo, tracks, ...,
    the same as info() gives), to_midi(), and close() or a with block."""

    def __init__(self, handle, path, encoding, playback):
        self._handle = handle
        self._path = path
        self._encoding = encoding
        self._playback = playback
        self._description = None

    def _live(self):
        if not self._handle:
            raise ValueError("the song is closed")
        return self._handle

    @property
    def format(self):
        """The file format's major version (4)."""
        return _library().ORLIX_GetFormat(self._live())

    def info(self):
        """The song's description as a dict (a new copy each call)."""
        if self._description is None:
            self._description = self._describe()
        return copy.deepcopy(self._description)

    def _describe(self):
        lib = _library()
        text = ctypes.c_void_p()
        size = ctypes.c_size_t(0)
        error = _Error()
        options = _options(playback=self._playback)
        if not lib.ORLIX_DescribeSong(self._live(), ctypes.byref(options),
                                      _encoding_name(self._encoding), ctypes.byref(text),
                                      ctypes.byref(size), ctypes.byref(error)):
            if error.kind == ERROR_ARGUMENT:
                raise ValueError(error.message.decode("utf-8", "replace"))
            _raise(error, self._path)
        try:
            return json.loads(ctypes.string_at(text, size.value).decode("utf-8"))
        finally:
            lib.ORLIX_DestroyDescription(text)

    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        if self._description is None:
            self._description = self._describe()
        try:
            return self._description[name]
        except KeyError:
            raise AttributeError(name) from None

    def to_midi(self, ticks_per_quarter=480, max_bytes=None, playback=None):
        """The song as a Standard MIDI File (bytes). ticks_per_quarter is a
        multiple of 16 from 16 to 4080; max_bytes (default 1 GiB) caps the
        file's size; playback ("full" or "classic") defaults to the one the
        song was opened with."""
        lib = _library()
        options = _options(ticks_per_quarter, max_bytes, playback or self._playback)
        buffer = ctypes.POINTER(ctypes.c_ubyte)()
        size = ctypes.c_size_t(0)
        error = _Error()
        if not lib.ORLIX_ToMidi(self._live(), ctypes.byref(options), ctypes.byref(buffer),
                                ctypes.byref(size), ctypes.byref(error)):
            _raise(error, self._path)
        try:
            return ctypes.string_at(buffer, size.value)
        finally:
            lib.ORLIX_DestroyMidiBuffer(buffer)

    def close(self):
        handle, self._handle = self._handle, None
        if handle:
            _library().ORLIX_Close(handle)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        if getattr(self, "_handle", None) and _lib is not None:
            _lib.ORLIX_Close(self._handle)

    def __repr__(self):
        state = "closed" if not self._handle else "format %d" % self.format
        return "<orlix.Song %s, %s>" % (self._path if self._path is not None else "from bytes",
                                        state)


def open(song, encoding=None, playback="full"):  # noqa: A001 (the module's own open)
    """Opens a song from a path (str or os.PathLike) or from its bytes
    (bytes, bytearray, memoryview). Texts are read in `encoding`, any name
    iconv knows (default Windows-1252). `playback` is how to_midi() plays
    the song and how the tracks' notes are counted: "full" as the tablature
    sounds (ties held, dead and grace notes, bends, dynamics, alternate
    endings, ...), "classic" plainly, as the flat interface converts."""
    _options(playback=playback)  # refuses a wrong name before opening
    lib = _library()
    error = _Error()
    if isinstance(song, (bytes, bytearray, memoryview)):
        data = bytes(song)
        handle = lib.ORLIX_OpenMemory(data, len(data), ctypes.byref(error))
        path = None
    else:
        path = os.fspath(song)
        raw = os.fsencode(path)
        if b"\0" in raw:
            raise ValueError("a path cannot hold a NUL byte")
        handle = lib.ORLIX_OpenFile(raw, ctypes.byref(error))
        path = os.fsdecode(raw)
    if not handle:
        _raise(error, path)
    return Song(handle, path, encoding, playback)


def convert(song, ticks_per_quarter=480, max_bytes=None, playback="full"):
    """Converts a song (a path or its bytes); returns the MIDI file as bytes."""
    with open(song, playback=playback) as opened:
        return opened.to_midi(ticks_per_quarter, max_bytes)


def info(song, encoding=None, playback="full"):
    """Reads a song (a path or its bytes); returns its description as a dict."""
    with open(song, encoding, playback) as opened:
        return opened.info()
