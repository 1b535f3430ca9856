#!/usr/bin/env python3
"""Writes examples/demo.gp4, a short Guitar Pro 4 song that shows what
liborlix turns into MIDI: two tracks, a repeat, markers, a tempo change in a
mix table, triplet feel, dotted notes and a triplet.

    python3 examples/make_demo_song.py [OUT.gp4]

Only the standard library is used; every field is written in file order.
"""
import os
import struct
import sys


def u8(value):
    return struct.pack("<B", value & 0xFF)


def i8(value):
    return struct.pack("<b", value)


def i32(value):
    return struct.pack("<i", value)


def encoded(text):
    """Song texts are Windows-1252; bytes are taken as they are."""
    return text if isinstance(text, bytes) else text.encode("cp1252")


def byte_string(text):
    data = encoded(text)
    return u8(len(data)) + data


def int_byte_string(text):
    # int32 of length + 1 (not used by readers), then a byte string.
    data = encoded(text)
    return i32(len(data) + 1) + byte_string(text)


def int_string(text):
    data = encoded(text)
    return i32(len(data)) + data


# ------------------------------------------------------------ song parts

def header(title, subtitle, artist, album, author, copyright_, tab_author,
           instructions, notice, triplet_feel, lyrics_track, lyrics):
    version = b"FICHIER GUITAR PRO v4.06"
    out = u8(len(version)) + version.ljust(30, b"\0")  # a 30-byte field
    for text in (title, subtitle, artist, album, author, copyright_,
                 tab_author, instructions):
        out += int_byte_string(text)
    out += i32(len(notice)) + b"".join(int_byte_string(line) for line in notice)
    out += u8(1 if triplet_feel else 0)
    out += i32(lyrics_track)
    for start_measure, line in lyrics:  # exactly five entries
        out += i32(start_measure) + int_string(line)
    return out


def channel_table(programs):
    """programs: {(port, channel): (program, volume)}, both 0-based."""
    out = b""
    for port in range(4):
        for channel in range(16):
            program, volume = programs.get((port, channel), (0, 13))
            # instrument, volume, balance, chorus, reverb, phaser, tremolo,
            # two blank bytes
            out += i32(program) + bytes([volume, 8, 0, 0, 0, 0, 0, 0])
    return out


def song_block(tempo, key, programs, measure_count, track_count):
    block = (i32(tempo) + i8(key) + i32(0) + channel_table(programs)
             + i32(measure_count) + i32(track_count))
    assert len(block) == 785
    return block


def measure_header(numerator=None, denominator=None, begin_repeat=False,
                   end_repeat=None, marker=None, double_bar=False, ending=None):
    flags = 0
    body = b""
    if numerator is not None:
        flags |= 0x01
        body += u8(numerator)
    if denominator is not None:
        flags |= 0x02
        body += u8(denominator)
    if begin_repeat:
        flags |= 0x04
    if end_repeat is not None:  # how many times the section is played again
        flags |= 0x08
        body += u8(end_repeat)
    if ending is not None:  # the alternate ending's number
        flags |= 0x10
        body += u8(ending)
    if marker is not None:
        text, rgb = marker
        flags |= 0x20
        body += int_byte_string(text) + bytes(rgb) + b"\0"
    if double_bar:
        flags |= 0x80
    return u8(flags) + body


def track(name, tuning, port, channel, effects_channel, frets=24, capo=0,
          color=(255, 0, 0)):
    name_bytes = encoded(name)
    out = u8(0) + u8(len(name_bytes)) + name_bytes.ljust(40, b"\0")
    out += i32(len(tuning))
    out += b"".join(i32(pitch) for pitch in (list(tuning) + [0] * 7)[:7])
    out += i32(port) + i32(channel) + i32(effects_channel)
    out += i32(frets) + i32(capo) + bytes(color) + b"\0"
    assert len(out) == 98
    return out


def mix_table(instrument=-1, volume=-1, tempo=-1):
    values = [instrument, volume, -1, -1, -1, -1, -1]  # balance .. tremolo
    out = b"".join(i8(v) for v in values) + i32(tempo)
    for v in values[1:]:
        if v != -1:
            out += u8(0)  # change duration
    if tempo != -1:
        out += u8(0)
    return out + u8(0)  # applies to this track only


# Note values: -2 whole, -1 half, 0 quarter, 1 eighth, 2 sixteenth.
WHOLE, HALF, QUARTER, EIGHTH = -2, -1, 0, 1


def note(fret, dynamic=None, kind=1):
    flags = 0x20  # type and fret present
    if dynamic is not None:
        flags |= 0x10
    out = u8(flags) + u8(kind)
    if dynamic is not None:
        out += u8(dynamic)  # 1 (ppp) .. 8 (fff)
    return out + u8(fret)


