#!/usr/bin/env python3
"""Debian's mosquitto broker for the tests, on 127.0.0.1 on a free port, with a password file.

    mqtt_broker.py start DIR     start a broker of its own (never the machine's service)
    mqtt_broker.py restart DIR   stop it and start it again on the same port (a broker outage)
    mqtt_broker.py stop DIR      stop it

DIR holds the broker's configuration, password file and log, and broker.txt, which tells a test
where the broker is, one "key value" a line: port, user, password (the account the tests connect
with), checker_user, checker_password (the account of the checking client, which is not the
program's library) and script (this file, for a restart from a test). Anonymous clients are refused. CTest runs start and stop as a fixture's setup
and cleanup (tests/mqtt/CMakeLists.txt); the broker runs detached from CTest's output pipes.
"""
import os
import secrets
import signal
import socket
import subprocess
import sys
import time


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def read_info(folder):
    info = {}
    try:
        with open(os.path.join(folder, "broker.txt"), encoding="ascii") as lines:
            for line in lines:
                key, _, value = line.rstrip("\n").partition(" ")
                info[key] = value
    except FileNotFoundError:
        pass
    return info


def accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


def running(pid):
    """Whether the process runs; a zombie that no one reaps (a container's init may not) has ended."""
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
            return stat.read().rpartition(")")[2].split()[0] != "Z"
    except FileNotFoundError:
        return False


def stop(folder):
    pid_file = os.path.join(folder, "broker.pid")
    try:
        pid = int(open(pid_file, encoding="ascii").read())
    except (FileNotFoundError, ValueError):
        return
    try:
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            if not running(pid):
                break
            time.sleep(0.05)
        else:
            os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    os.remove(pid_file)


def start(folder, port=None):
    os.makedirs(folder, exist_ok=True)
    info = read_info(folder)
    if port is None or not info:
        info = {
            "port": str(free_port()),
            "user": "quellarotix",
            "password": secrets.token_hex(8),
            "checker_user": "checker",
            "checker_password": secrets.token_hex(8),
        }
    else:
        info["port"] = str(port)
    info["script"] = os.path.abspath(__file__)
    passwords = os.path.join(folder, "passwords")
    open(passwords, "w").close()
    for user, password in ((info["user"], info["password"]), (info["checker_user"], info["checker_password"])):
        subprocess.run(["mosquitto_passwd", "-b", passwords, user, password], check=True)
    config = os.path.join(folder, "mosquitto.conf")
    with open(config, "w", encoding="ascii") as out:
        out.write(f"listener {info['port']} 127.0.0.1\n"
                  "allow_anonymous false\n"
                  f"password_file {passwords}\n"
                  "persistence false\n"
                  # Into broker.out: run as root, mosquitto drops to its own user, who may not write here.
                  "log_dest stdout\n"
                  "log_type all\n")
    with open(os.path.join(folder, "broker.out"), "ab") as log:
        # Line by line (stdbuf), so a test can read what the broker did while it runs.
        broker = subprocess.Popen(["stdbuf", "-oL", "mosquitto", "-c", config], stdin=subprocess.DEVNULL, stdout=log,
                                  stderr=log, start_new_session=True, close_fds=True)
    with open(os.path.join(folder, "broker.pid"), "w", encoding="ascii") as out:
        out.write(str(broker.pid))
    deadline = time.monotonic() + 10
    while not accepts(int(info["port"])):
        if broker.poll() is not None or time.monotonic() > deadline:
            sys.exit(f"mqtt_broker: mosquitto did not start on port {info['port']} (see {folder}/broker.out)")
        time.sleep(0.05)
    with open(os.path.join(folder, "broker.txt"), "w", encoding="ascii") as out:
        out.writelines(f"{key} {value}\n" for key, value in info.items())


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "restart", "stop"):
        sys.exit(__doc__)
    command, folder = sys.argv[1], os.path.abspath(sys.argv[2])
    if command == "start":
        stop(folder)
        start(folder)
    elif command == "restart":
        port = read_info(folder).get("port")
        stop(folder)
        start(folder, int(port) if port else None)
    else:
        stop(folder)


if __name__ == "__main__":
    main()
