#!/usr/bin/python3
"""Converts every version 4 song of the corpus with the orlix command and
reads the result back with an independent strict MIDI reader (mido); each
track's note count from `orlix info` must equal the note-ons in its chunk.

Usage: check_with_mido.py ORLIX_COMMAND CORPUS_DIR
"""
import json
import os
import subprocess
import sys
import tempfile

import mido


def main():
    tool, corpus = sys.argv[1], sys.argv[2]
    songs = sorted(os.path.join(corpus, "gp4", n) for n in os.listdir(os.path.join(corpus, "gp4"))
                   if n.endswith(".gp4"))
    failures = 0
    with tempfile.TemporaryDirectory() as out:
        for song in songs:
            info = json.loads(subprocess.run([tool, "info", "--json", song], check=True,
                                             capture_output=True).stdout)
            midi_path = os.path.join(out, os.path.basename(song) + ".mid")
            subprocess.run([tool, "convert", song, "-o", midi_path], check=True)
            try:
                midi = mido.MidiFile(midi_path, clip=False)
            except Exception as error:  # mido raises several kinds on bad data
                print(f"FAIL {song}: mido cannot read the output: {error}")
                failures += 1
                continue
            tracks = len(info["tracks"])
            per_chunk = [sum(1 for m in track if m.type == "note_on" and m.velocity > 0)
                         for track in midi.tracks]
            note_ons = sum(per_chunk)
            problems = []
            if midi.type != 1:
                problems.append(f"format {midi.type}")
            if len(midi.tracks) != tracks + 1:
                problems.append(f"{len(midi.tracks)} tracks for {tracks} song tracks")
            # info counts each track's notes as the conversion writes them.
            playable = sum(track["notes"] for track in info["tracks"])
            for number, (track, written) in enumerate(zip(info["tracks"], per_chunk[1:]), 1):
                if track["notes"] != written:
                    problems.append(f"track {number}: info says {track['notes']} notes, "
                                    f"its chunk has {written} note-ons")
            if any(track[-1].type != "end_of_track" for track in midi.tracks):
                problems.append("a track without end of track")
            print(("FAIL " if problems else "ok   ") + f"{os.path.basename(song)}: {len(midi.tracks)} tracks, "
                  f"{note_ons} note-ons for {playable} notes, {midi.length:.1f} s" + (": " + ", ".join(problems) if problems else ""))
            failures += bool(problems)
    print(f"{len(songs) - failures} of {len(songs)} songs convert into MIDI that mido reads")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