def beat(duration, frets=None, dotted=False, tuplet=None, rest=False,
         text=None, mix=None, dynamic=None):
    """frets: {string slot (0 = highest string): fret}."""
    frets = frets or {}
    flags = 0
    if dotted:
        flags |= 0x01
    if text is not None:
        flags |= 0x04
    if mix is not None:
        flags |= 0x10
    if tuplet is not None:
        flags |= 0x20
    if rest:
        flags |= 0x40
    out = u8(flags)
    if rest:
        out += u8(2)  # status: rest
    out += i8(duration)
    if tuplet is not None:
        out += i32(tuplet)
    if text is not None:
        out += int_byte_string(text)
    if mix is not None:
        out += mix
    mask = 0
    for slot in frets:
        mask |= 0x40 >> slot
    out += u8(mask)
    for slot in sorted(frets):
        out += note(frets[slot], dynamic)
    return out


def cell(beats):
    return i32(len(beats)) + b"".join(beats)


# ------------------------------------------------------------ the demo

C_CHORD = {1: 1, 2: 0, 3: 2, 4: 3}   # x32010
G_CHORD = {0: 3, 1: 0, 2: 0, 3: 0, 4: 2, 5: 3}
A_MINOR = {1: 1, 2: 2, 3: 2, 4: 0}   # x02210
F_CHORD = {0: 1, 1: 1, 2: 2, 3: 3, 4: 3, 5: 1}


def guitar_measures():
    return [
        # 1 Intro (4/4): a chord, four swung eighths, a rest.
        [beat(QUARTER, C_CHORD, dynamic=6, text="Intro"),
         beat(EIGHTH, {4: 3}), beat(EIGHTH, {3: 2}),
         beat(EIGHTH, {2: 0}), beat(EIGHTH, {1: 1}),
         beat(QUARTER, rest=True)],
        # 2 Verse, repeated: a dotted half and a quarter.
        [beat(HALF, G_CHORD, dotted=True, dynamic=7), beat(QUARTER, {0: 3})],
        # 3 end of the repeat: an eighth-note triplet, a quarter, a half.
        [beat(EIGHTH, {2: 0}, tuplet=3), beat(EIGHTH, {2: 2}, tuplet=3),
         beat(EIGHTH, {1: 0}, tuplet=3), beat(QUARTER, {1: 1}),
         beat(HALF, F_CHORD)],
        # 4 Bridge (3/4), slower: the mix table sets tempo 80.
        [beat(HALF, A_MINOR, dotted=True, mix=mix_table(tempo=80),
              dynamic=4)],
        # 5 Outro (4/4), back to tempo 100 and a louder guitar.
        [beat(EIGHTH, {2: 0}, mix=mix_table(volume=15, tempo=100)),
         beat(EIGHTH, {1: 1}), beat(EIGHTH, {0: 0}), beat(EIGHTH, {1: 1}),
         beat(HALF, G_CHORD, dynamic=8)],
        # 6 the last chord.
        [beat(WHOLE, C_CHORD, dynamic=5)],
    ]


def bass_measures():
    # Tuning G2 D2 A1 E1: slot 2 is the A string, slot 3 the E string.
    return [
        [beat(HALF, {2: 3}), beat(HALF, {3: 3})],
        [beat(HALF, {3: 3}, dotted=True), beat(QUARTER, {3: 5})],
        [beat(HALF, {2: 0}), beat(QUARTER, {3: 1}), beat(QUARTER, {3: 3})],
        [beat(QUARTER, {2: 0}), beat(QUARTER, {2: 0}), beat(QUARTER, {3: 5})],
        [beat(QUARTER, {3: 3}), beat(QUARTER, {3: 3}), beat(HALF, {3: 3})],
        [beat(WHOLE, {2: 3})],
    ]


def demo_song():
    measures = [
        measure_header(4, 4, marker=("Intro", (0, 128, 255))),
        measure_header(begin_repeat=True, marker=("Verse", (255, 128, 0))),
        measure_header(end_repeat=1),
        measure_header(3, marker=("Bridge", (0, 160, 0))),
        measure_header(4, marker=("Outro", (160, 0, 160))),
        measure_header(double_bar=True),
    ]
    tracks = [
        track("Guitar", [64, 59, 55, 50, 45, 40], port=1, channel=1,
              effects_channel=2),
        track("Bass", [43, 38, 33, 28], port=1, channel=3, effects_channel=4,
              color=(0, 0, 255)),
    ]
    programs = {(0, 0): (25, 13), (0, 1): (25, 13),   # steel-string guitar
                (0, 2): (33, 14), (0, 3): (33, 14)}   # finger bass
    out = header(
        title="Orlix Demo", subtitle="A short song for liborlix",
        artist="liborlix", album="Examples", author="liborlix developers",
        copyright_="Public domain", tab_author="make_demo_song.py",
        instructions="Convert it: orlix convert demo.gp4",
        notice=["Made by examples/make_demo_song.py.",
                "Two tracks, a repeat, markers, a tempo change, triplet feel."],
        triplet_feel=True, lyrics_track=1,
        lyrics=[(1, "La la la, the demo plays"), (1, ""), (1, ""), (1, ""),
                (1, "")])
    out += song_block(100, 0, programs, len(measures), len(tracks))
    out += b"".join(measures) + b"".join(tracks)
    guitar, bass = guitar_measures(), bass_measures()
    for m in range(len(measures)):  # measure by measure, then track by track
        out += cell(guitar[m]) + cell(bass[m])
    return out


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                           "demo.gp4")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    with open(path, "wb") as f:
        f.write(demo_song())


if __name__ == "__main__":
    main()
