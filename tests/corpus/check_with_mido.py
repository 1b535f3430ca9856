#!/usr/bin/python3
"""Converts every song of the corpus (gp3/, gp4/ and gp5/, where they exist)
with the orlix command, played in full (the default) and with --classic, and
reads each MIDI file back with an independent strict MIDI reader (mido).

Every file must be format 1 with one chunk per song track after the
conductor, every chunk must end with its end of track, and each track's
note count from `orlix info` (in the same mode) must equal the note-ons in
its chunk. Played in full, no note-off may come for a note that is not
sounding, and no note may still sound at its chunk's end of track.

While the command does not read version 5 songs (`orlix info` of a gp5 file
says "unknown format"), the gp5 songs it refuses so are reported and
skipped; any other refusal is a failure.

Usage: check_with_mido.py ORLIX_COMMAND CORPUS_DIR
Exit status: 0 when every song passed, 1 otherwise.
"""
import collections
import json
import os
import subprocess
import sys
import tempfile

import mido

FOLDERS = ("gp3", "gp4", "gp5")
MODES = (("full", []), ("classic", ["--classic"]))


def unknown_format(result):
    return result.returncode == 1 and ": unknown format: " in result.stderr


def pairing_problems(chunk):
    """Note-offs without a sounding note, and notes still sounding at the
    end of track, per channel and pitch."""
    sounding = collections.Counter()
    unpaired = 0
    for message in chunk:
        if message.type == "note_on" and message.velocity > 0:
            sounding[message.channel, message.note] += 1
        elif message.type in ("note_on", "note_off"):
            if sounding[message.channel, message.note] == 0:
                unpaired += 1
            else:
                sounding[message.channel, message.note] -= 1
    problems = []
    if unpaired:
        problems.append(f"{unpaired} unpaired note-offs")
    left = sum(sounding.values())
    if left:
        problems.append(f"{left} notes sounding past the end of track")
    return problems


def refusal(result, song):
    """The command's message without its "orlix: FILE: "."""
    return result.stderr.strip().replace(f"orlix: {song}: ", "", 1)


def check_song(tool, song, mode, flags, out):
    """("ok" | "fail", what to say, note-ons written)."""
    described = subprocess.run([tool, "info", "--json", *flags, song], capture_output=True,
                               text=True)
    if described.returncode != 0:
        return "fail", refusal(described, song), 0
    info = json.loads(described.stdout)
    midi_path = os.path.join(out, os.path.basename(song) + "." + mode + ".mid")
    converted = subprocess.run([tool, "convert", *flags, song, "-o", midi_path],
                               capture_output=True, text=True)
    if converted.returncode != 0:
        return "fail", refusal(converted, song), 0
    try:
        midi = mido.MidiFile(midi_path, clip=False)
    except Exception as error:  # mido raises several kinds on bad data
        return "fail", f"mido cannot read the output: {error}", 0
    problems = []
    if info["playback"] != mode:
        problems.append(f"info describes the {info['playback']} playback")
    tracks = len(info["tracks"])
    if midi.type != 1:
        problems.append(f"format {midi.type}")
    if len(midi.tracks) != tracks + 1:
        problems.append(f"{len(midi.tracks)} chunks for {tracks} song tracks")
    per_chunk = [sum(1 for m in chunk if m.type == "note_on" and m.velocity > 0)
                 for chunk in midi.tracks]
    # info counts each track's notes as the conversion writes them.
    for number, (track, written) in enumerate(zip(info["tracks"], per_chunk[1:]), 1):
        if track["notes"] != written:
            problems.append(f"track {number}: info says {track['notes']} notes, "
                            f"its chunk has {written} note-ons")
    for number, chunk in enumerate(midi.tracks):
        if not chunk or chunk[-1].type != "end_of_track":
            problems.append(f"chunk {number} does not end with its end of track")
        if mode == "full":
            problems += [f"chunk {number}: {p}" for p in pairing_problems(chunk)]
    said = f"{len(midi.tracks)} chunks, {sum(per_chunk)} note-ons, {midi.length:.1f} s"
    if problems:
        return "fail", said + ": " + ", ".join(problems), sum(per_chunk)
    return "ok", said, sum(per_chunk)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    tool, corpus = sys.argv[1], sys.argv[2]
    folders = [f for f in FOLDERS if os.path.isdir(os.path.join(corpus, f))]
    songs = {f: sorted(os.path.join(corpus, f, n) for n in os.listdir(os.path.join(corpus, f))
                       if n.endswith("." + f)) for f in folders}
    # Whether the command reads version 5 songs yet, asked of one of them.
    reads_version5 = not ("gp5" in folders and songs["gp5"] and unknown_format(
        subprocess.run([tool, "info", songs["gp5"][0]], capture_output=True, text=True)))
    if not reads_version5:
        print("the command does not read version 5 songs: gp5 songs it refuses as of an "
              "unknown format are skipped")
    summaries, failed = [], 0
    with tempfile.TemporaryDirectory() as out:
        for folder in folders:
            for mode, flags in MODES:
                counts = collections.Counter()
                for song in songs[folder]:
                    result, said, note_ons = check_song(tool, song, mode, flags, out)
                    if result == "fail" and folder == "gp5" and not reads_version5 and \
                            said.startswith("unknown format: "):
                        result = "skip"
                    counts[result] += 1
                    counts["note-ons"] += note_ons
                    if result != "ok":
                        print(f"{result.upper():4} {folder} {mode}: {os.path.basename(song)}: "
                              f"{said}")
                failed += counts["fail"]
                summaries.append(f"{folder} {mode}: {counts['ok']} of {len(songs[folder])} songs "
                                 f"read back with mido, {counts['fail']} failed, "
                                 f"{counts['skip']} skipped; {counts['note-ons']} note-ons")
    for line in summaries:
        print(line)
    return 1 if failed or not folders else 0


if __name__ == "__main__":
    sys.exit(main())
