#!/bin/bash
# Makes the benchmark's tree of N files on the host side, laid out as
# gather_bench.exe makes it: make_tree.sh <folder> <N>
set -euo pipefail
exec python3 - "$1" "$2" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
binary = bytearray(4096)
for i in range(0, 4096, 7):
    binary[i] = ord('a') + i % 26
text = b't' * 600
folder = root
for i in range(count):
    if i % 100 == 0:
        index = i // 100
        folder = os.path.join(root, 'g%02d' % (index // 50), 'd%03d' % (index % 50))
        os.makedirs(folder, exist_ok=True)
    if i % 10 == 0:
        name, data = 'f%06d.lzh' % i, b''
    elif i % 20 == 1:
        name, data = 'f%06d.txt' % i, text
    else:
        name, data = 'f%06d.dat' % i, bytes(binary)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)
PY
