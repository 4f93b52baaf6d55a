#!/usr/bin/env python3
"""Size and speed of the mac APE encoder against FLAC -8, on real music and on a
synthetic signal, measured in the same run on the same input.

Usage: bench/mac/bench.py [--mac build/bin/mac] [--runs 3] [--keep DIR]

Real music comes from a Debian game-music package (frozen-bubble-data's Ogg, decoded
with ffmpeg); the script installs the package when it is missing and it runs as root.
Goals, checked on the real music: -c2000 no larger than FLAC -8, -c4000 at least 2 %
smaller than FLAC -8, -c2000 encoding in at most twice FLAC -8's time. Exits 1 when a goal
is missed. The synthetic signal (steady tones over pink noise) is reported for reference
only: it favours FLAC's per-block LPC over the format's sign-LMS adaptive filters, so APE
files come out larger there: the prediction residuals are fixed by the format's decoder,
so an encoder cannot model the signal differently.
"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

MUSIC_OGG = "/usr/share/games/frozen-bubble/snd/frozen-mainzik-1p.ogg"
MUSIC_PACKAGE = "frozen-bubble-data"
LEVELS = (1000, 2000, 3000, 4000)


def run(cmd):
    subprocess.run(cmd, check=True, stdin=subprocess.DEVNULL)


def ffmpeg(*args):
    run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args])


def ensure_music():
    if os.path.exists(MUSIC_OGG):
        return
    if os.geteuid() != 0:
        sys.exit(f"{MUSIC_OGG} is missing: install {MUSIC_PACKAGE} (apt-get install {MUSIC_PACKAGE})")
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(["apt-get", "install", "-y", "-qq", MUSIC_PACKAGE], check=True, env=env)


def make_inputs(work):
    ensure_music()
    music = os.path.join(work, "music.wav")
    ffmpeg("-i", MUSIC_OGG, "-c:a", "pcm_s16le", music)
    # Synthetic: different chords and coloured noise on each channel, with a tremolo.
    synth = os.path.join(work, "synthetic.wav")
    ffmpeg("-f", "lavfi", "-i",
           "aevalsrc=exprs="
           "0.25*sin(2*PI*220*t)+0.15*sin(2*PI*277*t)*(0.6+0.4*sin(2*PI*0.5*t))+0.1*sin(2*PI*1650*t)|"
           "0.25*sin(2*PI*330*t)+0.15*sin(2*PI*415*t)*(0.6+0.4*cos(2*PI*0.7*t))+0.08*sin(2*PI*2475*t)"
           ":s=44100:d=120",
           "-f", "lavfi", "-i", "anoisesrc=c=pink:a=0.05:d=120:r=44100:seed=1",
           "-filter_complex", "[1]aformat=channel_layouts=stereo[n];[0][n]amix=inputs=2:normalize=0",
           "-c:a", "pcm_s16le", synth)
    return [("real music", music, True), ("synthetic", synth, False)]


def best_time(cmd, runs):
    """Best wall-clock and best CPU (user + system) seconds over `runs` runs."""
    wall = cpu = None
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        run(cmd)
        dt = time.perf_counter() - t0
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        dc = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        wall = dt if wall is None else min(wall, dt)
        cpu = dc if cpu is None else min(cpu, dc)
    return wall, cpu


def decoded_equal(ape, wav, work):
    a, b = os.path.join(work, "a.raw"), os.path.join(work, "b.raw")
    ffmpeg("-err_detect", "crccheck+explode", "-i", ape, "-f", "s16le", a)
    ffmpeg("-i", wav, "-f", "s16le", b)
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mac", default=os.path.join(os.path.dirname(__file__), "../../build/bin/mac"))
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--keep", help="keep the generated files in this folder")
    args = ap.parse_args()
    mac = os.path.abspath(args.mac)
    if not os.access(mac, os.X_OK):
        sys.exit(f"mac not found at {mac} (build it, or pass --mac)")

    work = args.keep or tempfile.mkdtemp(prefix="mac-bench-")
    os.makedirs(work, exist_ok=True)
    failures = []
    try:
        for name, wav, goals in make_inputs(work):
            flac = os.path.join(work, "ref.flac")
            flac_time, flac_cpu = best_time(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", wav,
                                   "-c:a", "flac", "-compression_level", "8", flac], args.runs)
            flac_size = os.path.getsize(flac)
            secs = float(subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                                         "format=duration", "-of", "csv=p=0", wav],
                                        capture_output=True, text=True, check=True).stdout)
            print(f"\n{name}: {os.path.getsize(wav)} bytes WAV, {secs:.1f} s of audio"
                  f"{'' if goals else ' (reference only, no goals)'}")
            print(f"  {'encoder':<10} {'bytes':>10} {'size/FLAC':>10} {'wall s':>8} {'wall/FLAC':>10}"
                  f" {'cpu s':>8} {'cpu/FLAC':>9}")
            print(f"  {'FLAC -8':<10} {flac_size:>10} {1.0:>10.4f} {flac_time:>8.3f} {1.0:>10.3f}"
                  f" {flac_cpu:>8.3f} {1.0:>9.3f}")
            for level in LEVELS:
                ape = os.path.join(work, f"out{level}.ape")
                t, cpu = best_time([mac, wav, ape, f"-c{level}"], args.runs)
                size = os.path.getsize(ape)
                ok = decoded_equal(ape, wav, work)
                print(f"  {'-c' + str(level):<10} {size:>10} {size / flac_size:>10.4f} {t:>8.3f}"
                      f" {t / flac_time:>10.3f} {cpu:>8.3f} {cpu / flac_cpu:>9.3f}"
                      f"{'' if ok else '  DECODE MISMATCH'}")
                if not ok:
                    failures.append(f"{name}: -c{level} does not decode bit-exactly")
                if not goals:
                    continue
                if level == 2000 and size > flac_size:
                    failures.append(f"{name}: -c2000 larger than FLAC -8")
                if level == 2000 and t > 2 * flac_time:
                    failures.append(f"{name}: -c2000 slower than twice FLAC -8")
                if level == 4000 and size > 0.98 * flac_size:
                    failures.append(f"{name}: -c4000 not 2 % smaller than FLAC -8")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)

    print()
    if failures:
        print("goals missed:\n  " + "\n  ".join(failures))
        return 1
    print("all goals met: -c2000 <= FLAC -8 in size and <= 2x its time; -c4000 >= 2 % smaller")
    return 0


if __name__ == "__main__":
    sys.exit(main())
