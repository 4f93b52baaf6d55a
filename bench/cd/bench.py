#!/usr/bin/env python3
"""Wall time of ripping a CD track to MP3 128 kbit/s through the CD control
(trakkon-cli: paranoia reads from the image drive, the chunk ring, the LAME
stream, the tags) against the lame program encoding the same track as a WAV
file, in the same run on the same audio.

The control encodes with the rip options' defaults: plain stereo, CRC on, no
bit reservoir. The goal is measured against lame doing that same codec work,
`lame -b 128 -m s -p --nores`; plain `lame -b 128` (joint stereo, cheaper to
encode) is printed beside it for reference.

Usage: bench/cd/bench.py [--build build] [--runs 5] [--minutes 10] [--keep DIR]

The disc is a BIN/CUE image written here: one audio track of MINUTES minutes
(tones over pink noise made with ffmpeg, 44.1 kHz stereo). Goal: time ratio
(ours / same-settings lame's, best of --runs each) at most 1.10. Exits 1 when it is missed.
Needs the build's bin/ (trakkon-cli, libTrakkon.so and its encoder libraries).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

GOAL = 1.10


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args], check=True,
                   stdin=subprocess.DEVNULL)


def make_disc(work, minutes):
    seconds = minutes * 60
    raw = os.path.join(work, "disc.bin")
    ffmpeg("-f", "lavfi", "-i", f"anoisesrc=d={seconds}:c=pink:r=44100:a=0.2",
           "-f", "lavfi", "-i", f"sine=frequency=440:sample_rate=44100:duration={seconds}",
           "-filter_complex", "[0][1]amix=inputs=2,aformat=channel_layouts=stereo",
           "-f", "s16le", "-c:a", "pcm_s16le", raw)
    # Whole sectors only, as on a disc.
    size = os.path.getsize(raw)
    with open(raw, "r+b") as f:
        f.truncate(size - size % 2352)
    cue = os.path.join(work, "disc.cue")
    with open(cue, "w") as f:
        f.write('FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n')
    wav = os.path.join(work, "track.wav")
    ffmpeg("-f", "s16le", "-ar", "44100", "-ac", "2", "-i", raw, "-c:a", "pcm_s16le", wav)
    return cue, wav


def timed(cmd, env=None):
    start = time.perf_counter()
    r = subprocess.run(cmd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        sys.exit(f"{cmd[0]} failed ({r.returncode}): {r.stderr.strip()[-500:]}")
    return elapsed


def image_drive(cli, env):
    out = subprocess.run([cli, "drives"], env=env, capture_output=True, text=True, check=True)
    for line in out.stdout.splitlines():
        index, _, name = line.partition("\t")
        if name.endswith("disc.cue (image)"):
            return index
    sys.exit(f"the image drive is not listed: {out.stdout!r}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--minutes", type=int, default=10)
    ap.add_argument("--keep")
    args = ap.parse_args()

    cli = os.path.abspath(os.path.join(args.build, "bin", "trakkon-cli"))
    if not os.access(cli, os.X_OK):
        sys.exit(f"{cli} is missing: build first")
    lame = shutil.which("lame")
    if not lame:
        sys.exit("lame is missing: scripts/setup installs it")

    work = args.keep or tempfile.mkdtemp(prefix="cdbench-")
    os.makedirs(work, exist_ok=True)
    try:
        cue, wav = make_disc(work, args.minutes)
        env = dict(os.environ)
        env["QUINTREL_CD_IMAGES"] = cue
        env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
        drive = image_drive(cli, env)
        ours_out = os.path.join(work, "ours.mp3")
        ref_out = os.path.join(work, "lame.mp3")
        ours, ref, plain = [], [], []
        for _ in range(args.runs):
            # Interleaved, so all see the same machine state.
            ours.append(timed([cli, "rip", drive, "0", ours_out, "--bitrate-pos", "11"], env))
            ref.append(timed([lame, "--quiet", "-b", "128", "-m", "s", "-p", "--nores", wav,
                              ref_out]))
            plain.append(timed([lame, "--quiet", "-b", "128", wav, ref_out]))
        probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                                "format=duration,bit_rate", "-of", "csv=p=0", ours_out],
                               capture_output=True, text=True, check=True).stdout.strip()
        ratio = min(ours) / min(ref)
        print(f"track: {args.minutes} min, 44.1 kHz stereo; our MP3 (duration,bit rate): {probe}")
        print(f"rip to MP3 128 kbit/s: ours {min(ours):.2f} s, "
              f"lame -b 128 -m s -p --nores {min(ref):.2f} s, ratio {ratio:.3f} "
              f"(goal <= {GOAL:.2f})")
        print(f"  for reference: lame -b 128 {min(plain):.2f} s, "
              f"ratio {min(ours) / min(plain):.3f}")
        return 0 if ratio <= GOAL else 1
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
