#!/bin/sh
# Makes the archive fixtures of the io tests in the folder $1:
# 7z archives with 7zz, zip archives with python3's zipfile, and the
# source files they hold under $1/src for comparison.
set -e
# Names outside ASCII need a UTF-8 locale in 7zz.
export LC_ALL=C.UTF-8
out=$1
[ -n "$out" ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
rm -rf "$out"
mkdir -p "$out/src/assets"
cd "$out"

python3 - <<'PY'
import os
src = 'src'
def put(name, data):
    with open(os.path.join(src, name), 'wb') as f:
        f.write(data)
put('hello.txt', b'hello world\n')
put('text.txt', b''.join(b'line %d of some text\n' % i for i in range(2000)))
# x86-like code: call and jump opcodes spread through the bytes, for the branch filters.
put('code.bin', bytes((0xE8, 0xE9, 0x0F, 0x80, 0x00)[(i // 7) % 5] if i % 7 == 0 else (i * 31 + i // 256) % 256 for i in range(60000)))
put('assets/a.txt', b'alpha\n' * 500)
put('b.txt', b'bravo\n' * 700)
put('c.txt', b'charlie\n' * 900)
put(b'gr\xc3\xb6\xc3\x9fe-\xe6\x97\xa5\xe6\x9c\xac.txt'.decode('utf-8'), b'unicode name\n')
put('good.txt', b'good entry\n' * 40)
put('bad.txt', b'bad entry!\n' * 40)
PY

a7() { archive=$1; shift; (cd src && 7zz a -bd "../$archive" "$@" >/dev/null); }
a7 lzma.7z -m0=LZMA hello.txt
a7 lzma2.7z -m0=LZMA2 text.txt
a7 bcj.7z -m0=LZMA2 -mf=BCJ code.bin
a7 bcj2.7z -m0=LZMA -mf=BCJ2 code.bin
# Solid, with a folder as its first entry.
a7 solid.7z -m0=LZMA2 -ms=on assets b.txt c.txt
a7 unicode.7z -m0=LZMA2 "$(ls src | grep '^gr')"
# Stored entries in separate blocks; one byte of bad.txt changed afterwards.
a7 crc.7z -m0=Copy -ms=off good.txt bad.txt
# An entry of 257 MiB of zeros (above the size the reader holds in memory), then a small one.
head -c 257M /dev/zero | 7zz a -bd -mx1 -si'zeros.bin' big.7z >/dev/null
(cd src && 7zz a -bd ../big.7z hello.txt >/dev/null)

python3 - <<'PY'
import zipfile

def corrupt(src, dst, marker, delta):
    d = bytearray(open(src, 'rb').read())
    i = d.find(marker)
    assert i >= 0, (src, marker)
    d[i + delta] ^= 0xFF
    open(dst, 'wb').write(d)

def cut(src, dst, keep):
    d = open(src, 'rb').read()
    open(dst, 'wb').write(d[:keep(len(d))])

corrupt('crc.7z', 'badcrc.7z', b'bad entry!', 3)
# Compressed bytes changed in the middle of the solid block.
d = bytearray(open('solid.7z', 'rb').read())
d[len(d) // 4] ^= 0x55
open('damaged.7z', 'wb').write(d)
cut('solid.7z', 'truncated.7z', lambda n: n // 2)
open('notarchive.7z', 'wb').write(b'these bytes are not an archive\n' * 4)

with zipfile.ZipFile('plain.zip', 'w') as z:
    z.writestr('dir/', b'')
    z.write('src/code.bin', 'dir/code.bin', compress_type=zipfile.ZIP_DEFLATED)
    z.writestr(zipfile.ZipInfo('big.bin'), bytes(i % 251 for i in range(10000)), compress_type=zipfile.ZIP_DEFLATED)
    z.write('src/hello.txt', 'hello.txt', compress_type=zipfile.ZIP_STORED)
    z.writestr('n' * 300 + '.txt', b'long name\n')
with zipfile.ZipFile('crc.zip', 'w') as z:
    z.write('src/good.txt', 'good.txt', compress_type=zipfile.ZIP_STORED)
    z.write('src/bad.txt', 'bad.txt', compress_type=zipfile.ZIP_STORED)
corrupt('crc.zip', 'badcrc.zip', b'bad entry!', 3)
cut('plain.zip', 'truncated.zip', lambda n: n - 30)

# The same large entry in a zip.
with zipfile.ZipFile('big.zip', 'w', compression=zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    with z.open('zeros.bin', 'w', force_zip64=True) as f:
        block = bytes(1 << 20)
        for _ in range(257):
            f.write(block)
    z.write('src/hello.txt', 'hello.txt')

# Many entries, to open the last one directly.
with zipfile.ZipFile('many.zip', 'w') as z:
    for i in range(3000):
        z.writestr('entry%04d.txt' % i, b'entry %d\n' % i)

# Entries whose sizes are only in the zip64 extra field (0xFFFFFFFF in the headers), as
# Info-ZIP's zip -fz writes them; then the same with one stored byte changed.
import struct, zlib
def zip64(path, entries, damage=None):
    out, central = bytearray(), bytearray()
    for name, data, method in entries:
        comp = data if method == 0 else zlib.compress(data, 9)[2:-4]
        if damage == name:
            comp = bytearray(comp)
            comp[len(comp) // 2] ^= 0x01
            comp = bytes(comp)
        crc = zlib.crc32(data) & 0xFFFFFFFF
        n = name.encode()
        extra = struct.pack('<HHQQ', 1, 16, len(data), len(comp))
        offset = len(out)
        out += struct.pack('<IHHHHHIIIHH', 0x04034B50, 45, 0, method, 0, 0x21, crc, 0xFFFFFFFF, 0xFFFFFFFF, len(n), len(extra)) + n + extra + comp
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 45, 45, 0, method, 0, 0x21, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                               len(n), len(extra), 0, 0, 0, 0, offset) + n + extra
    start = len(out)
    out += central
    out += struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, len(entries), len(entries), len(central), start, 0)
    open(path, 'wb').write(out)
entries64 = [('stored.txt', open('src/good.txt', 'rb').read(), 0), ('deflated.txt', open('src/text.txt', 'rb').read(), 8)]
zip64('zip64.zip', entries64)
zip64('zip64-damaged.zip', entries64, damage='stored.txt')
PY
