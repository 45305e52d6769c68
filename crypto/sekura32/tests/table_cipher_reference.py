#!/usr/bin/env python3
"""Independent reference of the table stream cipher, written from its
description: d0 = MD5(key), d(k+1) = MD5(dk); table A holds d0..d15, table B
d17..d32. Each byte: counter += 1, and past 256 it restarts at 0 and the phase
flips; phase 1 steps i then j from A[i], phase 0 steps j then i from B[j];
swap A[i] and B[j]; the byte is (A[i] + B[j]) mod 256.

Usage: table_cipher_reference.py KEY_HEX START_I START_J COUNT [KEY_HEX ...]
Prints COUNT key-stream bytes as hex on one line for each group of four
arguments (an empty key is written as "-")."""
import hashlib
import sys


def key_stream(key, i, j, count):
    chain = [hashlib.md5(key).digest()]
    while len(chain) < 33:
        chain.append(hashlib.md5(chain[-1]).digest())
    a = bytearray(b"".join(chain[0:16]))
    b = bytearray(b"".join(chain[17:33]))
    counter, phase = 0, 0
    out = bytearray()
    for _ in range(count):
        counter += 1
        if counter > 256:
            counter, phase = 0, 1 - phase
        if phase:
            i = (i + 1) % 256
            j = (a[i] + j) % 256
        else:
            j = (j + 1) % 256
            i = (b[j] + i) % 256
        a[i], b[j] = b[j], a[i]
        out.append((a[i] + b[j]) % 256)
    return bytes(out)


if __name__ == "__main__":
    args = sys.argv[1:]
    for at in range(0, len(args) - 3, 4):
        key = bytes.fromhex("" if args[at] == "-" else args[at])
        i, j, count = int(args[at + 1]) % 256, int(args[at + 2]) % 256, int(args[at + 3])
        print(key_stream(key, i, j, count).hex())
