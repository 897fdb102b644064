#!/usr/bin/env python3
"""pe_check.py: reads a built Windows program as a file and checks it.

  pe_check.py flags EXE            DYNAMIC_BASE, NX_COMPAT and, for a 32-bit
                                   program, LARGE_ADDRESS_AWARE
  pe_check.py dialog EXE           dialog template 102, field by field,
                                   against the table below
  pe_check.py version EXE KEY=VALUE...
                                   the VERSIONINFO resource: language
                                   Japanese, code page 932, and each string
                                   KEY (FileVersion, ProductName, ...) equal
                                   to VALUE; FILEVERSION=a.b.c.d checks the
                                   fixed part

Each check prints one line, "ok: ..." or "FAIL: ..."; the exit status is 1
when anything failed. Only the standard library is used: the PE headers and
the resource tree are read by hand.
"""
import struct
import sys

RT_DIALOG = 5
RT_VERSION = 16
LANG_JAPANESE = 0x0411
CODE_PAGE_932 = 932

# Window and control styles, as the platform headers define them.
WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_SYSMENU = 0x00080000
WS_GROUP = 0x00020000
WS_TABSTOP = 0x00010000
DS_SETFONT = 0x40
DS_MODALFRAME = 0x80
DS_CENTER = 0x800
BS_PUSHBUTTON = 0x0
BS_DEFPUSHBUTTON = 0x1
ES_LEFT = 0x0
ES_AUTOHSCROLL = 0x80
SS_LEFT = 0x0
SS_SUNKEN = 0x1000

# The predefined control classes are stored as ordinals.
BUTTON = 0x0080
EDIT = 0x0081
STATIC = 0x0082

CHILD = WS_CHILD | WS_VISIBLE

# The destination dialog: a classic template, language Japanese.
DIALOG_102 = {
    "style": WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
    "exstyle": 0,
    "rect": (0, 0, 211, 101),
    "menu": "",
    "class": "",
    "caption": "",
    "font": (9, "ＭＳ Ｐゴシック"),
    # id, class, text, (x, y, width, height), style
    "controls": [
        (1, BUTTON, "OK", (101, 80, 50, 14), CHILD | WS_TABSTOP | BS_PUSHBUTTON),
        (2, BUTTON, "ｷｬﾝｾﾙ", (154, 80, 50, 14), CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON),
        (1000, EDIT, "", (7, 24, 158, 13), CHILD | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL),
        (0xFFFF, STATIC, "アップデート先：", (7, 12, 47, 8), CHILD | WS_GROUP | SS_LEFT),
        (0xFFFF, STATIC,
         "上記の場所のデータをアップデートします。\nインストール先が違う場合、参照ボタンで修正してください。",
         (7, 43, 197, 26), CHILD | WS_GROUP | SS_LEFT | SS_SUNKEN),
        (1001, BUTTON, "参照...", (170, 24, 34, 14), CHILD | WS_TABSTOP | BS_PUSHBUTTON),
    ],
}


