#!/usr/bin/env python3
"""Speed and memory of the media control (through fennick-cli) against the ffmpeg
program doing the same codec work on the same input, in the same run.

Usage: bench/fennick/bench.py [--cli build/bin/fennick-cli] [--runs 5] [--keep DIR]

Inputs are made here with ffmpeg: a 10-minute MP3 (tones over noise) and a 60-second
640x480 MPEG-4 video with MP3 sound. Each case prints the ratio of wall times (best of
the runs, taken in turn) and of peak resident memory, ours over ffmpeg's; CPU time
(user + system) is printed beside them for reference. Goals: every time ratio at
most 1.10, every memory ratio at most 1.5; exits 1 when a goal is missed.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

TIME_GOAL = 1.10
MEMORY_GOAL = 1.5


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args], check=True,
                   stdin=subprocess.DEVNULL)


def measure(cmd, env):
    """Wall seconds, peak resident kilobytes and CPU seconds of one run of cmd."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(cmd)}\n{err}")
    return wall, usage.ru_maxrss, usage.ru_utime + usage.ru_stime


def make_inputs(work):
    music = os.path.join(work, "music.mp3")
    ffmpeg("-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=600",
           "-f", "lavfi", "-i", "anoisesrc=color=pink:amplitude=0.1:sample_rate=44100:duration=600",
           "-filter_complex", "[0][1]amix=inputs=2,aformat=channel_layouts=stereo",
           "-c:a", "libmp3lame", "-b:a", "192k", music)
    video = os.path.join(work, "video.avi")
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=640x480:rate=25:duration=60",
           "-f", "lavfi", "-i", "sine=frequency=1000:sample_rate=44100:duration=60",
           "-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame", "-b:a", "128k", "-ac", "2", video)
    return music, video


def cases(cli, music, video, out):
    o = lambda name: os.path.join(out, name)
    ff = ["ffmpeg", "-nostdin", "-v", "error", "-y"]
    return [
        ("WAV from a 10-minute MP3",
         [cli, "wave", music, o("a.wav"), "2", "44100", "2"],
         ff + ["-i", music, "-vn", "-ac", "2", "-ar", "44100", "-c:a", "pcm_s16le", o("b.wav")]),
        ("WMA 128 kbit/s",
         [cli, "wma", music, o("a.wma"), "6"],
         ff + ["-i", music, "-vn", "-ac", "2", "-ar", "44100", "-c:a", "wmav2", "-b:a", "128k",
               "-f", "asf", o("b.wma")]),
        ("VCD PAL",
         [cli, "video", video, o("a_vcd.mpg"), "0", "--fit", "0"],
         ff + ["-i", video, "-target", "pal-vcd", o("b_vcd.mpg")]),
        ("DVD PAL",
         [cli, "video", video, o("a_dvd.mpg"), "4", "--fit", "0"],
         ff + ["-i", video, "-target", "pal-dvd", o("b_dvd.mpg")]),
        ("WMV 1 Mbit/s",
         [cli, "video", video, o("a.wmv"), "8", "--profile", "12", "--fit", "0"],
         ff + ["-i", video, "-s", "320x240", "-r", "30", "-c:v", "wmv2", "-b:v", "936k", "-g", "180",
               "-c:a", "wmav2", "-b:a", "64k", "-ar", "44100", "-ac", "2", "-f", "asf", o("b.wmv")]),
        ("AVI with MPEG-4",
         [cli, "video", video, o("a.avi"), "7", "--width", "640", "--height", "480", "--fps", "25",
          "--vcodec", "0", "--fit", "0"],
         ff + ["-i", video, "-s", "640x480", "-r", "25", "-c:v", "mpeg4", "-q:v", "4",
               "-c:a", "pcm_s16le", "-ac", "2", o("b.avi")]),
    ]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(os.path.dirname(here))
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(root, "build", "bin", "fennick-cli"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--keep", help="keep inputs and outputs in this folder")
    args = parser.parse_args()
    if not os.path.exists(args.cli):
        sys.exit(f"{args.cli} is missing: build first")

    work = args.keep or tempfile.mkdtemp(prefix="fennick-bench-")
    os.makedirs(work, exist_ok=True)
    config = os.path.join(work, "config")
    os.makedirs(config, exist_ok=True)
    # The tool registers the control in a registry of its own here.
    env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen")
    try:
        print("making inputs...", flush=True)
        music, video = make_inputs(work)
        missed = False
        print(f"{'case':28} {'ours s':>8} {'ffmpeg s':>9} {'time':>6} {'cpu':>6} "
              f"{'ours MB':>8} {'ffmpeg MB':>9} {'memory':>7}")
        for name, ours, theirs in cases(args.cli, music, video, work):
            runs = {"ours": [], "theirs": []}
            # Interleaved, so both see the same state of the machine.
            for _ in range(args.runs):
                for label, cmd in (("ours", ours), ("theirs", theirs)):
                    runs[label].append(measure(cmd, env))
            best = {label: (min(r[0] for r in rs), max(r[1] for r in rs), min(r[2] for r in rs))
                    for label, rs in runs.items()}
            t = best["ours"][0] / best["theirs"][0]
            m = best["ours"][1] / best["theirs"][1]
            c = best["ours"][2] / best["theirs"][2]
            flag = "" if t <= TIME_GOAL and m <= MEMORY_GOAL else "  <- goal missed"
            missed = missed or bool(flag)
            print(f"{name:28} {best['ours'][0]:8.2f} {best['theirs'][0]:9.2f} {t:6.2f} {c:6.2f} "
                  f"{best['ours'][1] / 1024:8.1f} {best['theirs'][1] / 1024:9.1f} {m:7.2f}{flag}",
                  flush=True)
        return 1 if missed else 0
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
