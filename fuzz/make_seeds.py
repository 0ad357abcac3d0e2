#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are the inputs the unit tests and the bundled data use, put in
each target's input layout (see the comment at the top of each
fuzz/fuzz_*.cpp), plus hostile archives built here. Run from anywhere:
    python3 fuzz/make_seeds.py
Existing seed files of the same names are overwritten; crash inputs kept in
the corpora (crash-*) are left alone.
"""
import io
import os
import re
import struct
import tarfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")

# Host bytes: no handler; handler with traces; handler type 1; error pending.
HOSTS = [0x00, 0x03, 0x05, 0x09]


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    assert len(data) < 50 * 1024, (target, name, len(data))
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


# --- fault map reports -------------------------------------------------------

IDS = [0x23, 0x24, 0x25, 0x14, 0x15, 0x34]
SIZES = {7: [13, 13, 17, 3, 9, 13], 5: [13, 13, 13, 3, 7, 13], 4: [13, 13, 13, 3, 7, 13],
         2: [13, 13, 13, 3, 3, 13]}
OTHER = [7, 7, 7, 3, 3, 7]


def block(data_type, kind, faults=()):
    size = SIZES.get(data_type, OTHER)[kind]
    octets = bytearray(size)
    octets[0] = IDS[kind]
    for f in faults:
        if f // 8 + 1 < size:  # faults beyond a small map are left out
            octets[f // 8 + 1] |= 1 << (f % 8)
    return bytes(octets)


def report(data_type, blocks, mo=(3, 3, 1, 2), time_stamp=None, stamps=()):
    area = b"".join(blocks)
    out = bytes(mo) + bytes([len(area) & 0xFF]) + area
    if data_type in (5, 7):
        out += struct.pack(">I", time_stamp or 0x40C96680)
        out += bytes([len(stamps)])
        for kind, fault, seconds in stamps:
            out += bytes([kind, fault]) + struct.pack(">I", seconds)
    return out


def record(data_type, octets):
    return bytes([data_type & 0xFF, len(octets) & 0xFF]) + octets


def faultmap_seeds():
    seeds = {}
    seeds["empty-area-type2"] = record(2, report(2, []))
    seeds["i1a-ec1-type2"] = record(2, report(2, [block(2, 0, [5, 17]), block(2, 3, [1])]))
    seeds["all-kinds-type7"] = record(7, report(7, [block(7, k, [k, 8 + k, 90]) for k in range(6)],
                                                stamps=[(0, 5, 0x40C968D8), (5, 2, 0x40C96D7E)]))
    seeds["unknown-block"] = record(2, report(2, [block(2, 0, [1]), b"\x30\x00\x00"]))
    seeds["length-off-by-one"] = record(4, report(4, [block(4, 4, [3])]) + b"\x00")
    seeds["type5-no-stamps"] = record(5, report(5, [block(5, 2, [0, 95])]))
    seeds["other-type"] = record(9, report(9, [block(9, k, [k * 3]) for k in range(6)]))
    seeds["negative-octets"] = record(2, report(2, [block(2, 0, list(range(0, 96, 3)))], mo=(0x80, 0xFF, 0x81, 0x7F)))
    # Raised, then the same, then ceased; a smaller type after a larger one.
    first = report(7, [block(7, 0, [5]), block(7, 3, [1])])
    second = report(7, [block(7, 0, []), block(7, 5, [2])])
    seeds["series-type7"] = record(7, first) + record(7, first) + record(7, second)
    seeds["grow-type2-to-7"] = record(2, report(2, [block(2, 2, [1, 90])])) + record(7, report(7, [block(7, 2, [1, 130])]))
    seeds["shrink-type7-to-other"] = record(7, report(7, [block(7, 2, [120])])) + record(3, report(3, [block(3, 2, [4])]))
    for mo_class in range(0, 14):
        seeds["mo-class-%02d" % mo_class] = record(2, report(2, [block(2, 1, [mo_class])], mo=(mo_class, 2, 1, mo_class % 5)))
    # The bundled series of AO TS3-1, in one input.
    series = b""
    with open(os.path.join(ROOT, "data", "reports", "ts3-1.hex")) as hexes:
        for line in hexes:
            line = line.strip()
            if line and not line.startswith("#"):
                series += record(7, bytes.fromhex(line.replace(" ", "")))
    seeds["bundled-ts3-1-series"] = series
    for i, (name, data) in enumerate(sorted(seeds.items())):
        write("faultmap", name, bytes([HOSTS[i % len(HOSTS)]]) + data)


# --- file-information files ---------------------------------------------------

def info_file(body):
    if isinstance(body, str):
        body = body.encode("latin-1")
    return b"FILEINFO0001" + body + b"#END"


def fileinfo_seeds():
    bodies = {
        "worked-example": "#package description\n{FP=PKG01;REV=R2A;\n  {LF=LOADF001;SIZE=3000;\n"
                          "    {F=APPL1;SIZE=1000;DEST=H40,$ALLZ;}\n    {F=BOOT1;SIZE=2000;DEST=$ALLZ;BOOT=H40,H50;}\n"
                          "  }\n}\n{SYMB=DEST;ALLZ=H40,J40,H50;}\n",
        "cleaning": "{FP=P.K-G;REV=R\t1;{LF=L F;{F=A.B;SIZE=1 0;DEST=H40;}}}\n# last comment {FP=X;",
        "comment-in-value": "{FP=P1;# REV=BAD;\nREV=GOOD;}#tail",
        "high-bytes": "{FP=\xc4Q\x00R\x7f;REV=1;}",
        "kma-load-files": "{FP=P;{LF=KMA1;SIZE=1;}{LF=KMB2;}{LF=kma3;SIZE=4;}{LF=KMC4;}}",
        "empty-elements": "{FP=P;{LF=L;{F=A;DEST=H40,,H50;BOOT=,J40,;}{F=B;DEST=;BOOT=,,;}}}",
        "attribute-order": "{FP=REVA;REV=R7;{LF=SIZEX;SIZE=55;{F=SIZE;DEST=H40;SIZE=7;}{F=DEST1;SIZE=5;DEST=J40;}"
                           "{F=XBOOT;XDEST=H50;DEST=QMS;SIZE=3;}}}",
        "size-after-objects": "{FP=P;{LF=L;{F=A;SIZE=11;DEST=H40;}SIZE=99;}}",
        "sizes": "{FP=P;{LF=L;{F=A;SIZE=abc;}{F=B;SIZE=12ab;}{F=C;SIZE=007;}{F=D;SIZE=99999999999;}}}",
        "skipped-objects": "{X=1;}{}{FP=P;{}{Q=1;{LF=HIDDEN;}}{LF=L1;{}{G=2;}{F=A;SIZE=1;}{{}}{F=B;SIZE=2;}}",
        "unbalanced": "{FP=P;{LF=L;{F=A;SIZE=1;}",
        "unbalanced-symbols": "{FP=P;{LF=L;}}{SYMB=DEST;S=H40;",
        "symbols": "{SYMB=OTHER;O=H40;}{SYMB=DEST;A=J40;A=H50;EMPTY=,QMS;NOEQ;B=H30,;LAST=H40}{SYMB=DEST;C=H40;}"
                   "{FP=P;{LF=L;{F=X;SIZE=3;DEST=$A,$EMPTY,$NONE;BOOT=$B,$C;}}}",
        "substring-codes": "{FP=P;{LF=L;{F=A;SIZE=4;DEST=40J;BOOT=WB1;}{F=B;SIZE=4;DEST=H40J40H50QMSH30WBCWB1;}}}",
        "sixteen-chars": "",
    }
    index = 0
    for name, body in sorted(bodies.items()):
        data = info_file(body) if name != "sixteen-chars" else b"0123456789abcdef"
        for flags in (0x00, 0x02):
            write("swload_fileinfo", "%s-%d" % (name, flags), bytes([HOSTS[index % len(HOSTS)], flags]) + data)
            index += 1
    # The bundled demo package, copied for H40 (0), the whole family (4) and
    # QMS (3), small enough for the copy's load files.
    with open(os.path.join(ROOT, "data", "package", "KMA0001"), "rb") as bundled:
        demo = bundled.read()
    for kind in (0, 3, 4):
        write("swload_fileinfo", "bundled-copy-kind%d" % kind, bytes([0x00, 0x04 | (kind << 3)]) + demo)
    small = info_file("{FP=QTV0001_SMALL;REV=R1A;{LF=LOADF001;SIZE=40;{F=APPL1;SIZE=10;DEST=H40,$ALLZ;}"
                      "{F=BOOT1;SIZE=20;DEST=$ALLZ;BOOT=H40,H50;}}{LF=LOADF002;{F=W;SIZE=5;DEST=$WBS;}}}"
                      "{SYMB=DEST;ALLZ=H40,J40,H50;WBS=WBC,WB1;}")
    for kind in range(8):
        write("swload_fileinfo", "small-copy-kind%d" % kind, bytes([0x03, 0x04 | (kind << 3)]) + small)
    # A BSC-format name for the file-information file itself.
    write("swload_fileinfo", "bsc-name-copy", bytes([0x01, 0x04 | 0x02]) + small)


# --- card "ZCL" files -----------------------------------------------------------

def zcl_seeds():
    header = b"ZCLR1A05xxxx"
    files = {
        "qtv-name": header + b"boot code {FP=QTV1234567_ABCDE;REV=R1A;}",
        "hrw-17": header + b"\x00\x01FP=HRW1234567_ABCDEF;trailer",
        "hrw-16": header + b"FP=HRW1234567_ABCDE;;",
        "wrong-underscore-then-right": header + b"FP=QTV123_4567ABCDE;.FP=QTV7654321_EDCBA;",
        "fp-at-end": header + b"xxxxFP=QTV12",
        "stale-buffer": header + b"FP=QTV1234567-ABCDEFGH FP=xxxxxxxxxx_",
        "eleven-bytes": b"ZCLR1A05xxx",
        "twelve-bytes": b"ZCLR1A05xxxx",
        "empty": b"",
        "many-f": header + b"F" * 300 + b"FFP" + b"FP=" + b"HRW" * 6,
        "class-letters-late": header + b"FP=0123456789_QTV;x",
    }
    for i, (name, data) in enumerate(sorted(files.items())):
        write("swload_zcl", name, bytes([HOSTS[i % len(HOSTS)]]) + data)


# --- the fault code database ----------------------------------------------------

def faultcode_input(host, cabinet, choice, code, xml):
    code = code.encode("latin-1")
    return bytes([host, cabinet & 0xFF, choice, len(code)]) + code + xml


def faultcode_seeds():
    with open(os.path.join(ROOT, "data", "faultcodes.xml"), "rb") as database:
        full = database.read()
    write("faultcode", "bundled-macro", faultcode_input(0x00, 1, 0, "BTS CF I1A:1", full))
    write("faultcode", "bundled-strato", faultcode_input(0x03, 48, 3, "BTS:CF:I1A:2", full))
    # Each fault of the bundled database alone, for the four cabinet classes.
    faults = re.findall(rb"<fault>.*?</fault>", full, re.S)
    cabinets = [1, 5, 41, 48]
    for i, fault in enumerate(faults):
        xml = b"<?xml version=\"1.0\"?>\n<faultcodedescription>\n" + fault + b"\n</faultcodedescription>\n"
        write("faultcode", "fault-%02d" % i, faultcode_input(HOSTS[i % len(HOSTS)], cabinets[i % 4], 0, "", xml))
    small = (b"<faultcodedescription><fault><code><category>A</category><function>B</function><map>C</map>"
             b"<id>1</id></code><description><type>Macro</type><p>one</p><list><li><p>two</p><list><li><p>three"
             b"</p></li></list></li></list></description><relatedfault><type>Macro</type><code><category>A"
             b"</category><function>B</function><map>C</map></code><code><category/><function/><map/><id/></code>"
             b"</relatedfault></fault></faultcodedescription>")
    write("faultcode", "apostrophe", faultcode_input(0x01, 1, 0, "A B C:1'", small))
    write("faultcode", "three-parts", faultcode_input(0x01, 1, 0, "A B C", small))
    for cabinet in (64, 0, 8, -2, 65, 34):
        write("faultcode", "cabinet-%d" % cabinet, faultcode_input(0x00, cabinet, 0, "A B C:1", small))
    deep = b"<faultcodedescription><fault><code><category>D</category><function>E</function><map>F</map><id>9</id>" \
           b"</code><action><type>Pico</type>" + b"<list><li>" * 200 + b"<p>deep</p>" + b"</li></list>" * 200 + \
           b"</action></fault></faultcodedescription>"
    write("faultcode", "deep-lists", faultcode_input(0x00, 41, 0, "D E F:9", deep))
    write("faultcode", "malformed", faultcode_input(0x00, 1, 0, "A B C:1", small[:150]))
    write("faultcode", "not-xml", faultcode_input(0x00, 1, 0, "A B C:1", b"\x00\xff<<>>&&;"))


# --- the monitor catalogue ------------------------------------------------------

def i32(value):
    return struct.pack(">i", value)


def text(value):
    """A text argument: a first octet of 64 or more, then the length and the bytes."""
    value = value.encode("latin-1")
    return bytes([200, len(value)]) + value


def from_catalogue(which, internal_id):
    return bytes([which]) + i32(internal_id)


def monitor_seeds():
    ops = {
        "ids": b"".join(b"\x00" + i32(i) for i in (0, 31, 47, 180, 250, 263, 427, 428, 5000, -1)),
        "names": b"".join(b"\x01" + t for t in (text("R42-A"), text("RTS/TU/PCM_REFA/MEAS/FI_ERR"), text("T6"),
                                                text(""), from_catalogue(0, 21), from_catalogue(1, 364))),
        "display-names": b"".join(b"\x02" + t for t in (text("PSU-3 Information"), text("TMA 3 current"),
                                                         text("PSU-#1 Information"), text("TS Channel Comb"),
                                                         from_catalogue(2, 47))),
        "cm-names": b"\x0a\x01" + b"\x02" + text("TMA 3 CM 1 current") + b"\x00" + i32(263) + b"\x0a\x00",
        "all-ids": b"\x03\x22\x03\x00\x03\xfe\x03\x40",
        "attach-and-ask": b"\x04" + text("R42-A") + i32(1) + i32(2) + i32(3) + i32(4) +
                          b"\x05" + i32(9) + i32(1) + i32(2) + i32(5) + i32(6) + i32(1) +
                          b"\x06" + i32(1) + i32(2) + i32(21) +
                          b"\x07" + text("R42-A") + i32(1) + i32(2) +
                          b"\x07" + text("CREC/ANT/TMA_CURRENT_VOLTAGE") + i32(1) + i32(2),
        "keep-and-clear": b"\x05" + i32(9) + i32(1) + i32(2) + i32(5) + i32(6) + i32(0) +
                          b"\x05" + i32(9) + i32(1) + i32(2) + i32(5) + i32(6) + i32(0) +
                          b"\x08\x02" + text("R42-A") + from_catalogue(0, 5) +
                          b"\x06" + i32(1) + i32(2) + i32(33) + b"\x09" + i32(2) * 8,
        "kinds": b"".join(b"\x0b" + i32(k) for k in (0, 44, 45, 234, 273, 274, -1)),
    }
    for i, (name, data) in enumerate(sorted(ops.items())):
        write("monitor", name, bytes([HOSTS[i % len(HOSTS)]]) + data)


# --- package archives -----------------------------------------------------------

def tar_bytes(entries, compress=False):
    """entries: (name, kind, payload): kind 'file', 'dir', 'sym', 'hard', 'fifo', 'chr'."""
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w:gz" if compress else "w", format=tarfile.GNU_FORMAT) as archive:
        for name, kind, payload in entries:
            info = tarfile.TarInfo(name)
            info.mtime = 1700000000
            info.mode = 0o644
            data = None
            if kind == "file":
                data = payload
                info.size = len(payload)
            elif kind == "dir":
                info.type = tarfile.DIRTYPE
                info.mode = payload if payload is not None else 0o755
            elif kind == "sym":
                info.type = tarfile.SYMTYPE
                info.linkname = payload
            elif kind == "hard":
                info.type = tarfile.LNKTYPE
                info.linkname = payload
            elif kind == "fifo":
                info.type = tarfile.FIFOTYPE
            elif kind == "chr":
                info.type = tarfile.CHRTYPE
                info.devmajor, info.devminor = 1, 3
            archive.addfile(info, io.BytesIO(data) if data is not None else None)
    data = buffer.getvalue()
    if compress:
        # A fixed gzip time stamp keeps the seeds the same from run to run.
        data = data[:4] + b"\x00\x00\x00\x00" + data[8:]
    return data


def zip_bytes(entries):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, kind, payload in entries:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            if kind == "sym":
                info.create_system = 3
                info.external_attr = (0o120777 << 16)
                archive.writestr(info, payload)
            elif kind == "dir":
                info.external_attr = (0o40755 << 16) | 0x10
                archive.writestr(info, b"")
            else:
                info.external_attr = 0o644 << 16
                archive.writestr(info, payload)
    return buffer.getvalue()


ZIP, TAR, TGZ, BAD = 0, 1, 2, 3


def archive_input(kind_of_archive, unit, data, host=0x00):
    return bytes([host, kind_of_archive, unit]) + data


def archive_seeds():
    package = [("FLF1PKG", "file", info_file("{FP=P;{LF=L;{F=A;SIZE=1;DEST=H40;}}}")), ("L", "file", b"H" * 13)]
    inner_tgz = tar_bytes(package, compress=True)
    inner_tar = tar_bytes(package)
    seeds = {
        "package-tgz": (TGZ, 0, inner_tgz),
        "package-tar": (TAR, 0, inner_tar),
        "package-zip": (ZIP, 0, zip_bytes(package)),
        "package-in-folder-zip": (ZIP, 0, zip_bytes([("sub/", "dir", None)] + [("sub/" + n, k, p) for n, k, p in package])),
        "refused-extension": (BAD, 0, zip_bytes(package)),
        "sw-package-g5": (TGZ, 0, tar_bytes([("SW_PACKAGE", "dir", None), ("SW_PACKAGE/g5x.tgz", "file", inner_tgz),
                                              ("SW_PACKAGE/G7Y.TGZ", "file", inner_tgz)], compress=True)),
        "sw-package-g7": (TGZ, 4, tar_bytes([("SW_PACKAGE", "dir", None), ("SW_PACKAGE/g5x.tgz", "file", inner_tgz),
                                              ("SW_PACKAGE/G7Y.TGZ", "file", inner_tgz)], compress=True)),
        "nested-tar": (TAR, 0, tar_bytes([("inner.tar", "file", inner_tar)])),
        "nested-zip-in-tgz": (TGZ, 0, tar_bytes([("inner.tgz", "file", inner_tgz), ("x.tar", "file", b"junk")], compress=True)),
        "bad-nested": (TAR, 0, tar_bytes([("inner.tgz", "file", b"not a gzip at all")])),
        "empty-tar": (TAR, 0, tar_bytes([])),
        "truncated-tgz": (TGZ, 0, inner_tgz[: len(inner_tgz) // 2]),
        # Hostile entries: each must be refused, nothing written outside.
        "dotdot-tar": (TAR, 0, tar_bytes([("../escape", "file", b"x"), ("FLF1", "file", b"y")])),
        "dotdot-deep-tar": (TAR, 0, tar_bytes([("a/../../guard/sentinel", "file", b"overwritten")])),
        "absolute-tar": (TAR, 0, tar_bytes([("/tmp/pelix-fuzz-absolute", "file", b"x")])),
        "symlink-out-then-write": (TAR, 0, tar_bytes([("link", "sym", "../../guard"), ("link/sentinel", "file", b"over")])),
        "symlink-sw-package-out": (TAR, 0, tar_bytes([("SW_PACKAGE", "sym", "../../guard/inner")])),
        "symlink-absolute": (TAR, 0, tar_bytes([("abs", "sym", "/etc/passwd")])),
        "symlink-inside": (TAR, 0, tar_bytes([("dir", "dir", None), ("dir/FLF1", "file", b"x"), ("in", "sym", "dir/FLF1"),
                                              ("up", "sym", "../pkg/dir")])),
        "symlink-then-write-inside": (TAR, 0, tar_bytes([("d", "dir", None), ("l", "sym", "d"), ("l/f", "file", b"x")])),
        "hardlink-out": (TAR, 0, tar_bytes([("hl", "hard", "../guard/sentinel")])),
        "hardlink-absolute": (TAR, 0, tar_bytes([("hl", "hard", "/etc/passwd")])),
        "hardlink-inside-then-write": (TAR, 0, tar_bytes([("a", "file", b"one"), ("b", "hard", "a"), ("b", "file", b"two")])),
        "fifo": (TAR, 0, tar_bytes([("pipe", "fifo", None)])),
        "device": (TAR, 0, tar_bytes([("null", "chr", None)])),
        "dir-mode-000": (TAR, 0, tar_bytes([("locked", "dir", 0o000), ("FLF1", "file", b"x")])),
        "zip-dotdot": (ZIP, 0, zip_bytes([("../escape", "file", b"x")])),
        "zip-absolute": (ZIP, 0, zip_bytes([("/tmp/pelix-fuzz-zip-absolute", "file", b"x")])),
        "zip-symlink-out": (ZIP, 0, zip_bytes([("link", "sym", b"../../guard"), ("link/sentinel", "file", b"over")])),
        "gzip-bomb-small": (TGZ, 0, tar_bytes([("zeros", "file", b"\x00" * 2000000)], compress=True)),
    }
    # An archive that holds itself under its own name: the nesting ends.
    self_named = tar_bytes([("pkg.tar", "file", tar_bytes([("pkg.tar", "file", tar_bytes([("pkg.tar", "file", b"")]))]))])
    seeds["self-named-tar"] = (TAR, 0, self_named)
    for i, (name, (kind_of_archive, unit, data)) in enumerate(sorted(seeds.items())):
        write("swload_archive", name, archive_input(kind_of_archive, unit, data, HOSTS[i % len(HOSTS)]))


if __name__ == "__main__":
    faultmap_seeds()
    fileinfo_seeds()
    zcl_seeds()
    faultcode_seeds()
    monitor_seeds()
    archive_seeds()
    total = 0
    for target in sorted(os.listdir(CORPUS)):
        files = os.listdir(os.path.join(CORPUS, target))
        size = sum(os.path.getsize(os.path.join(CORPUS, target, f)) for f in files)
        total += size
        print("%-18s %3d seeds %7d bytes" % (target, len(files), size))