class Checker:
    def __init__(self):
        self.failed = False

    def check(self, what, ok, detail=""):
        if ok:
            print(f"pe_check: ok: {what}")
        else:
            self.failed = True
            print(f"pe_check: FAIL: {what}{': ' + detail if detail else ''}")

    def equal(self, what, got, want):
        self.check(what, got == want, f"got {got!r}, want {want!r}")


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError(f"{path}: no MZ header")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", d, opt)[0]
        if self.magic not in (0x10B, 0x20B):
            raise ValueError(f"{path}: unknown optional header 0x{self.magic:x}")
        self.is32 = self.magic == 0x10B
        self.dll_characteristics = struct.unpack_from("<H", d, opt + 70)[0]
        dirs = opt + (96 if self.is32 else 112)
        count = struct.unpack_from("<I", d, dirs - 4)[0]
        self.directories = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            _, vsize, va, raw_size, raw = struct.unpack_from("<8sIIII", d, table + 40 * i)
            self.sections.append((va, max(vsize, raw_size), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"address 0x{rva:x} lies in no section")

    def resource(self, rtype, name):
        """{language: bytes} of the resource rtype/name (both numbers)."""
        rva, size = self.directories[2] if len(self.directories) > 2 else (0, 0)
        if size == 0:
            return {}
        base = self.offset(rva)
        d = self.data

        def entries(at):
            named, numbered = struct.unpack_from("<HH", d, base + at + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", d, base + at + 16 + 8 * i)
                if key & 0x80000000:
                    continue  # a named entry; we look for numbers
                yield key, target

        found = {}
        for t, t_at in entries(0):
            if t != rtype or not t_at & 0x80000000:
                continue
            for n, n_at in entries(t_at & 0x7FFFFFFF):
                if n != name or not n_at & 0x80000000:
                    continue
                for lang, leaf in entries(n_at & 0x7FFFFFFF):
                    data_rva, data_size = struct.unpack_from("<II", d, base + leaf)
                    at = self.offset(data_rva)
                    found[lang] = d[at:at + data_size]
        return found


class Reader:
    """Reads the fields of a resource block in order."""

    def __init__(self, data, at=0):
        self.data = data
        self.at = at

    def word(self):
        v = struct.unpack_from("<H", self.data, self.at)[0]
        self.at += 2
        return v

    def short(self):
        v = struct.unpack_from("<h", self.data, self.at)[0]
        self.at += 2
        return v

    def dword(self):
        v = struct.unpack_from("<I", self.data, self.at)[0]
        self.at += 4
        return v

    def text(self):
        end = self.at
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        s = self.data[self.at:end].decode("utf-16-le")
        self.at = end + 2
        return s

    def text_or_ordinal(self):
        """A text, or the number that follows the marker 0xFFFF."""
        if self.data[self.at:self.at + 2] == b"\xff\xff":
            self.at += 2
            return self.word()
        return self.text()

    def align(self, n=4):
        self.at = (self.at + n - 1) // n * n


def check_flags(c, pe, name):
    c.check(f"{name}: DYNAMIC_BASE", pe.dll_characteristics & 0x0040)
    c.check(f"{name}: NX_COMPAT", pe.dll_characteristics & 0x0100)
    if pe.is32:
        c.check(f"{name}: LARGE_ADDRESS_AWARE", pe.characteristics & 0x0020)
    c.check(f"{name}: relocations kept (ASLR can move it)", not pe.characteristics & 0x0001)


def check_dialog(c, pe, name):
    found = pe.resource(RT_DIALOG, 102)
    c.equal(f"{name}: dialog 102 languages", sorted(found), [LANG_JAPANESE])
    if LANG_JAPANESE not in found:
        return
    r = Reader(found[LANG_JAPANESE])
    want = DIALOG_102
    style = r.dword()
    c.check(f"{name}: dialog 102 is a classic template", style >> 16 != 0xFFFF,
            "a DIALOGEX template")
    c.equal("dialog 102 style", hex(style), hex(want["style"]))
    c.equal("dialog 102 extended style", r.dword(), want["exstyle"])
    count = r.word()
    rect = (r.short(), r.short(), r.short(), r.short())
    c.equal("dialog 102 position and size", rect, want["rect"])
    c.equal("dialog 102 menu", r.text_or_ordinal(), want["menu"])
    c.equal("dialog 102 class", r.text_or_ordinal(), want["class"])
    c.equal("dialog 102 caption", r.text(), want["caption"])
    font = (r.word(), r.text()) if style & DS_SETFONT else None
    c.equal("dialog 102 font", font, want["font"])
    c.equal("dialog 102 control count", count, len(want["controls"]))
    for i in range(count):
        r.align()
        cstyle = r.dword()
        cexstyle = r.dword()
        crect = (r.short(), r.short(), r.short(), r.short())
        cid = r.word()
        cclass = r.text_or_ordinal()
        ctext = r.text_or_ordinal()
        extra = r.word()
        r.at += extra
        if i >= len(want["controls"]):
            continue
        wid, wclass, wtext, wrect, wstyle = want["controls"][i]
        what = f"dialog 102 control {i + 1} (id {wid if wid != 0xFFFF else -1})"
        c.equal(f"{what} id", cid, wid)
        c.equal(f"{what} class",
                f"0x{cclass:04x}" if isinstance(cclass, int) else cclass, f"0x{wclass:04x}")
        c.equal(f"{what} text", ctext, wtext)
        c.equal(f"{what} rectangle", crect, wrect)
        c.equal(f"{what} style", hex(cstyle), hex(wstyle))
        c.equal(f"{what} extended style", cexstyle, 0)
        c.equal(f"{what} creation data", extra, 0)


def read_version_block(data, at):
    """One VERSIONINFO block: (key, value bytes, value type, children, end)."""
    r = Reader(data, at)
    length = r.word()
    value_length = r.word()
    value_type = r.word()
    key = r.text()
    r.align()
    # A text value's length counts UTF-16 units, a binary one bytes.
    value_bytes = value_length * 2 if value_type == 1 else value_length
    value = data[r.at:r.at + value_bytes]
    r.at += value_bytes
    r.align()
    end = at + length
    children = []
    while r.at < end:
        child = read_version_block(data, r.at)
        children.append(child)
        r.at = child[4]
        r.align()
    return key, value, value_type, children, end


def check_version(c, pe, name, expected):
    found = pe.resource(RT_VERSION, 1)
    c.equal(f"{name}: version resource languages", sorted(found), [LANG_JAPANESE])
    if LANG_JAPANESE not in found:
        return
    key, value, _, children, _ = read_version_block(found[LANG_JAPANESE], 0)
    c.equal("version resource key", key, "VS_VERSION_INFO")
    signature, _, ms, ls, pms, pls = struct.unpack_from("<IIIIII", value, 0)
    c.equal("version resource signature", hex(signature), hex(0xFEEF04BD))
    fixed = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    product = f"{pms >> 16}.{pms & 0xFFFF}.{pls >> 16}.{pls & 0xFFFF}"
    strings = {}
    translations = []
    for ckey, _, _, grandchildren, _ in children:
        if ckey == "StringFileInfo":
            c.equal("version strings table", [g[0] for g in grandchildren], ["041103a4"])
            for _, _, _, entries, _ in grandchildren[:1]:
                for ekey, evalue, _, _, _ in entries:
                    strings[ekey] = evalue.decode("utf-16-le").rstrip("\0")
        elif ckey == "VarFileInfo":
            for gkey, gvalue, _, _, _ in grandchildren:
                if gkey == "Translation":
                    translations += [struct.unpack_from("<HH", gvalue, i)
                                     for i in range(0, len(gvalue), 4)]
    c.equal("version translation", translations, [(LANG_JAPANESE, CODE_PAGE_932)])
    for k, v in expected.items():
        if k == "FILEVERSION":
            c.equal("version: fixed file version", fixed, v)
            c.equal("version: fixed product version", product, v)
        else:
            c.equal(f"version: {k}", strings.get(k), v)


def main(argv):
    if len(argv) < 3 or argv[1] not in ("flags", "dialog", "version"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    c = Checker()
    path = argv[2]
    name = path.rsplit("/", 1)[-1]
    pe = PeFile(path)
    if argv[1] == "flags":
        check_flags(c, pe, name)
    elif argv[1] == "dialog":
        check_dialog(c, pe, name)
    else:
        expected = dict(a.split("=", 1) for a in argv[3:])
        check_version(c, pe, name, expected)
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
