#!/usr/bin/env python3
"""Builds the ZIP test archives with real tools: Info-ZIP's zip, Python's
zipfile and `cmake -E tar --format=zip`.

usage: make_archives.py --zip ZIP --cmake CMAKE OUTDIR

Next to every archive NAME.zip it writes NAME.list: one line per member,
"<name to request>\t<file with the expected bytes, relative to OUTDIR>".
Members left out of a list (encrypted, unsupported method) are tested on
their own.
"""

import argparse
import io
import os
import random
import subprocess
import zipfile


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def write_list(out, archive, pairs):
    with open(os.path.join(out, archive[:-4] + ".list"), "wb") as f:
        for request, expected in pairs:
            f.write(request.encode("latin-1") + b"\t" + expected.encode() + b"\n")


class Unseekable(io.RawIOBase):
    """A write-only stream without seek or tell, as a pipe would be: zipfile
    then writes data descriptors and zero sizes in the local headers."""

    def __init__(self, f):
        self.f = f

    def writable(self):
        return True

    def write(self, b):
        return self.f.write(b)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zip", default="zip")
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("out")
    args = parser.parse_args()
    out = os.path.abspath(args.out)
    src = os.path.join(out, "src")

    rng = random.Random(7)
    readme = b"Vantrel test archive: readme.\n" * 40
    wall = bytes(range(256)) * 60 + b"wall texture tail"
    deep = b"TGA" + bytes(rng.randrange(4) for _ in range(3000))
    noise = rng.randbytes(4096)  # does not deflate: zip stores it
    write(os.path.join(src, "readme.txt"), readme)
    write(os.path.join(src, "Textures", "Wall.DDS"), wall)
    write(os.path.join(src, "Textures", "sub", "Deep.TGA"), deep)
    write(os.path.join(src, "data", "noise.bin"), noise)
    write(os.path.join(src, "empty.txt"), b"")
    members = ["readme.txt", "Textures", "data", "empty.txt"]
    tool_list = [
        ("README.TXT", "src/readme.txt"),
        ("textures\\wall.dds", "src/Textures/Wall.DDS"),
        ("Textures/Sub/deep.tga", "src/Textures/sub/Deep.TGA"),
        ("data/noise.bin", "src/data/noise.bin"),
        ("empty.txt", "src/empty.txt"),
    ]

    # Info-ZIP: deflated, stored-because-incompressible, folder entries; all
    # stored; with an archive comment.
    for name, options, comment in [("zip_tool.zip", [], None), ("zip_stored.zip", ["-0"], None),
                                   ("zip_comment.zip", ["-z"], b"An archive comment,\nover two lines.\n")]:
        subprocess.run([args.zip, "-q", "-r", *options, os.path.join(out, name), *members], cwd=src, input=comment,
                       check=True)
        write_list(out, name, tool_list)
    # From a pipe into a pipe: zip cannot seek back, so the member "-" gets a
    # data descriptor and zero sizes in its local header.
    piped = subprocess.run([args.zip, "-q", "-", "-"], cwd=src, input=readme, stdout=subprocess.PIPE, check=True)
    write(os.path.join(out, "pipe.zip"), piped.stdout)
    write_list(out, "pipe.zip", [("-", "src/readme.txt")])
    subprocess.run([args.zip, "-q", "-P", "secret", os.path.join(out, "encrypted.zip"), "readme.txt"], cwd=src,
                   check=True)

    # cmake -E tar (libarchive's ZIP writer).
    subprocess.run([args.cmake, "-E", "tar", "cf", os.path.join(out, "cmake_tar.zip"), "--format=zip", *members],
                   cwd=src, check=True)
    write_list(out, "cmake_tar.zip", tool_list)

    # Python's zipfile: names that are awkward for a reader.
    write(os.path.join(src, "py", "first.txt"), b"first")
    write(os.path.join(src, "py", "back.txt"), b"stored under backslashes\n" * 3)
    write(os.path.join(src, "py", "sig.txt"), b"a name holding the directory signature")
    with zipfile.ZipFile(os.path.join(out, "py_mixed.zip"), "w") as z:
        z.writestr("Textures/Wall.DDS", wall, zipfile.ZIP_DEFLATED)
        z.writestr("readme.txt", readme, zipfile.ZIP_STORED)
        z.writestr("Dup.TXT", b"first", zipfile.ZIP_DEFLATED)
        z.writestr("dup.txt", b"second", zipfile.ZIP_DEFLATED)
        z.writestr("Folder\\Sub\\Back.txt", b"stored under backslashes\n" * 3, zipfile.ZIP_DEFLATED)
        z.writestr("empty.bin", b"", zipfile.ZIP_DEFLATED)
        z.writestr("PK\x01\x02Sig.txt", b"a name holding the directory signature", zipfile.ZIP_DEFLATED)
        z.comment = b"long comment " * 5000
    write_list(out, "py_mixed.zip", [
        ("textures/wall.dds", "src/Textures/Wall.DDS"),
        ("README.txt", "src/readme.txt"),
        ("DUP.txt", "src/py/first.txt"),
        ("folder/sub/back.txt", "src/py/back.txt"),
        ("Empty.bin", "src/empty.txt"),
        ("PK\x01\x02sig.txt", "src/py/sig.txt"),
    ])

    with open(os.path.join(out, "py_stream.zip"), "wb") as f:
        with zipfile.ZipFile(Unseekable(f), "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("readme.txt", readme)
            z.writestr("Textures/Wall.DDS", wall)
    write_list(out, "py_stream.zip", [("readme.txt", "src/readme.txt"), ("textures/wall.dds", "src/Textures/Wall.DDS")])

    with zipfile.ZipFile(os.path.join(out, "py_empty.zip"), "w"):
        pass
    write_list(out, "py_empty.zip", [])

    with zipfile.ZipFile(os.path.join(out, "py_method.zip"), "w") as z:
        z.writestr("packed.bin", readme, zipfile.ZIP_BZIP2)
        z.writestr("readme.txt", readme, zipfile.ZIP_DEFLATED)


if __name__ == "__main__":
    main()
