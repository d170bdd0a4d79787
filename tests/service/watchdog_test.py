#!/usr/bin/python3
"""The program under a systemd-like supervisor: a unix datagram socket as
NOTIFY_SOCKET. READY=1 after start-up, WATCHDOG=1 while the watch's cycles
complete, none while the watch hangs (the stall file), again once it goes on,
STOPPING=1 at SIGTERM. The weather data file is written meanwhile.
Usage: watchdog_test.py TARNWICK_BINARY"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

binary = sys.argv[1]
tmp = tempfile.TemporaryDirectory()
path = lambda name: os.path.join(tmp.name, name)
env = dict(os.environ, HOME=tmp.name, XDG_CONFIG_HOME=tmp.name)


def fail(text, proc=None):
    print("FAIL:", text)
    if proc:
        proc.kill()
        print(open(path("tarnwick.err")).read()[-3000:])
    sys.exit(1)


def config(*words):
    subprocess.run([binary, "--profile", path("profile.ini"), "config", "set", *words], env=env, check=True,
                   stdout=subprocess.DEVNULL)


config("WeatherDataFile", path("weather.txt"))
config("Safety/SafeDelayMinutes", "0")
with open(path("control"), "w") as f:
    f.write("rain=0\ncloud=0\nwind=0\n")

sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
sock.bind(path("notify.sock"))
env.update(NOTIFY_SOCKET=path("notify.sock"), WATCHDOG_USEC="2000000",
           TARNWICK_STALL_WATCH_FILE=path("stall"), TARNWICK_SIMULATOR_CONTROL=path("control"))
proc = subprocess.Popen([binary, "--simulate", "--headless", "--no-alpaca", "--no-archive", "--profile",
                         path("profile.ini"), "--log-dir", tmp.name],
                        env=env, stdout=subprocess.DEVNULL, stderr=open(path("tarnwick.err"), "w"))


def messages(seconds):
    """Every datagram that arrives within seconds."""
    out = []
    end = time.monotonic() + seconds
    while (left := end - time.monotonic()) > 0:
        sock.settimeout(left)
        try:
            out.append(sock.recv(4096).decode())
        except socket.timeout:
            break
    return out


def until(word, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        got = messages(min(0.5, end - time.monotonic()))
        if any(word in m.split("\n") for m in got):
            return True
    return False


if not until("READY=1", 60):
    fail("no READY=1 after start-up", proc)
if sum(m == "WATCHDOG=1" for m in messages(5)) < 3:
    fail("fewer than three WATCHDOG=1 in 5 s of running cycles", proc)

line = open(path("weather.txt")).read()
fields = line.split()
if not line.endswith("\n") or len(fields) != 21 or len(fields[13]) != 5 or int(fields[13]) > 5:
    fail("the weather data file holds %r" % line, proc)

open(path("stall"), "w").close()
messages(1.5)  # a cycle under way when the watch hung may still finish
if any(m == "WATCHDOG=1" for m in messages(4)):
    fail("WATCHDOG=1 went on while the watch hung", proc)
os.remove(path("stall"))
if not until("WATCHDOG=1", 5):
    fail("no WATCHDOG=1 once the watch went on", proc)

proc.send_signal(signal.SIGTERM)
if not until("STOPPING=1", 15):
    fail("no STOPPING=1 at SIGTERM", proc)
if proc.wait(20) != 0:
    fail("the program ended with status %d" % proc.returncode)
print("watchdog verified")
