#!/usr/bin/env python3
"""Wall time of the audio page's whole MP3 run (Start to the closing message:
the media control writes the temporary WAV, lame encodes it, the file is
moved into place) against ffmpeg with libmp3lame on the same inputs, in the
same run.

Usage: bench/audio/bench.py [--build build] [--runs 3] [--keep DIR]

Cases and goals (ratio = our time / ffmpeg's time, best of --runs each):
  one 10-minute source to MP3 128 kbit/s        goal <= 1.10
      reference: ffmpeg -i SRC -c:a libmp3lame -b:a 128k -joint_stereo 0 OUT
      (the tasks' default channel mode is plain stereo; plain ffmpeg, which
      encodes joint stereo, is printed beside it for reference)
  twenty 10-second sources to MP3 128 kbit/s    goal <= 1.50
      reference: the same ffmpeg command for each file, one after another
Sources are 44.1 kHz stereo Ogg Vorbis files (tones over pink noise), made
with ffmpeg. Exits 1 when a goal is missed. Needs the build's audio_bench
(cmake --build BUILD --target audio_bench).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


# The tasks' default channel mode is plain stereo (lame -m stereo); ffmpeg's
# encoder does the same codec work with joint stereo off.
SAME_WORK = ("-joint_stereo", "0")


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args], check=True)


def make_source(path, seconds, freq):
    ffmpeg("-f", "lavfi", "-i", f"anoisesrc=d={seconds}:c=pink:r=44100:a=0.2",
           "-f", "lavfi", "-i", f"sine=frequency={freq}:sample_rate=44100:duration={seconds}",
           "-filter_complex", "[0][1]amix=inputs=2,aformat=channel_layouts=stereo",
           "-c:a", "libvorbis", "-q:a", "5", path)


def ours(bench, bindir, src_dir, out_dir):
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    r = subprocess.run([bench, bindir, src_dir, out_dir, "128"], capture_output=True, text=True,
                       stdin=subprocess.DEVNULL)
    if r.returncode != 0:
        sys.exit(f"audio_bench failed: {r.stderr}")
    return float(r.stdout.strip())


def reference(sources, out_dir, extra=()):
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    start = time.perf_counter()
    for src in sources:
        out = os.path.join(out_dir, os.path.splitext(os.path.basename(src))[0] + ".mp3")
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", src, "-c:a", "libmp3lame",
                        "-b:a", "128k", *extra, out], check=True)
    return time.perf_counter() - start


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../..")
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(root, "build"))
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--keep", help="keep the generated files in this folder")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    bench = os.path.join(build, "bench/audio/audio_bench")
    bindir = os.path.join(build, "bin")
    if not os.access(bench, os.X_OK):
        sys.exit(f"{bench} not found: cmake --build {build} --target audio_bench")

    work = args.keep or tempfile.mkdtemp(prefix="audio-bench-")
    os.makedirs(work, exist_ok=True)
    failures = []
    try:
        long_dir = os.path.join(work, "long")
        short_dir = os.path.join(work, "short")
        os.makedirs(long_dir, exist_ok=True)
        os.makedirs(short_dir, exist_ok=True)
        long_src = os.path.join(long_dir, "long.ogg")
        if not os.path.exists(long_src):
            make_source(long_src, 600, 440)
        shorts = []
        for i in range(20):
            p = os.path.join(short_dir, f"s{i:02d}.ogg")
            if not os.path.exists(p):
                make_source(p, 10, 220 + 20 * i)
            shorts.append(p)

        print(f"{'case':<34} {'ours s':>8} {'ffmpeg s':>9} {'ratio':>6} {'goal':>5}"
              f"   {'plain ffmpeg s':>14} {'ratio':>6}")
        for name, src_dir, sources, goal in (
                ("one 10-minute source, MP3 128k", long_dir, [long_src], 1.10),
                ("twenty 10-second sources, MP3 128k", short_dir, shorts, 1.50)):
            ours_runs, ref_runs, plain_runs = [], [], []
            # Taken in turn, so all see the same state of the machine.
            for _ in range(args.runs):
                ours_runs.append(ours(bench, bindir, src_dir, os.path.join(work, "ours")))
                ref_runs.append(reference(sources, os.path.join(work, "ref"), SAME_WORK))
                plain_runs.append(reference(sources, os.path.join(work, "ref")))
            ours_t, ref_t, plain_t = min(ours_runs), min(ref_runs), min(plain_runs)
            ratio = ours_t / ref_t
            print(f"{name:<34} {ours_t:>8.2f} {ref_t:>9.2f} {ratio:>6.2f} {goal:>5.2f}"
                  f"   {plain_t:>14.2f} {ours_t / plain_t:>6.2f}")
            if ratio > goal:
                failures.append(f"{name}: ratio {ratio:.2f} above {goal:.2f}")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("goals missed:\n  " + "\n  ".join(failures))
        return 1
    print("all goals met")
    return 0


if __name__ == "__main__":
    sys.exit(main())
