"""The slow-device table's floor: makes the probe's calls for each FILE (stat, open, a read of
128 bytes, close) on THREADS threads taking files in turn.
Usage: /usr/bin/python3 bench/slow_loop.py THREADS FILE..."""
import os
import sys
from concurrent.futures import ThreadPoolExecutor


def probe(path):
    os.stat(path)
    with open(path, "rb", buffering=0) as file:
        file.read(128)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    with ThreadPoolExecutor(int(sys.argv[1])) as pool:
        list(pool.map(probe, sys.argv[2:]))
